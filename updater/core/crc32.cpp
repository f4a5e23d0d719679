#include "updater/core/crc32.h"

#include <array>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define QLX_CRC32_FOLDING 1
#endif

namespace qlx::updater {

namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u;
constexpr size_t kSlices = 16;

using Tables = std::array<std::array<uint32_t, 256>, kSlices>;

// Table k gives the CRC of a byte followed by k zero bytes, so sixteen
// bytes fold in with sixteen look-ups and no dependency between them.
constexpr Tables MakeTables() {
    Tables t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) {
            c = (c & 1) ? (c >> 1) ^ kPolynomial : c >> 1;
        }
        t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i) {
        for (size_t k = 1; k < kSlices; ++k) {
            t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
        }
    }
    return t;
}

constexpr Tables kTables = MakeTables();

uint32_t LoadLittleEndian(const unsigned char* p) noexcept {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// `state` is the inverted CRC.
uint32_t SliceBy16(uint32_t state, const unsigned char* p, size_t size) noexcept {
    while (size >= kSlices) {
        const uint32_t a = LoadLittleEndian(p) ^ state;
        const uint32_t b = LoadLittleEndian(p + 4);
        const uint32_t c = LoadLittleEndian(p + 8);
        const uint32_t d = LoadLittleEndian(p + 12);
        state = kTables[15][a & 0xFF] ^ kTables[14][(a >> 8) & 0xFF] ^
                kTables[13][(a >> 16) & 0xFF] ^ kTables[12][a >> 24] ^ kTables[11][b & 0xFF] ^
                kTables[10][(b >> 8) & 0xFF] ^ kTables[9][(b >> 16) & 0xFF] ^ kTables[8][b >> 24] ^
                kTables[7][c & 0xFF] ^ kTables[6][(c >> 8) & 0xFF] ^ kTables[5][(c >> 16) & 0xFF] ^
                kTables[4][c >> 24] ^ kTables[3][d & 0xFF] ^ kTables[2][(d >> 8) & 0xFF] ^
                kTables[1][(d >> 16) & 0xFF] ^ kTables[0][d >> 24];
        p += kSlices;
        size -= kSlices;
    }
    while (size-- > 0) {
        state = (state >> 8) ^ kTables[0][(state ^ *p++) & 0xFF];
    }
    return state;
}

#ifdef QLX_CRC32_FOLDING
// One 128-bit lane moved forward over the next 128 bits.
__attribute__((target("pclmul,sse4.1"))) inline __m128i FoldLane(__m128i x, __m128i k,
                                                                 __m128i next) noexcept {
    const __m128i low = _mm_clmulepi64_si128(x, k, 0x00);
    const __m128i high = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(high, low), next);
}

// Carry-less multiplication folds 64 bytes per step (four 128-bit lanes),
// then reduces to 32 bits with Barrett's method; the constants are the
// powers of x modulo the reflected polynomial. `size` is a multiple of 16,
// at least 64; `state` is the inverted CRC.
__attribute__((target("pclmul,sse4.1"))) uint32_t Fold(uint32_t state, const unsigned char* p,
                                                       size_t size) noexcept {
    const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    const __m128i k5k0 = _mm_set_epi64x(0, 0x0163cd6124);
    const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
    const auto load = [](const unsigned char* at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    };

    __m128i x1 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(state)));
    __m128i x2 = load(p + 16);
    __m128i x3 = load(p + 32);
    __m128i x4 = load(p + 48);
    p += 64;
    size -= 64;
    while (size >= 64) {
        x1 = FoldLane(x1, k1k2, load(p));
        x2 = FoldLane(x2, k1k2, load(p + 16));
        x3 = FoldLane(x3, k1k2, load(p + 32));
        x4 = FoldLane(x4, k1k2, load(p + 48));
        p += 64;
        size -= 64;
    }
    x1 = FoldLane(x1, k3k4, x2);
    x1 = FoldLane(x1, k3k4, x3);
    x1 = FoldLane(x1, k3k4, x4);
    while (size >= 16) {
        x1 = FoldLane(x1, k3k4, load(p));
        p += 16;
        size -= 16;
    }

    // 128 bits to 64.
    const __m128i mask32 = _mm_setr_epi32(~0, 0, ~0, 0);
    __m128i x2b = _mm_clmulepi64_si128(x1, k3k4, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2b);
    x2b = _mm_srli_si128(x1, 4);
    x1 = _mm_clmulepi64_si128(_mm_and_si128(x1, mask32), k5k0, 0x00);
    x1 = _mm_xor_si128(x1, x2b);

    // Barrett reduction to 32 bits.
    x2b = _mm_clmulepi64_si128(_mm_and_si128(x1, mask32), poly, 0x10);
    x2b = _mm_clmulepi64_si128(_mm_and_si128(x2b, mask32), poly, 0x00);
    x1 = _mm_xor_si128(x1, x2b);
    return static_cast<uint32_t>(_mm_extract_epi32(x1, 1));
}

bool CanFold() noexcept {
    static const bool can = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return can;
}
#endif

} // namespace

uint32_t Crc32(uint32_t crc, const void* data, size_t size) noexcept {
    const auto* p = static_cast<const unsigned char*>(data);
    uint32_t state = ~crc;
#ifdef QLX_CRC32_FOLDING
    if (size >= 64 && CanFold()) {
        const size_t folded = size & ~static_cast<size_t>(15);
        state = Fold(state, p, folded);
        p += folded;
        size -= folded;
    }
#endif
    return ~SliceBy16(state, p, size);
}

} // namespace qlx::updater
