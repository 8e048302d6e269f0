// The shortcut writer: one .lnk file through the shell link object, wide from end to end.
#include "record.h"

#include <objbase.h>
#include <shlobj.h>

#include "../common/common.h"
#include "../common/path.h"

enum { PATH_SIZE = 1024 };

int CreateShortcut(const char *target, const WCHAR *linkPath)
{
    // The target and the working folder are paths in the system's code page; the link's own name
    // (アンインストール) stays whole only wide.
    WCHAR wideTarget[PATH_SIZE];
    WCHAR wideFolder[PATH_SIZE];
    if (!WideFromAnsiPath(target, wideTarget, PATH_SIZE) ||
        !WideFromAnsiPath(g_state.installDir, wideFolder, PATH_SIZE)) {
        return 0;
    }
    int saved = 0;
    CoInitialize(NULL);
    IShellLinkW *link = NULL;
    HRESULT created = CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                       (void **)&link);
    if (FAILED(created)) {
        ShowError(NULL, "ショートカットの作成に失敗しました");
    } else {
        link->SetPath(wideTarget);
        link->SetWorkingDirectory(wideFolder);
        IPersistFile *file = NULL;
        // A link path beyond MAX_PATH - 1 characters is not saved under whatever the system would
        // make of it.
        if (lstrlenW(linkPath) < MAX_PATH && SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file))) {
            saved = SUCCEEDED(file->Save(linkPath, TRUE));
            file->Release();
        }
        link->Release();
    }
    SetFileAttributesW(linkPath, FILE_ATTRIBUTE_NORMAL);
    CoUninitialize();
    return saved;
}

int WriteProductShortcut(UINT linkNameId, const char *program, int makeFolder)
{
    WCHAR folder[PATH_SIZE];
    WCHAR name[256];
    WCHAR link[PATH_SIZE];
    char target[PATH_SIZE];
    if (!ShortcutFolderPath(CSIDL_PROGRAMS, folder, PATH_SIZE) ||
        LoadStringW(g_state.instance, linkNameId, name, 256) <= 0 ||
        !FormatWide(link, PATH_SIZE, L"%ls%ls.lnk", folder, name) ||
        !FormatText(target, sizeof(target), "%s%s", g_state.installDir, program)) {
        return 0;
    }
    if (makeFolder) {
        CreateDirectoryW(folder, NULL);
        SetFileAttributesW(folder, FILE_ATTRIBUTE_DIRECTORY);
    }
    return CreateShortcut(target, link);
}
