// Reads a shortcut back through the shell link object, as the Start menu does.
#ifndef TESTS_SUPPORT_SHORTCUT_PROBE_H
#define TESTS_SUPPORT_SHORTCUT_PROBE_H

#include <string>

struct Shortcut {
    bool loaded;
    std::string target;
    std::string workingFolder;
};

// folder is a path in the system's code page, linkName a name in code page 932 (as the tests'
// texts are), so that a Japanese name is found on every system.
Shortcut ReadShortcut(const std::string &folder, const std::string &linkName);

#endif
