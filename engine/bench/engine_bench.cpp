// Benchmarks of the engine core, each a pair measured in one run: the
// engine's operation and a bare baseline doing the least the same job needs.
// The ratios are printed at the end.
//   cmake -S . -B build/bench -G Ninja -DQLX_BENCHMARKS=ON -DCMAKE_BUILD_TYPE=Release
//   ninja -C build/bench engine_bench && build/bench/engine/engine_bench
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/history_file.h"
#include "engine/core/list_file.h"
#include "engine/core/std_file_system.h"

namespace qlx::engine {
namespace {

class Folder {
public:
    Folder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "qlxbench-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~Folder() { std::filesystem::remove_all(path_); }
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const {
        std::string file = path_;
        file += '/';
        file += name;
        return file;
    }
    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(File(name), std::ios::binary) << bytes;
    }

private:
    std::string path_;
};

std::string NumberedName(const char* prefix, int i, const char* suffix) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s%07d%s", prefix, i, suffix);
    return buf;
}

// --- WXBlock allow path with 100,000-entry lists --------------------------

constexpr int kListSize = 100000;

std::string ListFile(const char* prefix, const char* suffix) {
    std::string text;
    for (int i = 0; i < kListSize; ++i) {
        text += '+';
        text += NumberedName(prefix, i * 7 % kListSize, suffix);
        text += "\r\n";
    }
    return text;
}

struct AllowPathData {
    Folder folder;
    StdFileSystem files;
    BlockingEngine engine{files};
    std::vector<std::string> domains;
    std::vector<std::string> popups;
    AllowPathData() {
        folder.Write("domains.lst", ListFile("s", ".example.com"));
        folder.Write("urls.lst", ListFile("p", ".example.com/ad.html"));
        engine.Init("client.exe", folder.path() + "/", false, {});
        for (const ListEntry& e : ParseListFile(ListFile("s", ".example.com"))) {
            domains.push_back(e.name);
        }
        for (const ListEntry& e : ParseListFile(ListFile("p", ".example.com/ad.html"))) {
            popups.push_back(e.name);
        }
    }
};

AllowPathData& AllowData() {
    static AllowPathData data;
    return data;
}

// The site is in no list; the pop-up is found by its short form, so all four
// lookups run before the pop-up is let open.
void BM_WXBlockAllowPath(benchmark::State& state) {
    AllowPathData& d = AllowData();
    int i = 0;
    BlockOutcome outcome;
    for (auto _ : state) {
        const std::string popup = NumberedName("http://p", i++ % kListSize, ".example.com/ad.html");
        d.engine.Block("Title", "http://opener.test/page.html", popup, "iexplore.exe",
                       {0, 0, 400, 300}, outcome);
        if (outcome.block) {
            state.SkipWithError("blocked");
            break;
        }
    }
}

void BM_FourLowerBounds(benchmark::State& state) {
    AllowPathData& d = AllowData();
    int i = 0;
    const std::string site = "http://opener.test";
    const std::string shortSite = "opener.test";
    size_t found = 0;
    for (auto _ : state) {
        const std::string popup = NumberedName("http://p", i++ % kListSize, ".example.com/ad.html");
        const std::string shortPopup = popup.substr(7);
        found += std::lower_bound(d.domains.begin(), d.domains.end(), site) - d.domains.begin();
        found +=
            std::lower_bound(d.domains.begin(), d.domains.end(), shortSite) - d.domains.begin();
        found += std::lower_bound(d.popups.begin(), d.popups.end(), popup) - d.popups.begin();
        found += std::lower_bound(d.popups.begin(), d.popups.end(), shortPopup) - d.popups.begin();
        benchmark::DoNotOptimize(found);
    }
}

// --- Loading a 1,000,000-line list file -----------------------------------

struct BigListFile {
    Folder folder;
    std::string path;
    BigListFile() {
        std::mt19937 rng(42);
        std::string text;
        text.reserve(40u * 1000000u);
        const char* letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        for (int i = 0; i < 1000000; ++i) {
            text += (rng() % 4 == 0) ? '-' : '+';
            text += "http://";
            const int n = 8 + static_cast<int>(rng() % 24);
            for (int k = 0; k < n; ++k) {
                text += letters[rng() % 62];
            }
            text += ".com/x\r\n";
        }
        folder.Write("big.lst", text);
        path = folder.File("big.lst");
    }
};

BigListFile& BigList() {
    static BigListFile file;
    return file;
}

