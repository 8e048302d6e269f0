// Drive letters of the running Wine prefix, defined and removed through its mount manager.
#ifndef TESTS_SUPPORT_WINE_DRIVES_H
#define TESTS_SUPPORT_WINE_DRIVES_H

#include <windows.h>

#include <string>

// Path of the built installer, and of a program built beside the tests (launch_probe.exe, ...),
// as Windows paths.
std::string SetupExePath();
std::string TestProgramPath(const std::string &fileName);

// Unix path of a Windows path and back, as Wine maps them ("" when it cannot).
std::string UnixPathOf(const std::string &windowsPath);
std::string WindowsPathOf(const std::string &unixPath);

// Defines letter as a drive of the given type (DRIVE_CDROM, DRIVE_FIXED, ...) rooted at the
// Windows folder root, or with no medium when root is empty. The volume label is read from
// the folder's .windows-label file at this moment.
bool DefineDrive(char letter, UINT type, const std::string &root);
// The same from Unix paths: the mount point, and a device that Wine reads the volume label and
// serial from (a disc image's loop device, with its file system mounted at unixMountPoint).
// A folder that a drive letter maps is better given this way: Wine reads its drive table at most
// once a second, so for up to a second after the letter is gone it still names the folder by it.
bool DefineUnixDrive(char letter, UINT type, const std::string &unixMountPoint,
                     const std::string &unixDevice = "");
bool RemoveDrive(char letter);

struct DriveDefinition {
    bool present;
    UINT type;
    std::string unixMountPoint;
};
DriveDefinition QueryDrive(char letter);
bool RestoreDrive(char letter, const DriveDefinition &definition);

// A fresh folder below the temporary folder, labelled for use as a drive root.
std::string MakeLabelledFolder(const std::string &name, const std::string &label);

#endif
