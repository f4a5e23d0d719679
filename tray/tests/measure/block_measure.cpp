// Measures what a blocked pop-up costs the running tray program with a long
// history: the time of `Block` as a browser-side client sees it, with N
// entries already in "history.lst" against an empty history, and the time
// a full rebuild of the list takes (Remove of one row).
//   block_measure [entries] [blocks]      (defaults 10000 and 50)
#include <windows.h>

#include <commctrl.h>
#include <ole2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "common/testing/child_process.h"
#include "common/win32/bstr.h"
#include "common/win32/com_apartment.h"
#include "common/win32/com_ptr.h"
#include "common/win32/win32_registry.h"
#include "tray/core/history.h"
#include "tray/core/settings.h"
#include "tray/quellix.h"
#include "tray/tests/win/qlx_driver.h"

namespace {

using namespace qlx;
using namespace qlx::tray::testing;

double Now() {
    LARGE_INTEGER frequency, counter;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Seed(size_t entries) {
    tray::History history(entries, {"2026-12-01 10:00:00", "http://www.example.com",
                                    "http://ads.example.net/banner?id=1234567", 10, 20, 300, 200});
    const std::string path = HistoryFilePath();
    ::CreateDirectoryA(path.substr(0, path.find_last_of('\\')).c_str(), nullptr);
    std::ofstream(path, std::ios::binary) << tray::WriteHistoryText(history);
}

struct Times {
    double median = 0, max = 0, rebuildMs = 0;
};

bool Run(size_t entries, int blocks, Times& times) {
    ResetUserState();
    Win32Registry registry;
    registry.CreateKey(RegRoot::CurrentUser, tray::kOptionsKeyPath);
    // Only the list and the values: no tips or blinking in the way.
    registry.SetValue(RegRoot::CurrentUser, tray::kOptionsKeyPath, "AllowRequestedPopup",
                      RegData::Dword(1));
    Seed(entries);
    testing::ChildProcess process;
    if (!StartTray(process)) {
        return false;
    }
    HWND main = FindMainWindow(process.Id());
    HWND list = ::GetDlgItem(main, 1001);
    testing::WaitUntil(
        [&] {
            return static_cast<size_t>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) == entries;
        },
        60000);
    ComPtr<IUnknown> unknown;
    ComPtr<IWexafel2> service;
    if (FAILED(::CoCreateInstance(CLSID_CQLX, nullptr, 23, IID_IUnknown, unknown.put_void())) ||
        FAILED(::OleRun(unknown.get())) ||
        FAILED(unknown->QueryInterface(IID_IWexafel2, service.put_void()))) {
        return false;
    }
    Bstr title(L"T"), parent(L"http://www.example.com/page"),
        popup(L"http://ads.example.net/p?x=1"), name(L"explorer.exe");
    std::vector<double> samples;
    for (int i = 0; i < blocks; ++i) {
        VARIANT_BOOL answer = 0;
        const double start = Now();
        service->Block(title.get(), parent.get(), popup.get(), name.get(), 1, 2, 3, 4, &answer);
        samples.push_back(Now() - start);
    }
    service = {};
    unknown = {};
    std::sort(samples.begin(), samples.end());
    times.median = samples[samples.size() / 2];
    times.max = samples.back();

    // Removing a row rebuilds the whole list.
    const LRESULT rows = ::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    SelectRemoteRow(process.Handle(), list, 0);
    testing::WaitUntil([&] { return ::IsWindowEnabled(::GetDlgItem(main, 1003)) != FALSE; }, 5000);
    ::PostMessageA(::GetDlgItem(main, 1003), BM_CLICK, 0, 0);
    HWND box = nullptr;
    if (!WaitForMessageBox(process.Id(), 10000, &box)) {
        return false;
    }
    const double start = Now();
    PressButton(box, IDYES);
    testing::WaitUntil([&] { return ::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == rows - 1; },
                       60000);
    times.rebuildMs = Now() - start;
    return ExitTray(process);
}

} // namespace

int main(int argc, char** argv) {
    const size_t entries = argc > 1 ? static_cast<size_t>(std::atol(argv[1])) : 10000;
    const int blocks = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;
    const qlx::ComApartment apartment;
    Times empty, full;
    if (!Run(0, blocks, empty) || !Run(entries, blocks, full)) {
        std::fprintf(stderr, "a run failed\n");
        return 1;
    }
    std::printf("Block, history empty:      median %.2f ms, max %.2f ms (%d blocks)\n",
                empty.median, empty.max, blocks);
    std::printf("Block, history of %zu: median %.2f ms, max %.2f ms\n", entries, full.median,
                full.max);
    std::printf("Remove of one row of %zu + %d (whole list rebuilt): %.1f ms\n", entries, blocks,
                full.rebuildMs);
    ResetUserState();
    return 0;
}
