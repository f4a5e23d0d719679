// What the platform itself costs for one download, with nothing of the
// updater around it: the same file read through WinINet in the updater's
// 2048-byte blocks (and, for comparison, in 64 KB ones), and the same number
// of bytes hashed by CNG's SHA-256. Prints one "name ms" line per figure.
//   download_floor.exe PORT PATH BYTES
#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "updater/win32/cng_verifier.h"
#include "updater/win32/win32_platform.h"

namespace {

using qlx::updater::UniqueInternet;
using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Reads the whole body in `block`-byte reads, asking what is there first as
// the updater does; the milliseconds, or a negative number on failure.
double ReadAll(HINTERNET internet, INTERNET_PORT port, const char* path, DWORD block,
               unsigned long long expected) {
    const UniqueInternet connection(::InternetConnectA(internet, "127.0.0.1", port, nullptr,
                                                       nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    const UniqueInternet request(::HttpOpenRequestA(
        connection.get(), "GET", path, nullptr, nullptr, nullptr,
        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE, 0));
    if (!request || !::HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) {
        return -1;
    }
    std::vector<char> buffer(block);
    unsigned long long total = 0;
    DWORD available = 0;
    const auto start = Clock::now();
    for (;;) {
        if (available == 0) {
            DWORD now = 0;
            if (::InternetQueryDataAvailable(request.get(), &now, 0, 0)) {
                available = now;
            }
        }
        DWORD got = 0;
        if (!::InternetReadFile(request.get(), buffer.data(), block, &got)) {
            return -1;
        }
        if (got == 0) {
            break;
        }
        total += got;
        available -= got < available ? got : available;
    }
    const double ms = MillisecondsSince(start);
    return total == expected ? ms : -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: download_floor PORT PATH BYTES\n");
        return 2;
    }
    const auto port = static_cast<INTERNET_PORT>(std::atoi(argv[1]));
    const unsigned long long bytes = std::strtoull(argv[3], nullptr, 10);
    const UniqueInternet internet(
        ::InternetOpenA("Quellix bench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    const double reads2k = ReadAll(internet.get(), port, argv[2], 2048, bytes);
    const double reads64k = ReadAll(internet.get(), port, argv[2], 65536, bytes);
    if (reads2k < 0 || reads64k < 0) {
        std::fprintf(stderr, "download_floor: the download failed\n");
        return 1;
    }
    qlx::updater::CngVerifier verifier;
    auto hash = verifier.NewSha256();
    if (!hash) {
        std::fprintf(stderr, "download_floor: the system computes no SHA-256\n");
        return 1;
    }
    const std::string block(2048, 'q');
    const auto start = Clock::now();
    for (unsigned long long done = 0; done < bytes; done += block.size()) {
        hash->Add(block);
    }
    hash->Finish();
    const double sha = MillisecondsSince(start);
    std::printf("reads2048 %.0f\nreads65536 %.0f\nsha256 %.0f\n", reads2k, reads64k, sha);
    return 0;
}
