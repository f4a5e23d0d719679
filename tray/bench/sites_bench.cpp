// What a blocked pop-up costs the popup service with 0 and with 10,000
// allowed sites: the look-up is one hash probe per label of the opening
// page's host, so both should take the same time within noise. Also the
// look-up alone, for a site that is allowed and one that is not.
#include <benchmark/benchmark.h>

#include <string>

#include "tray/core/allowed_sites.h"
#include "tray/core/local_clock.h"
#include "tray/core/popup_recorder.h"
#include "tray/core/settings.h"

namespace {

using namespace qlx::tray;

AllowedSites MakeSites(int count) {
    AllowedSites sites;
    for (int i = 0; i < count; ++i) {
        std::string entry = i % 3 == 0 ? "=host" : "host";
        entry += std::to_string(i);
        entry += ".site";
        entry += std::to_string(i % 97);
        entry += ".example";
        sites.Add(entry);
    }
    return sites;
}

class FixedClock final : public Clock {
public:
    LocalDateTime Now() const override { return {2026, 12, 8, 9, 15, 30}; }
};

void BM_BlockWithAllowedSites(benchmark::State& state) {
    const AllowedSites sites = MakeSites(static_cast<int>(state.range(0)));
    CSettings settings;
    settings.Construct(CSettings::FactoryDefaults(""));
    const FixedClock clock;
    for (auto _ : state) {
        const bool blocked = RecordBlockedPopup(
            settings, clock, nullptr, nullptr, "http://www.news.example.org/article/page.html",
            "http://ads.example.net/popup.html?id=42", {10, 20, 300, 200}, &sites);
        benchmark::DoNotOptimize(blocked);
        if (settings.history.size() >= 4096) {
            state.PauseTiming();
            settings.history.clear();
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_BlockWithAllowedSites)->Arg(0)->Arg(10000);

void BM_AllowedLookUp(benchmark::State& state) {
    const AllowedSites sites = MakeSites(10000);
    const char* address = state.range(0) ? "http://a.b.host42.site42.example" : "http://a.b.c.d.e";
    for (auto _ : state) {
        benchmark::DoNotOptimize(sites.Allows(address));
    }
}
BENCHMARK(BM_AllowedLookUp)->Arg(1)->Arg(0);

} // namespace

BENCHMARK_MAIN();
