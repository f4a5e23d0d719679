// Measures, in one run and alternating, QLX.exe against minimal_tray.exe:
// the time from CreateProcess to the named mutex existing, and the private
// memory and working set once the program has settled (1 s after the mutex).
//   tray_measure [runs] [settle ms, default 1000]
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/testing/child_process.h"
#include "tray/tests/win/qlx_driver.h"

namespace {

DWORD g_settleMs = 1000;

struct Sample {
    double msToMutex = 0;
    double privateKiB = 0;
    double workingSetKiB = 0;
};

double Now() {
    LARGE_INTEGER frequency, counter;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool Measure(const std::string& commandLine, const char* mutex, Sample& sample,
             qlx::testing::ChildProcess& process) {
    const double start = Now();
    if (!process.Start(commandLine)) {
        return false;
    }
    for (;;) {
        if (qlx::testing::NamedMutexExists(mutex)) {
            break;
        }
        if (!process.Running() || Now() - start > 30000) {
            return false;
        }
        ::Sleep(1);
    }
    sample.msToMutex = Now() - start;
    ::Sleep(g_settleMs);
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (::GetProcessMemoryInfo(process.Handle(),
                               reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                               sizeof counters)) {
        // Wine leaves PrivateUsage of other processes at 0 and reports the
        // private (anonymous) resident memory as the pagefile usage.
        const SIZE_T privateBytes =
            counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
        sample.privateKiB = static_cast<double>(privateBytes) / 1024.0;
        sample.workingSetKiB = static_cast<double>(counters.WorkingSetSize) / 1024.0;
    }
    return true;
}

BOOL CALLBACK CloseWindowsOf(HWND window, LPARAM pid) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == static_cast<DWORD>(pid)) {
        ::PostMessageA(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void Report(const char* name, const std::vector<Sample>& samples) {
    std::vector<double> t, p, w;
    for (const auto& s : samples) {
        t.push_back(s.msToMutex);
        p.push_back(s.privateKiB);
        w.push_back(s.workingSetKiB);
    }
    std::printf("%-14s runs %zu  start->mutex median %.1f ms (min %.1f, max %.1f)  private %.0f KiB"
                "  working set %.0f KiB\n",
                name, samples.size(), Median(t), *std::min_element(t.begin(), t.end()),
                *std::max_element(t.begin(), t.end()), Median(p), Median(w));
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    if (argc > 2) {
        g_settleMs = static_cast<DWORD>(std::max(0, std::atoi(argv[2])));
    }
    const std::string bin = qlx::testing::BinDir();
    std::vector<Sample> tray, minimal, minimalOle;
    auto runMinimal = [&](const char* extra, std::vector<Sample>& samples, int i) {
        Sample s;
        qlx::testing::ChildProcess process;
        if (!Measure(qlx::tray::testing::Quoted(bin + "minimal_tray.exe") + " QlxMinimalMutex" +
                         extra,
                     "QlxMinimalMutex", s, process)) {
            std::fprintf(stderr, "minimal_tray.exe%s run %d failed\n", extra, i);
            return false;
        }
        ::EnumWindows(CloseWindowsOf, static_cast<LPARAM>(process.Id()));
        process.WaitForExit(10000);
        samples.push_back(s);
        return true;
    };
    for (int i = 0; i < runs; ++i) {
        Sample s;
        {
            qlx::testing::ChildProcess process;
            if (!Measure(qlx::tray::testing::Quoted(bin + "QLX.exe"), "QuellixMutex", s, process) ||
                !qlx::tray::testing::ExitTray(process)) {
                std::fprintf(stderr, "QLX.exe run %d failed\n", i);
                return 1;
            }
            tray.push_back(s);
        }
        if (!runMinimal("", minimal, i) || !runMinimal(" ole", minimalOle, i)) {
            return 1;
        }
    }
    Report("QLX.exe", tray);
    Report("minimal_tray", minimal);
    Report("minimal + OLE", minimalOle);
    return 0;
}