void BM_LoadListFile(benchmark::State& state) {
    StdFileSystem files;
    for (auto _ : state) {
        auto bytes = files.ReadOrCreate(BigList().path);
        NameList list(ParseOwnedListFile(std::move(*bytes)));
        benchmark::DoNotOptimize(list.size());
    }
}

void BM_SortCommand(benchmark::State& state) {
    std::string command = "LC_ALL=C sort -f '";
    command += BigList().path;
    command += "' > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("sort failed");
            break;
        }
    }
}

// --- A block with a 10,000-record history ---------------------------------

struct HistoryData {
    Folder folder;
    StdFileSystem files;
    BlockingEngine engine{files};
    std::string bytes;
    HistoryData() {
        std::deque<HistoryRecord> history;
        for (int i = 0; i < 10000; ++i) {
            HistoryRecord r;
            r.time = "2024-05-15 12:00:00";
            r.title = NumberedName("Page title number ", i, "");
            r.site = NumberedName("http://site", i % 500, ".example.com");
            r.popup = NumberedName("http://ads.example.com/banner", i, ".html");
            r.process = i % 3 == 0 ? "iexplore.exe" : "explorer.exe";
            r.left = 10;
            r.top = 20;
            r.width = 400;
            r.height = 300;
            r.siteCount = r.addressCount = r.processCount = -2;
            history.push_back(r);
        }
        folder.Write("history.log", FormatHistoryFile(history));
        engine.Init("client.exe", folder.path() + "/", false, {});
        bytes = FormatHistoryFile(engine.history());
    }
};

HistoryData& History() {
    static HistoryData data;
    return data;
}

// Each block adds a record and writes the whole history through a temporary
// file; the record is taken out again untimed so the size stays 10,000.
void BM_BlockWithHistory(benchmark::State& state) {
    HistoryData& d = History();
    BlockOutcome outcome;
    int i = 0;
    for (auto _ : state) {
        d.engine.Block("Title", "http://site1.example.com/a",
                       NumberedName("http://new.example.com/", i++, ".html"), "iexplore.exe",
                       {1, 2, 3, 4}, outcome);
        state.PauseTiming();
        d.engine.DeleteFromHistory({0});
        state.ResumeTiming();
    }
}

void BM_FwriteHistoryBytes(benchmark::State& state) {
    HistoryData& d = History();
    const std::string path = d.folder.File("plain.log");
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(d.bytes.data(), 1, d.bytes.size(), f);
        std::fclose(f);
    }
}

// --- Operations over whole lists and histories ----------------------------
// Each rebuilds its engine untimed, then times one operation; the baseline
// sorts as many names, the least an n log n job of that size costs.

constexpr int kBigList = 200000;
constexpr int kServerEntries = 100000;
constexpr int kBigHistory = 100000;

std::string NumberedList(int count, int step) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += '+';
        text += NumberedName("http://www.site", i * step, ".example.com/");
        text += "\r\n";
    }
    return text;
}

struct WholeListData {
    Folder folder;
    StdFileSystem files;
    std::string userList = NumberedList(kBigList, 1);
    std::string serverList = NumberedList(kServerEntries, 2); // every other user entry
    std::string history;
    WholeListData() {
        std::deque<HistoryRecord> records;
        for (int i = 0; i < kBigHistory; ++i) {
            HistoryRecord r;
            r.time = "2024-05-15 12:00:00";
            r.title = "Title";
            r.site = NumberedName("http://site", i % 700, ".example.com");
            r.popup = NumberedName("http://ads.example.com/", i, ".html");
            r.process = "iexplore.exe";
            records.push_back(r);
        }
        history = FormatHistoryFile(records);
    }
    std::unique_ptr<BlockingEngine> Fresh() {
        folder.Write("urls.lst", userList);
        folder.Write("svrurls.lst", serverList);
        folder.Write("updurls.lst", "");
        folder.Write("history.log", history);
        auto engine = std::make_unique<BlockingEngine>(files);
        engine->Init("client.exe", folder.path() + "/", false, {});
        return engine;
    }
};

WholeListData& WholeList() {
    static WholeListData data;
    return data;
}

void BM_DeleteEveryListEntry(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto engine = WholeList().Fresh();
        std::vector<int32_t> positions(kBigList);
        for (int i = 0; i < kBigList; ++i) {
            positions[static_cast<size_t>(i)] = i;
        }
        state.ResumeTiming();
        engine->DeleteFromList(static_cast<int32_t>(ListKind::Popup), positions);
        state.PauseTiming();
        engine.reset();
        state.ResumeTiming();
    }
}

