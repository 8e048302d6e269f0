// Reads a shortcut back through the shell link object, as the Start menu does.
#ifndef TESTS_SUPPORT_SHORTCUT_PROBE_H
#define TESTS_SUPPORT_SHORTCUT_PROBE_H

#include <string>

struct Shortcut {
    bool loaded;
    std::string target;
    std::string workingFolder;
};

Shortcut ReadShortcut(const std::string &linkPath);

#endif
