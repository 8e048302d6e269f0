// Files and folders for tests: made, read, compared and removed, long paths included.
#ifndef TESTS_SUPPORT_FILES_H
#define TESTS_SUPPORT_FILES_H

#include <windows.h>

#include <set>
#include <string>

bool Exists(const std::string &path);
void MakeFile(const std::string &path, const std::string &content = "data");
// A file of size bytes of deterministic content that depends on seed (sparse: all zero).
void MakeSizedFile(const std::string &path, unsigned long long size, unsigned seed, bool sparse = false);
std::string ReadFile(const std::string &path);
bool SameContent(const std::string &first, const std::string &second);
unsigned long long FileSize(const std::string &path);
void DeleteTree(const std::string &folder);
// The names in a folder, "." and ".." left out, read wide and given in code page 932.
std::set<std::string> FolderEntries(const std::string &folder);

// text in the system's code page as UTF-16.
std::wstring Wide(const std::string &text);
// An environment variable of the test run ("" when unset).
std::string Environment(const char *name);

// A fresh, empty folder below the temporary folder.
std::string FreshTempFolder(const std::string &name);
std::string SpecialFolder(int csidl);

#endif
