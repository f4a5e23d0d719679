// A small tool for the script tests: waits for the tray program and ends it
// the way a user does (Exit command, "Yes" to the question).
//   tray_test_driver wait-mutex          exit 0 once "QuellixMutex" exists
//   tray_test_driver exit-tray           answers the exit question of the
//                                        running QLX.exe; 0 once it ended
#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <cstring>

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

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "wait-mutex") == 0) {
        return qlx::testing::WaitForNamedMutex(qlx::tray::testing::kMutex, 20000) &&
                       qlx::testing::WaitUntil([] { return FindTrayProcess() != 0; }, 20000)
                   ? 0
                   : 1;
    }
    if (argc == 2 && std::strcmp(argv[1], "exit-tray") == 0) {
        return ExitTray();
    }
    std::fprintf(stderr, "usage: tray_test_driver wait-mutex|exit-tray\n");
    return 64;
}
