// Loads a .lnk file with IPersistFile::Load and reads its target and working folder.
#include "shortcut_probe.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

Shortcut ReadShortcut(const std::string &folder, const std::string &linkName)
{
    Shortcut shortcut = {false, "", ""};
    CoInitialize(NULL);
    IShellLinkA *link = NULL;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   (void **)&link))) {
        IPersistFile *file = NULL;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file))) {
            WCHAR wide[MAX_PATH];
            int used = MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wide, MAX_PATH);
            if (used > 0) MultiByteToWideChar(932, 0, linkName.c_str(), -1, wide + used - 1, MAX_PATH - used + 1);
            if (used > 0 && SUCCEEDED(file->Load(wide, STGM_READ))) {
                char text[MAX_PATH] = "";
                shortcut.loaded = true;
                link->GetPath(text, MAX_PATH, NULL, SLGP_RAWPATH);
                shortcut.target = text;
                text[0] = '\0';
                link->GetWorkingDirectory(text, MAX_PATH);
                shortcut.workingFolder = text;
            }
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return shortcut;
}
