#pragma once
// Skinned windows take their shape and background from bitmaps in which
// magenta marks what is not part of the window.
#include <windows.h>

#include <commctrl.h>

#include "common/win32/gdi.h"

namespace qlx::skin {

inline constexpr COLORREF kTransparent = RGB(255, 0, 255);

// The region of every pixel of `bitmap` that is not `key`; null on failure.
HRGN RegionFromBitmap(HBITMAP bitmap, COLORREF key = kTransparent);

// The DPI of `window` (of the screen without one, or on systems that keep
// one DPI for every window).
int WindowDpi(HWND window);

// Bitmap `bitmapId` drawn for `dpi`: the rendering of the art made for it,
// or the nearest larger one shrunk to the size the DPI asks for; null if the
// bitmap is missing.
HBITMAP LoadArt(HINSTANCE module, int bitmapId, int dpi);

// A strip of equal cells (button states, tab faces) as an image list with
// magenta transparent, for `dpi` (`cellWidth` is at 96 DPI); null if the
// bitmap is missing.
HIMAGELIST LoadImageStrip(HINSTANCE module, int bitmapId, int cellWidth, int dpi = 96);

// A window's shape and background from one bitmap. Owns the bitmap.
class Surface {
public:
    Surface() = default;
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    // Loads the bitmap, sizes `window` to it (unless `keepSize`) and cuts
    // the window to its shape. False if the bitmap is missing; the window
    // then keeps its rectangle.
    // The art is drawn for `dpi`, the window's.
    bool Apply(HWND window, HINSTANCE module, int bitmapId, int dpi, bool keepSize = false);
    // Draws the background at the window's origin; false without a bitmap.
    bool Paint(HDC dc) const;
    SIZE Size() const { return size_; }
    HBITMAP Bitmap() const { return bitmap_.get(); }
    void Reset();

private:
    UniqueBitmap bitmap_;
    SIZE size_{};
};

// An owned image list.
struct ImageListOwner {
    HIMAGELIST list = nullptr;
    ImageListOwner() = default;
    explicit ImageListOwner(HIMAGELIST l) : list(l) {}
    ImageListOwner(const ImageListOwner&) = delete;
    ImageListOwner& operator=(const ImageListOwner&) = delete;
    ~ImageListOwner() { Reset(nullptr); }
    void Reset(HIMAGELIST l) {
        if (list) {
            ImageList_Destroy(list);
        }
        list = l;
    }
};

} // namespace qlx::skin
