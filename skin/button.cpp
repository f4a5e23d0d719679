#include "skin/button.h"

#include "common/win32/gdi.h"
#include "skin/paint.h"

namespace qlx::skin {

namespace {

const char* const kFacesProp = "QlxSkinFaces";
const char* const kHotProp = "QlxSkinHot";
const char* const kTextProp = "QlxSkinText";
constexpr UINT_PTR kButtonSubclass = 0x51584231;

LRESULT CALLBACK ButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                            DWORD_PTR) {
    switch (message) {
    case WM_MOUSEMOVE:
        if (!::GetPropA(window, kHotProp)) {
            ::SetPropA(window, kHotProp, reinterpret_cast<HANDLE>(1));
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window, 0};
            ::TrackMouseEvent(&track);
            ::InvalidateRect(window, nullptr, FALSE);
        }
        break;
    case WM_MOUSELEAVE:
        ::RemovePropA(window, kHotProp);
        ::InvalidateRect(window, nullptr, FALSE);
        break;
    case WM_ERASEBKGND:
        return TRUE; // the face covers it
    case WM_NCDESTROY:
        ::RemovePropA(window, kFacesProp);
        ::RemovePropA(window, kHotProp);
        ::RemovePropA(window, kTextProp);
        ::RemoveWindowSubclass(window, ButtonProc, kButtonSubclass);
        break;
    default:
        break;
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
}

} // namespace

void MakeImageButton(HWND button, HIMAGELIST faces, bool drawText) {
    if (!button) {
        return;
    }
    const LONG_PTR style = ::GetWindowLongPtrA(button, GWL_STYLE);
    ::SetWindowLongPtrA(button, GWL_STYLE, (style & ~LONG_PTR{BS_TYPEMASK}) | BS_OWNERDRAW);
    ::SetPropA(button, kFacesProp, faces);
    ::SetPropA(button, kTextProp, reinterpret_cast<HANDLE>(drawText ? 1 : 0));
    ::SetWindowSubclass(button, ButtonProc, kButtonSubclass, 0);
    ::InvalidateRect(button, nullptr, TRUE);
}

void SetButtonFaces(HWND button, HIMAGELIST faces) {
    ::SetPropA(button, kFacesProp, faces);
    ::InvalidateRect(button, nullptr, FALSE);
}

bool DrawImageButton(const DRAWITEMSTRUCT& item) {
    if (item.CtlType != ODT_BUTTON) {
        return false;
    }
    auto faces = static_cast<HIMAGELIST>(::GetPropA(item.hwndItem, kFacesProp));
    if (!faces) {
        return false;
    }
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const int cell = disabled                              ? 3
                     : (item.itemState & ODS_SELECTED)     ? 2
                     : ::GetPropA(item.hwndItem, kHotProp) ? 1
                                                           : 0;
    // The corners outside the face show the paper.
    ::FillRect(item.hDC, &item.rcItem, PaperBrush());
    ImageList_Draw(faces, cell, item.hDC, item.rcItem.left, item.rcItem.top, ILD_TRANSPARENT);
    if (::GetPropA(item.hwndItem, kTextProp)) {
        SelectedObject font(
            item.hDC, reinterpret_cast<HFONT>(::SendMessageA(item.hwndItem, WM_GETFONT, 0, 0)));
        RECT rect = item.rcItem;
        if (cell == 2) {
            ::OffsetRect(&rect, 1, 1);
        }
        DrawCentredText(item.hDC, WindowText(item.hwndItem), rect,
                        disabled ? colour::kGreyInk : colour::kInk);
    }
    if (item.itemState & ODS_FOCUS) {
        RECT focus = item.rcItem;
        ::InflateRect(&focus, -3, -3);
        ::DrawFocusRect(item.hDC, &focus);
    }
    return true;
}

} // namespace qlx::skin
