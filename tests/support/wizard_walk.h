// The test's side of a session: what a rollback must remove, and the uninstall as a user runs it.
#ifndef TESTS_SUPPORT_WIZARD_WALK_H
#define TESTS_SUPPORT_WIZARD_WALK_H

#include <string>

#include "../../tools/driver/walk.h"

// Lays what a rollback must remove besides the copied files: both keys (without "DIR", so that
// the installer still offers the install) and the shortcut folder with a shortcut in it, so that
// a rollback that forgets one of them is seen.
void LayRecordToTakeBack(const std::string &shortcutFolder);

// Starts the uninstaller program in workDir, says yes and returns the text of the closing message
// once the removal has ended ("" when something did not appear). UninstallFromShortcut starts it
// the way its Start-menu shortcut does.
std::string UninstallWith(const std::string &program, const std::string &workDir);
std::string UninstallFromShortcut(const std::string &shortcutFolder);

#endif
