// File helpers for tests, through the wide calls so that paths beyond MAX_PATH work too.
#include "files.h"

#include "../../src/common/path.h"
#include "../../tools/driver/driver.h"

#include <shlobj.h>

#include <stdlib.h>

#include <vector>

namespace {

std::wstring LongPath(const std::string &path)
{
    return L"\\\\?\\" + Wide(path);
}

// The folder without its trailing backslashes (a trail byte 0x5C is no backslash).
std::string Unclosed(const std::string &path)
{
    std::string folder = path;
    while (EndsWithBackslash(folder.c_str())) folder.pop_back();
    return folder;
}

// Also a file that another process holds open to be deleted when it closes it.
HANDLE OpenForReading(const std::string &path)
{
    return CreateFileW(LongPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       NULL, OPEN_EXISTING, 0, NULL);
}

}  // namespace

bool Exists(const std::string &path)
{
    return GetFileAttributesW(LongPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void MakeFile(const std::string &path, const std::string &content)
{
    HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, content.data(), (DWORD)content.size(), &written, NULL);
    CloseHandle(file);
}

void MakeSizedFile(const std::string &path, unsigned long long size, unsigned seed, bool sparse)
{
    HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    if (sparse) {
        LARGE_INTEGER end;
        end.QuadPart = (LONGLONG)size;
        SetFilePointerEx(file, end, NULL, FILE_BEGIN);
        SetEndOfFile(file);
    } else {
        std::vector<unsigned> chunk(1 << 18);
        unsigned state = seed * 2654435761u + 1;
        for (unsigned long long left = size; left > 0;) {
            for (unsigned &word : chunk) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                word = state;
            }
            DWORD part = (DWORD)(left < chunk.size() * 4 ? left : chunk.size() * 4);
            DWORD written = 0;
            WriteFile(file, chunk.data(), part, &written, NULL);
            left -= part;
        }
    }
    CloseHandle(file);
}

std::string ReadFile(const std::string &path)
{
    std::string content;
    HANDLE file = OpenForReading(path);
    if (file == INVALID_HANDLE_VALUE) return content;
    char chunk[65536];
    DWORD got = 0;
    while (::ReadFile(file, chunk, sizeof(chunk), &got, NULL) && got > 0) content.append(chunk, got);
    CloseHandle(file);
    return content;
}

bool SameContent(const std::string &first, const std::string &second)
{
    HANDLE a = OpenForReading(first);
    HANDLE b = OpenForReading(second);
    bool same = a != INVALID_HANDLE_VALUE && b != INVALID_HANDLE_VALUE;
    std::vector<char> left(1 << 20), right(1 << 20);
    while (same) {
        DWORD gotLeft = 0, gotRight = 0;
        ::ReadFile(a, left.data(), (DWORD)left.size(), &gotLeft, NULL);
        ::ReadFile(b, right.data(), (DWORD)right.size(), &gotRight, NULL);
        same = gotLeft == gotRight && memcmp(left.data(), right.data(), gotLeft) == 0;
        if (gotLeft == 0) break;
    }
    if (a != INVALID_HANDLE_VALUE) CloseHandle(a);
    if (b != INVALID_HANDLE_VALUE) CloseHandle(b);
    return same;
}

unsigned long long FileSize(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(LongPath(path).c_str(), GetFileExInfoStandard, &data)) return 0;
    return (unsigned long long)data.nFileSizeHigh << 32 | data.nFileSizeLow;
}

// folder (a long path, no trailing backslash) with all it holds, every name taken wide so that
// names the system's code page cannot hold go too.
void DeleteTreeWide(const std::wstring &folder)
{
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTreeWide(path);
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

void DeleteTree(const std::string &path)
{
    DeleteTreeWide(LongPath(Unclosed(path)));
}

std::set<std::string> FolderEntries(const std::string &folder)
{
    std::set<std::string> names;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((LongPath(Unclosed(folder)) + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = TextFrom932Wide(entry.cFileName);
        if (name != "." && name != "..") names.insert(name);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
}

std::wstring Wide(const std::string &text)
{
    std::vector<wchar_t> wide(text.size() + 1);
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), (int)wide.size());
    return wide.data();
}

std::string Environment(const char *name)
{
    const char *value = getenv(name);
    return value != NULL ? value : "";
}

std::string FreshTempFolder(const std::string &name)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    std::string folder = std::string(temp) + name;
    DeleteTree(folder);
    CreateDirectoryA(folder.c_str(), NULL);
    return folder;
}

std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = "";
    SHGetSpecialFolderPathA(NULL, path, csidl, TRUE);
    return path;
}
