#include "skin/skin_bitmap.h"

#include "common/core/dpi_scale.h"
#include "skin/paint.h"

#include <vector>

namespace qlx::skin {

HRGN RegionFromBitmap(HBITMAP bitmap, COLORREF key) {
    BITMAP info{};
    if (!bitmap || !::GetObjectA(bitmap, sizeof info, &info) || info.bmWidth <= 0 ||
        info.bmHeight <= 0) {
        return nullptr;
    }
    const int width = info.bmWidth;
    const int height = info.bmHeight;
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height; // top row first
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    const int rows = ::GetDIBits(WindowDc(nullptr).get(), bitmap, 0, static_cast<UINT>(height),
                                 pixels.data(), &format, DIB_RGB_COLORS);
    if (rows != height) {
        return nullptr;
    }
    // Pixels come as 0x00RRGGBB.
    const DWORD keyPixel =
        (DWORD{GetRValue(key)} << 16) | (DWORD{GetGValue(key)} << 8) | DWORD{GetBValue(key)};
    // One rectangle per run of opaque pixels, gathered into one region.
    std::vector<RECT> runs;
    for (int y = 0; y < height; ++y) {
        const DWORD* row = pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
        for (int x = 0; x < width;) {
            while (x < width && (row[x] & 0xFFFFFF) == keyPixel) {
                ++x;
            }
            const int start = x;
            while (x < width && (row[x] & 0xFFFFFF) != keyPixel) {
                ++x;
            }
            if (x > start) {
                runs.push_back({start, y, x, y + 1});
            }
        }
    }
    std::vector<BYTE> data(sizeof(RGNDATAHEADER) + runs.size() * sizeof(RECT));
    auto* header = reinterpret_cast<RGNDATA*>(data.data());
    header->rdh.dwSize = sizeof(RGNDATAHEADER);
    header->rdh.iType = RDH_RECTANGLES;
    header->rdh.nCount = static_cast<DWORD>(runs.size());
    header->rdh.nRgnSize = static_cast<DWORD>(runs.size() * sizeof(RECT));
    header->rdh.rcBound = {0, 0, width, height};
    if (!runs.empty()) {
        memcpy(header->Buffer, runs.data(), runs.size() * sizeof(RECT));
    }
    return ::ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), header);
}

int WindowDpi(HWND window) {
    // Windows 10 1607 and later; older systems have one DPI for the screen.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (window && getDpiForWindow) {
        if (const UINT dpi = getDpiForWindow(window)) {
            return static_cast<int>(dpi);
        }
    }
    const int dpi = ::GetDeviceCaps(WindowDc(nullptr).get(), LOGPIXELSY);
    return dpi > 0 ? dpi : kBaseDpi;
}

namespace {

HBITMAP LoadBitmapResource(HINSTANCE module, int id) {
    return static_cast<HBITMAP>(
        ::LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

} // namespace

HBITMAP LoadArt(HINSTANCE module, int bitmapId, int dpi) {
    int percent = ArtScaleForDpi(dpi);
    UniqueBitmap art(LoadBitmapResource(module, ArtResourceId(bitmapId, percent)));
    if (!art && percent != 100) {
        percent = 100; // a bitmap drawn at 100% only
        art.reset(LoadBitmapResource(module, bitmapId));
    }
    BITMAP info{};
    if (!art || !::GetObjectA(art.get(), sizeof info, &info)) {
        return nullptr;
    }
    // Drawn for this DPI, or resized from the DPI it was drawn for.
    const int drawnFor = kBaseDpi * percent / 100;
    if (dpi == drawnFor) {
        return art.release();
    }
    const int width = ::MulDiv(info.bmWidth, dpi, drawnFor);
    const int height = ::MulDiv(info.bmHeight, dpi, drawnFor);
    WindowDc screen(nullptr);
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 24;
    format.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap sized(
        ::CreateDIBSection(screen.get(), &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueMemoryDc from(::CreateCompatibleDC(screen.get()));
    UniqueMemoryDc to(::CreateCompatibleDC(screen.get()));
    if (!sized || !from || !to) {
        return nullptr;
    }
    {
        SelectedObject source(from.get(), art.get());
        SelectedObject target(to.get(), sized.get());
        // Whole pixels only: a blend would leave half-magenta edges.
        ::SetStretchBltMode(to.get(), COLORONCOLOR);
        ::StretchBlt(to.get(), 0, 0, width, height, from.get(), 0, 0, info.bmWidth, info.bmHeight,
                     SRCCOPY);
    }
    return sized.release();
}

HIMAGELIST LoadImageStrip(HINSTANCE module, int bitmapId, int cellWidth, int dpi) {
    UniqueBitmap strip(LoadArt(module, bitmapId, dpi));
    BITMAP info{};
    if (!strip || !::GetObjectA(strip.get(), sizeof info, &info)) {
        return nullptr;
    }
    // As many cells as the strip holds at 96 DPI, whatever rounding the
    // drawing at this DPI did.
    const int scaledCell = ScaleForDpi(cellWidth, dpi);
    const int cells = scaledCell > 0 ? (info.bmWidth + scaledCell / 2) / scaledCell : 0;
    if (cells <= 0) {
        return nullptr;
    }
    HIMAGELIST list =
        ImageList_Create(info.bmWidth / cells, info.bmHeight, ILC_COLOR24 | ILC_MASK, cells, 0);
    if (list && ImageList_AddMasked(list, strip.get(), kTransparent) < 0) {
        ImageList_Destroy(list);
        return nullptr;
    }
    return list;
}

bool Surface::Apply(HWND window, HINSTANCE module, int bitmapId, int dpi, bool keepSize) {
    Reset();
    bitmap_.reset(LoadArt(module, bitmapId, dpi));
    BITMAP info{};
    if (!bitmap_ || !::GetObjectA(bitmap_.get(), sizeof info, &info)) {
        Reset();
        return false;
    }
    size_ = {info.bmWidth, info.bmHeight};
    if (!keepSize) {
        ::SetWindowPos(window, nullptr, 0, 0, size_.cx, size_.cy,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // High contrast keeps the size but drops the shape and the picture.
    if (HighContrast()) {
        ::SetWindowRgn(window, nullptr, TRUE);
        bitmap_.reset();
        ::InvalidateRect(window, nullptr, TRUE);
        return true;
    }
    UniqueRegion region(RegionFromBitmap(bitmap_.get()));
    if (region && ::SetWindowRgn(window, region.get(), TRUE)) {
        region.release(); // the window owns it now
    }
    ::InvalidateRect(window, nullptr, TRUE);
    return true;
}

bool Surface::Paint(HDC dc) const {
    if (!bitmap_) {
        return false;
    }
    UniqueMemoryDc source(::CreateCompatibleDC(dc));
    SelectedObject bitmap(source.get(), bitmap_.get());
    ::BitBlt(dc, 0, 0, size_.cx, size_.cy, source.get(), 0, 0, SRCCOPY);
    return true;
}

void Surface::Reset() {
    bitmap_.reset();
    size_ = {};
}

} // namespace qlx::skin
