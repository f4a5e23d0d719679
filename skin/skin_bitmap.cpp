#include "skin/skin_bitmap.h"

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

HIMAGELIST LoadImageStrip(HINSTANCE module, int bitmapId, int cellWidth) {
    return ImageList_LoadImageA(module, MAKEINTRESOURCEA(bitmapId), cellWidth, 0, kTransparent,
                                IMAGE_BITMAP, LR_CREATEDIBSECTION);
}

bool Surface::Apply(HWND window, HINSTANCE module, int bitmapId, bool keepSize) {
    Reset();
    bitmap_.reset(static_cast<HBITMAP>(
        ::LoadImageA(module, MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
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
