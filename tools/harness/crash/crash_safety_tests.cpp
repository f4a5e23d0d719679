// Kills a process at random moments while it saves the product's files
// (engine lists, the engine's history, the tray program's history) and checks
// after every kill that each file holds either its old or its new content,
// whole: never a mix, a cut or an empty file.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/testing/child_process.h"
#include "common/win32/file_replace.h"
#include "common/win32/unique_handle.h"
#include "tools/harness/crash/crash_files.h"

namespace qlx::crash {
namespace {

using qlx::testing::BinDir;
using qlx::testing::ChildProcess;

// Kills per kind of file; QLX_CRASH_KILLS sets another number (the
// benchmark command runs a longer round).
int KillsPerKind() {
    const char* text = std::getenv("QLX_CRASH_KILLS");
    const int kills = text ? std::atoi(text) : 0;
    return kills > 0 ? kills : 340;
}

std::string ReadWhole(const std::string& path, bool* exists) {
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    *exists = static_cast<bool>(file);
    std::string text;
    char buffer[65536];
    DWORD got = 0;
    while (file && ::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    return text;
}

// A killed save leaves its temporary file behind; the count is reported,
// and they are removed so that the folder stays small.
int RemoveLeftovers(const std::string& folder) {
    WIN32_FIND_DATAA found;
    int count = 0;
    HANDLE search = ::FindFirstFileA((folder + "\\*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return 0;
    }
    do {
        ::DeleteFileA((folder + "\\" + found.cFileName).c_str());
        ++count;
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
    return count;
}

struct Kind {
    const char* mode;
    const char* file;
    std::function<void(const std::string& folder)> seed;
    // Whether the file is whole; `state` carries what earlier checks saw.
    std::function<bool(std::string_view bytes, size_t& state)> whole;
};

// Wine's process creation fails now and then when several threads start
// processes at once on a loaded machine; that is no finding of this test.
bool StartWriter(ChildProcess& writer, const std::string& command) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (writer.Start(command, BinDir())) {
            return true;
        }
        ::Sleep(200);
    }
    return false;
}

// Starts the writer, lets it save for a random moment, kills it and checks
// the file, `kills` times.
void KillWhileSaving(const Kind& kind, int kills, unsigned seed, int& done, int& leftovers,
                     std::vector<std::string>& failures) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<DWORD> delayMs(0, 40);
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    std::string folder = temp;
    folder.append("qlx_crash_").append(kind.mode);
    const std::string path = folder + "\\" + kind.file;
    ::CreateDirectoryA(folder.c_str(), nullptr);
    ::DeleteFileA(path.c_str());
    RemoveLeftovers(folder);
    if (kind.seed) {
        kind.seed(folder);
    }
    size_t state = 0;
    for (int i = 0; i < kills && failures.size() < 4; ++i) {
        std::string eventName = "QlxCrashReady-";
        eventName.append(std::to_string(::GetCurrentProcessId()))
            .append("-")
            .append(kind.mode)
            .append(std::to_string(i));
        UniqueHandle ready(::CreateEventA(nullptr, TRUE, FALSE, eventName.c_str()));
        std::string command = "\"";
        command.append(BinDir()).append("\\crash_writer.exe\" ").append(kind.mode);
        command.append(" \"").append(folder).append("\" ").append(eventName);
        ChildProcess writer;
        if (!StartWriter(writer, command)) {
            failures.push_back(std::string(kind.mode) + ": the writer did not start (error " +
                               std::to_string(::GetLastError()) + ")");
            return;
        }
        const HANDLE started[] = {ready.get(), writer.Handle()};
        if (::WaitForMultipleObjects(2, started, FALSE, 20000) != WAIT_OBJECT_0) {
            DWORD code = 0;
            ::GetExitCodeProcess(writer.Handle(), &code);
            failures.push_back(std::string(kind.mode) + ": the writer was not ready (exit code " +
                               std::to_string(code) + ") after " + std::to_string(i) + " kills");
            return;
        }
        ::Sleep(delayMs(random));
        writer.Kill();
        ++done;

        bool exists = false;
        const std::string bytes = ReadWhole(path, &exists);
        // The engine's history exists only after its first completed write.
        const bool mayBeAbsent = !exists && state == 0 && kind.seed == nullptr;
        if (!mayBeAbsent && !(exists && kind.whole(bytes, state))) {
            failures.push_back(std::string(kind.mode) + ": kill " + std::to_string(i) + " left " +
                               kind.file + " of " + std::to_string(bytes.size()) + " bytes");
        }
        leftovers += RemoveLeftovers(folder);
    }
    ::DeleteFileA(path.c_str());
}

TEST(CrashSafety, EveryKillLeavesEachFileOldOrNewAndWhole) {
    const Kind kinds[] = {
        {"tray-history", "history.lst",
         [](const std::string& folder) {
             ReplaceFileContents(folder + "\\history.lst", tray::WriteHistoryText(TrayHistory(0)));
         },
         [](std::string_view bytes, size_t&) { return IsWholeTrayHistory(bytes); }},
        {"engine-list", "domains.lst",
         [](const std::string& folder) {
             ReplaceFileContents(folder + "\\domains.lst", SeededDomainList());
         },
         [](std::string_view bytes, size_t&) { return IsWholeDomainList(bytes); }},
        {"engine-history", "history.log", nullptr,
         [](std::string_view bytes, size_t& seen) {
             size_t records = 0;
             // Records are never lost, and the first one is on disk once any
             // write has completed.
             const bool whole = IsWholeEngineHistory(bytes, seen, &records);
             seen = records;
             return whole;
         }},
    };
    // The three kinds run side by side, each in its own folder; failures
    // are collected and reported from this thread.
    struct Outcome {
        int kills = 0;
        int leftovers = 0;
        std::vector<std::string> failures;
    };
    Outcome outcomes[std::size(kinds)];
    const int kills = KillsPerKind();
    std::vector<std::thread> runners;
    for (size_t k = 0; k < std::size(kinds); ++k) {
        runners.emplace_back([&kind = kinds[k], &outcome = outcomes[k], kills, k] {
            KillWhileSaving(kind, kills, static_cast<unsigned>(20261207 + k), outcome.kills,
                            outcome.leftovers, outcome.failures);
        });
    }
    int total = 0;
    for (size_t k = 0; k < std::size(kinds); ++k) {
        runners[k].join();
        const Outcome& o = outcomes[k];
        std::printf("%s: %d kills, %zu damaged, %d temporary files left behind\n", kinds[k].mode,
                    o.kills, o.failures.size(), o.leftovers);
        for (const std::string& failure : o.failures) {
            ADD_FAILURE() << failure;
        }
        total += o.kills;
    }
    std::printf("kills in all: %d\n", total);
    EXPECT_GE(total, 3 * kills);
}

} // namespace
} // namespace qlx::crash
