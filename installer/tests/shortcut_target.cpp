// Prints the target and the start folder of a shortcut (.lnk), one a line,
// as the shell reads them:  shortcut_target.exe <file.lnk>
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>

#include "common/win32/com_apartment.h"
#include "common/win32/com_ptr.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        return 2;
    }
    const qlx::ComApartment apartment;
    if (!apartment.entered()) {
        return 2;
    }
    int result = 1;
    {
        qlx::ComPtr<IShellLinkW> link;
        qlx::ComPtr<IPersistFile> file;
        wchar_t target[MAX_PATH] = {}, folder[MAX_PATH] = {};
        if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IShellLinkW, link.put_void())) &&
            SUCCEEDED(link.As(IID_IPersistFile, file)) &&
            SUCCEEDED(file->Load(argv[1], STGM_READ)) &&
            SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, 0)) &&
            SUCCEEDED(link->GetWorkingDirectory(folder, MAX_PATH))) {
            std::printf("%ls\n%ls\n", target, folder);
            result = 0;
        }
    }
    return result;
}
