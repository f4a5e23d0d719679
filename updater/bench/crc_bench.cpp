// The CRC-32 of downloaded and looked-up files against zlib's crc32 over the
// same bytes, in one run; the ratio is printed at the end.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <random>
#include <vector>

#include "updater/core/crc32.h"

namespace {

const std::vector<unsigned char>& Data() {
    static const std::vector<unsigned char> data = [] {
        std::vector<unsigned char> bytes(16 << 20);
        std::mt19937 random(7);
        for (auto& b : bytes) {
            b = static_cast<unsigned char>(random());
        }
        return bytes;
    }();
    return data;
}

// Blocks of 65,536 bytes, as the look-up directories are read.
void BM_Crc32(benchmark::State& state) {
    const auto& data = Data();
    for (auto _ : state) {
        uint32_t crc = 0;
        for (size_t at = 0; at < data.size(); at += 65536) {
            crc = qlx::updater::Crc32(crc, data.data() + at, 65536);
        }
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_Crc32);

void BM_ZlibCrc32(benchmark::State& state) {
    const auto& data = Data();
    for (auto _ : state) {
        uLong crc = 0;
        for (size_t at = 0; at < data.size(); at += 65536) {
            crc = crc32(crc, data.data() + at, 65536);
        }
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_ZlibCrc32);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            (r.benchmark_name() == "BM_Crc32" ? ours_ : zlib_) = r.GetAdjustedRealTime();
        }
    }
    void Print() const {
        if (ours_ > 0 && zlib_ > 0) {
            std::printf("\nCRC-32 time / zlib crc32 time %6.2fx  (goal <= 1.0x)\n", ours_ / zlib_);
        }
    }

private:
    double ours_ = 0;
    double zlib_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (qlx::updater::Crc32(0, Data().data(), Data().size()) !=
        crc32(0, Data().data(), static_cast<uInt>(Data().size()))) {
        std::fprintf(stderr, "crc_bench: the two CRCs disagree\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.Print();
    benchmark::Shutdown();
    return 0;
}
