#include "tray/tests/win/qlx_driver.h"

#include <commctrl.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <cstdint>

#include "common/win32/unique_handle.h"
#include "common/win32/win32_registry.h"
#include "tray/core/settings.h"
#include "tray/core/system_integration.h"

namespace qlx::tray::testing {

namespace {

constexpr UINT kExitCommand = 0x8009;
constexpr int kHistoryList = 1001;

struct Search {
    DWORD processId;
    bool wantMain;
    HWND found = nullptr;
};

BOOL CALLBACK FindWindowOf(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid != search->processId) {
        return TRUE;
    }
    char cls[64] = {};
    ::GetClassNameA(window, cls, sizeof cls);
    if (std::string(cls) != "#32770") {
        return TRUE;
    }
    const bool isMain = ::GetDlgItem(window, kHistoryList) != nullptr;
    const bool isBox = ::GetDlgItem(window, IDOK) || ::GetDlgItem(window, IDYES) ||
                       ::GetDlgItem(window, IDNO) || ::GetDlgItem(window, IDCANCEL);
    if (search->wantMain ? isMain : (!isMain && isBox && ::IsWindowVisible(window))) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND Find(DWORD processId, bool wantMain) {
    Search search{processId, wantMain};
    ::EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK CollectText(HWND child, LPARAM param) {
    char text[1024] = {};
    ::GetWindowTextA(child, text, sizeof text);
    auto* all = reinterpret_cast<std::string*>(param);
    *all += text;
    *all += "|";
    return TRUE;
}

struct WindowSearch {
    DWORD processId;
    const char* className;
    int control;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    char cls[64] = {};
    ::GetClassNameA(window, cls, sizeof cls);
    if (pid == search->processId && std::string(cls) == search->className &&
        (search->control == 0 || ::GetDlgItem(window, search->control)) &&
        (!search->visibleOnly || ::IsWindowVisible(window))) {
        search->found.push_back(window);
    }
    return TRUE;
}

} // namespace

std::vector<HWND> FindWindowsWith(DWORD processId, const char* className, int control,
                                  bool visibleOnly) {
    WindowSearch search{processId, className, control, visibleOnly, {}};
    ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindMiniBar(DWORD processId) {
    const auto found = FindWindowsWith(processId, "#32770", 1063, false);
    return found.empty() ? nullptr : found.front();
}

std::vector<HWND> FindTips(DWORD processId) {
    return FindWindowsWith(processId, "#32770", 1068, true);
}

HWND FindMenu(DWORD processId) {
    const auto found = FindWindowsWith(processId, "#32768", 0, true);
    return found.empty() ? nullptr : found.front();
}

std::string ControlText(HWND window, int control) {
    char text[1024] = {};
    ::GetWindowTextA(::GetDlgItem(window, control), text, sizeof text);
    return text;
}

namespace {

// Memory in another process, for the messages whose argument points to a
// record: the record has to live where the window's procedure runs.
class RemoteMemory {
public:
    RemoteMemory(HANDLE process, size_t size, void* at = nullptr)
        : process_(process), address_(static_cast<char*>(::VirtualAllocEx(
                                 process, at, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {}
    ~RemoteMemory() {
        if (address_) {
            ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        }
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    char* get() const { return address_; }
    LPARAM param() const { return reinterpret_cast<LPARAM>(address_); }
    template <typename T> bool Put(const T& value, size_t offset = 0) const {
        return address_ &&
               ::WriteProcessMemory(process_, address_ + offset, &value, sizeof value, nullptr);
    }
    bool Get(void* out, size_t size, size_t offset = 0) const {
        return address_ && ::ReadProcessMemory(process_, address_ + offset, out, size, nullptr);
    }

private:
    HANDLE process_;
    char* address_;
};

} // namespace

bool SelectRemoteRow(HANDLE process, HWND list, int row) {
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    const RemoteMemory remote(process, sizeof item);
    return remote.Put(item) &&
           ::SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), remote.param());
}

std::string RemoteItemText(HANDLE process, HWND list, int row, int column) {
    constexpr size_t kText = 1024;
    const RemoteMemory remote(process, sizeof(LVITEMA) + kText);
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = remote.get() + sizeof(LVITEMA);
    item.cchTextMax = kText;
    char text[kText] = {};
    if (remote.Put(item)) {
        ::SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), remote.param());
        remote.Get(text, kText - 1, sizeof(LVITEMA));
    }
    return text;
}

RECT RemoteTabItemRect(HANDLE process, HWND tabs, int item) {
    RECT rect{};
    const RemoteMemory remote(process, sizeof rect);
    if (remote.get() &&
        ::SendMessageA(tabs, TCM_GETITEMRECT, static_cast<WPARAM>(item), remote.param())) {
        remote.Get(&rect, sizeof rect);
    }
    return rect;
}

bool SendDpiChange(HANDLE process, HWND window, int dpi, const RECT& suggested) {
    // The message points to the suggested rectangle. Whether Wine copies it
    // across or hands the pointer on, it is found: it lies at the same
    // address here and in the window's process, one far above where either
    // has its own memory.
    constexpr uintptr_t kFarAbove = uintptr_t{1} << 36;
    constexpr uintptr_t kGranularity = 64 * 1024;
    for (uintptr_t at = kFarAbove; at < kFarAbove + 64 * kGranularity; at += kGranularity) {
        void* address = reinterpret_cast<void*>(at);
        auto* here = static_cast<RECT*>(
            ::VirtualAlloc(address, sizeof(RECT), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (here != address) {
            continue;
        }
        const RemoteMemory there(process, sizeof(RECT), here);
        bool sent = false;
        if (there.get() == reinterpret_cast<char*>(here) && there.Put(suggested)) {
            *here = suggested;
            DWORD_PTR answer = 0;
            sent = ::SendMessageTimeoutA(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                                         reinterpret_cast<LPARAM>(here), SMTO_ABORTIFHUNG, 5000,
                                         &answer) != 0;
        }
        ::VirtualFree(here, 0, MEM_RELEASE);
        if (there.get() == reinterpret_cast<char*>(here)) {
            return sent;
        }
    }
    return false;
}

namespace {

// Calls `f` with the id of every process whose program is `exeName`.
template <typename F> size_t ForEachProcess(const char* exeName, F&& f) {
    UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    size_t count = 0;
    if (snapshot && ::Process32First(snapshot.get(), &entry)) {
        do {
            if (_stricmp(entry.szExeFile, exeName) == 0) {
                f(entry.th32ProcessID);
                ++count;
            }
        } while (::Process32Next(snapshot.get(), &entry));
    }
    return count;
}

} // namespace

size_t CountProcesses(const char* exeName) {
    return ForEachProcess(exeName, [](DWORD) {});
}

size_t KillProcesses(const char* exeName) {
    return ForEachProcess(exeName, [](DWORD id) {
        UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (process) {
            ::TerminateProcess(process.get(), 1);
            ::WaitForSingleObject(process.get(), 5000);
        }
    });
}

bool ClickTrayIcon(HWND mainWindow) {
    constexpr UINT kTrayCallback = 33100;
    return ::PostMessageA(mainWindow, kTrayCallback, 3334, WM_LBUTTONDOWN) != FALSE;
}

std::string Quoted(const std::string& text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.push_back('"');
    quoted.append(text);
    quoted.push_back('"');
    return quoted;
}

std::string QlxPath() {
    return qlx::testing::BinDir() + "QLX.exe";
}

std::string DataFilePath(const char* name) {
    char appData[MAX_PATH] = {};
    ::SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA, TRUE);
    return std::string(appData) + "\\Quellix\\" + name;
}

std::string HistoryFilePath() {
    return DataFilePath("history.lst");
}

void ResetUserState() {
    Win32Registry registry;
    registry.DeleteTree(RegRoot::CurrentUser, "Software\\Quellix");
    registry.DeleteValue(RegRoot::CurrentUser, kRunKeyPath, "Quellix");
    registry.DeleteValue(RegRoot::LocalMachine, kRunKeyPath, "Quellix");
    ::DeleteFileA(HistoryFilePath().c_str());
    ::DeleteFileA(DataFilePath("sites.lst").c_str());
}

HWND FindMainWindow(DWORD processId) {
    return Find(processId, true);
}
HWND FindMessageBox(DWORD processId) {
    return Find(processId, false);
}

std::string ChildTexts(HWND window) {
    std::string all;
    ::EnumChildWindows(window, CollectText, reinterpret_cast<LPARAM>(&all));
    return all;
}

bool WaitForMessageBox(DWORD processId, DWORD timeoutMs, HWND* box) {
    return qlx::testing::WaitUntil(
        [&] {
            *box = FindMessageBox(processId);
            return *box != nullptr;
        },
        timeoutMs);
}

bool PressButton(HWND box, int button) {
    HWND control = ::GetDlgItem(box, button);
    return control && ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                                     reinterpret_cast<LPARAM>(control));
}

bool StartTray(qlx::testing::ChildProcess& process, const std::string& exe,
               const std::string& workDir) {
    if (!process.Start(Quoted(exe), workDir)) {
        return false;
    }
    return qlx::testing::WaitForNamedMutex(kMutex, 20000) &&
           qlx::testing::WaitUntil([&] { return FindMainWindow(process.Id()) != nullptr; }, 20000);
}

bool ExitTray(qlx::testing::ChildProcess& process, DWORD* exitCode) {
    HWND main = FindMainWindow(process.Id());
    if (!main || !::PostMessageA(main, WM_COMMAND, kExitCommand, 0)) {
        return false;
    }
    // A box answered just before may still be closing: the exit question is
    // the one with a Yes button.
    HWND box = nullptr;
    const bool asked = qlx::testing::WaitUntil(
        [&] {
            box = FindMessageBox(process.Id());
            return box != nullptr && ::GetDlgItem(box, IDYES) != nullptr;
        },
        10000);
    if (!asked || !PressButton(box, IDYES)) {
        return false;
    }
    return process.WaitForExit(20000, exitCode);
}

} // namespace qlx::tray::testing