void BM_UpdateWithdrawingServerEntries(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto engine = WholeList().Fresh();
        state.ResumeTiming();
        engine->AddUpdateObj(static_cast<int32_t>(ListKind::Popup));
        state.PauseTiming();
        engine.reset();
        state.ResumeTiming();
    }
}

void BM_DeleteEveryOtherHistoryRecord(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto engine = WholeList().Fresh();
        std::vector<int32_t> positions;
        for (int i = 0; i < kBigHistory; i += 2) {
            positions.push_back(i);
        }
        state.ResumeTiming();
        engine->DeleteFromHistory(positions);
        state.PauseTiming();
        engine.reset();
        state.ResumeTiming();
    }
}

void BM_IsAllDefObj(benchmark::State& state) {
    auto engine = WholeList().Fresh();
    bool all = false;
    for (auto _ : state) {
        engine->IsAllDefObj(static_cast<int32_t>(ListKind::Popup), all);
        benchmark::DoNotOptimize(all);
    }
}

void BM_SortListNames(benchmark::State& state) {
    std::vector<std::string> names;
    for (const ListEntry& e : ParseListFile(WholeList().userList)) {
        names.push_back(e.name);
    }
    std::mt19937 rng(3);
    for (auto _ : state) {
        state.PauseTiming();
        std::shuffle(names.begin(), names.end(), rng);
        state.ResumeTiming();
        std::sort(names.begin(), names.end());
    }
}

BENCHMARK(BM_WXBlockAllowPath);
BENCHMARK(BM_FourLowerBounds);
BENCHMARK(BM_LoadListFile)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SortCommand)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_BlockWithHistory)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FwriteHistoryBytes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DeleteEveryListEntry)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_UpdateWithdrawingServerEntries)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DeleteEveryOtherHistoryRecord)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_IsAllDefObj)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SortListNames)->Unit(benchmark::kMillisecond)->Iterations(3);

// Prints as usual and remembers each benchmark's time per iteration.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            times_[r.benchmark_name()] =
                r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
        }
    }
    // Operations with a time goal of their own, against the baseline.
    void PrintTime(const char* label, const char* engine, const char* baseline, double goalMs) {
        auto a = times_.find(engine);
        auto b = times_.find(baseline);
        if (a == times_.end() || b == times_.end() || b->second <= 0) {
            return;
        }
        std::printf("%-44s %8.1f ms  %6.2fx sort  (goal < %.0f ms)\n", label, a->second * 1e3,
                    a->second / b->second, goalMs);
    }
    void PrintRatio(const char* label, const char* engine, const char* baseline, double goal) {
        auto a = times_.find(engine);
        auto b = times_.find(baseline);
        if (a == times_.end() || b == times_.end() || b->second <= 0) {
            return;
        }
        const double ratio = a->second / b->second;
        std::printf("%-44s %6.2fx  (goal <= %.1fx)\n", label, ratio, goal);
    }

private:
    std::map<std::string, double> times_;
};

} // namespace
} // namespace qlx::engine

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    qlx::engine::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    reporter.PrintRatio("WXBlock allow path / four lower_bounds", "BM_WXBlockAllowPath",
                        "BM_FourLowerBounds", 1.5);
    reporter.PrintRatio("load 1,000,000-line list / sort -f", "BM_LoadListFile/min_time:2.000",
                        "BM_SortCommand/min_time:2.000", 1.0);
    reporter.PrintRatio("block, 10,000-record history / fwrite", "BM_BlockWithHistory",
                        "BM_FwriteHistoryBytes", 1.5);
    const char* sort = "BM_SortListNames/iterations:3";
    reporter.PrintTime("DeleteFromList, all of 200,000", "BM_DeleteEveryListEntry/iterations:3",
                       sort, 1000);
    reporter.PrintTime("AddUpdateObj withdrawing 100,000 of 200,000",
                       "BM_UpdateWithdrawingServerEntries/iterations:3", sort, 1000);
    reporter.PrintTime("DeleteFromHistory, every other of 100,000",
                       "BM_DeleteEveryOtherHistoryRecord/iterations:3", sort, 1000);
    reporter.PrintTime("IsAllDefObj, 100,000 server x 200,000 user", "BM_IsAllDefObj/iterations:3",
                       sort, 1000);
    benchmark::Shutdown();
    return 0;
}
