#pragma once
// Sizes for a window's DPI: layouts are written in pixels at 96 DPI (100%),
// and the art is rendered at 100%, 150% and 200%.
#include <array>

namespace qlx {

inline constexpr int kBaseDpi = 96;

// `pixels` at 96 DPI scaled to `dpi`, rounded to the nearest pixel (halves
// away from zero); an unknown DPI (0 or less) leaves it as it is.
constexpr int ScaleForDpi(int pixels, int dpi) {
    if (dpi <= 0) {
        return pixels;
    }
    const long long scaled = static_cast<long long>(pixels) * dpi;
    const long long half = kBaseDpi / 2;
    return static_cast<int>(scaled >= 0 ? (scaled + half) / kBaseDpi : (scaled - half) / kBaseDpi);
}

// The renderings of the art, in percent.
inline constexpr std::array<int, 3> kArtScales{100, 150, 200};

// The rendering to draw at `dpi`: the smallest one at least as large, so
// that art is shrunk rather than blown up; the largest beyond 200%.
constexpr int ArtScaleForDpi(int dpi) {
    for (int percent : kArtScales) {
        if (dpi * 100 <= percent * kBaseDpi) {
            return percent;
        }
    }
    return kArtScales.back();
}

// The resource number of bitmap `id` rendered at `percent`.
constexpr int ArtResourceId(int id, int percent) {
    return percent == 150 ? id + 1000 : percent == 200 ? id + 2000 : id;
}

} // namespace qlx
