// The shortcut writer: one .lnk file through the shell link object.
#include "record.h"

#include <objbase.h>
#include <shlobj.h>

#include "../common/common.h"

int CreateShortcut(const char *target, const char *linkPath)
{
    CoInitialize(NULL);
    IShellLinkA *link = NULL;
    HRESULT created = CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                       (void **)&link);
    if (FAILED(created)) {
        ShowError(NULL, "ショートカットの作成に失敗しました");
    } else {
        link->SetPath(target);
        link->SetWorkingDirectory(g_state.installDir);
        IPersistFile *file = NULL;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file))) {
            // A link path that does not convert whole (longer than MAX_PATH - 1) is not saved
            // under whatever a cut conversion would leave.
            WCHAR wideLink[MAX_PATH];
            if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, wideLink, MAX_PATH) > 0) {
                file->Save(wideLink, TRUE);
            }
            file->Release();
        }
        link->Release();
    }
    SetFileAttributesA(linkPath, FILE_ATTRIBUTE_NORMAL);
    CoUninitialize();
    return 1;
}
