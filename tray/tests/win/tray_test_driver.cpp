// A small tool for the script tests and the screenshots: waits for the tray
// program, drives its windows from outside and ends it the way a user does
// (Exit command, "Yes" to the question).
//   tray_test_driver wait-mutex          exit 0 once "QuellixMutex" exists
//   tray_test_driver exit-tray           answers the exit question of the
//                                        running QLX.exe; 0 once it ended
//   tray_test_driver show-main           the tray icon's click; waits until
//                                        the main window is visible
//   tray_test_driver click CONTROL       presses a minibar button (decimal id)
//   tray_test_driver command ID          sends the main window a command (decimal id)
//   tray_test_driver rect WHAT           prints "left top width height" of the
//                                        visible main, minibar, tip, menu or
//                                        settings dialog
//   tray_test_driver place WHAT X Y      moves it there (for a screenshot)
//   tray_test_driver running             prints "yes" when a tray program runs
//   tray_test_driver update              sends the Update command
//   tray_test_driver tip-text SECONDS    prints the text of the first tip that
//                                        shows within SECONDS
#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/testing/child_process.h"
#include "common/win32/unique_handle.h"
#include "tray/tests/win/qlx_driver.h"

namespace {

DWORD FindTrayProcess() {
    qlx::UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    if (snapshot && ::Process32First(snapshot.get(), &entry)) {
        do {
            if (_stricmp(entry.szExeFile, "QLX.exe") == 0 &&
                qlx::tray::testing::FindMainWindow(entry.th32ProcessID)) {
                return entry.th32ProcessID;
            }
        } while (::Process32Next(snapshot.get(), &entry));
    }
    return 0;
}

int ExitTray() {
    DWORD pid = 0;
    if (!qlx::testing::WaitUntil([&] { return (pid = FindTrayProcess()) != 0; }, 20000)) {
        std::fprintf(stderr, "no running tray program\n");
        return 2;
    }
    HWND main = qlx::tray::testing::FindMainWindow(pid);
    HWND box = nullptr;
    if (!::PostMessageA(main, WM_COMMAND, 0x8009, 0) ||
        !qlx::tray::testing::WaitForMessageBox(pid, 10000, &box) ||
        !qlx::tray::testing::PressButton(box, IDYES)) {
        std::fprintf(stderr, "could not answer the exit question\n");
        return 3;
    }
    qlx::UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    if (process && ::WaitForSingleObject(process.get(), 20000) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "the tray program did not end\n");
        return 4;
    }
    return 0;
}

HWND FindVisible(DWORD pid, const char* what) {
    using namespace qlx::tray::testing;
    HWND window = nullptr;
    if (std::strcmp(what, "main") == 0) {
        window = FindMainWindow(pid);
    } else if (std::strcmp(what, "minibar") == 0) {
        window = FindMiniBar(pid);
    } else if (std::strcmp(what, "tip") == 0) {
        const auto tips = FindTips(pid);
        window = tips.empty() ? nullptr : tips.front();
    } else if (std::strcmp(what, "menu") == 0) {
        window = FindMenu(pid);
    } else if (std::strcmp(what, "settings") == 0) {
        const auto dialogs = FindWindowsWith(pid, "#32770", 1023, true);
        window = dialogs.empty() ? nullptr : dialogs.front();
    }
    return window && ::IsWindowVisible(window) ? window : nullptr;
}

int Drive(int argc, char** argv) {
    DWORD pid = 0;
    if (!qlx::testing::WaitUntil([&] { return (pid = FindTrayProcess()) != 0; }, 20000)) {
        std::fprintf(stderr, "no running tray program\n");
        return 2;
    }
    const std::string command = argv[1];
    if (command == "show-main") {
        HWND main = qlx::tray::testing::FindMainWindow(pid);
        return qlx::tray::testing::ClickTrayIcon(main) &&
                       qlx::testing::WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; },
                                               10000)
                   ? 0
                   : 3;
    }
    if (command == "click" && argc == 3) {
        HWND minibar = qlx::tray::testing::FindMiniBar(pid);
        HWND button = ::GetDlgItem(minibar, std::atoi(argv[2]));
        return button && ::PostMessageA(button, BM_CLICK, 0, 0) ? 0 : 3;
    }
    if (command == "command" && argc == 3) {
        HWND main = qlx::tray::testing::FindMainWindow(pid);
        return ::PostMessageA(main, WM_COMMAND, static_cast<WPARAM>(std::atoi(argv[2])), 0) ? 0 : 3;
    }
    if (command == "place" && argc == 5) {
        HWND window = FindVisible(pid, argv[2]);
        return window && ::SetWindowPos(window, nullptr, std::atoi(argv[3]), std::atoi(argv[4]), 0,
                                        0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)
                   ? 0
                   : 3;
    }
    if (command == "update") {
        HWND main = qlx::tray::testing::FindMainWindow(pid);
        return main && ::PostMessageA(main, WM_COMMAND, 0x8008, 0) ? 0 : 3;
    }
    if (command == "tip-text" && argc == 3) {
        HWND tip = nullptr;
        if (!qlx::testing::WaitUntil([&] { return (tip = FindVisible(pid, "tip")) != nullptr; },
                                     static_cast<DWORD>(std::atoi(argv[2])) * 1000)) {
            return 3;
        }
        std::printf("%s\n", qlx::tray::testing::ControlText(tip, 1068).c_str());
        return 0;
    }
    if (command == "rect" && argc == 3) {
        HWND window = nullptr;
        RECT rect{};
        if (!qlx::testing::WaitUntil(
                [&] { return (window = FindVisible(pid, argv[2])) != nullptr; }, 10000) ||
            !::GetWindowRect(window, &rect)) {
            return 3;
        }
        std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top);
        return 0;
    }
    return 64;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "wait-mutex") == 0) {
        return qlx::testing::WaitForNamedMutex(qlx::tray::testing::kMutex, 20000) &&
                       qlx::testing::WaitUntil([] { return FindTrayProcess() != 0; }, 20000)
                   ? 0
                   : 1;
    }
    if (argc == 2 && std::strcmp(argv[1], "running") == 0) {
        std::printf("%s\n", FindTrayProcess() != 0 ? "yes" : "no");
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "exit-tray") == 0) {
        return ExitTray();
    }
    if (argc >= 2) {
        const int result = Drive(argc, argv);
        if (result != 64) {
            return result;
        }
    }
    std::fprintf(stderr, "usage: tray_test_driver wait-mutex|running|exit-tray|show-main|click ID|"
                         "command ID|rect WHAT|place WHAT X Y|update|tip-text SECONDS\n");
    return 64;
}
