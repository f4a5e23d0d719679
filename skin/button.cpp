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
    case WM_GETDLGCODE: {
        // An owner-drawn button is no push button to the dialog manager:
        // say it is one, so that Enter presses it while it has the focus and
        // the dialog's default button otherwise.
        const bool focused = ::GetFocus() == window;
        LRESULT code = DLGC_BUTTON | (focused ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (focused && msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) {
            code |= DLGC_WANTMESSAGE;
        }
        return code;
    }
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            ::SendMessageA(::GetParent(window), WM_COMMAND,
                           MAKEWPARAM(::GetDlgCtrlID(window), BN_CLICKED),
                           reinterpret_cast<LPARAM>(window));
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == '\r') {
            return 0;
        }
        break;
    case BM_SETSTYLE:
        // The dialog manager marks the default button; the face stays drawn.
        return ::DefSubclassProc(window, message, (wParam & ~WPARAM{BS_TYPEMASK}) | BS_OWNERDRAW,
                                 lParam);
    case WM_UPDATEUISTATE: {
        const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
        ::InvalidateRect(window, nullptr, FALSE); // the focus cue shows or goes
        return result;
    }
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

void ReloadFaces(HWND window, ImageListOwner& faces, HIMAGELIST fresh) {
    if (!fresh) {
        return; // the old art still beats none
    }
    struct Change {
        HIMAGELIST old, faces;
    } change{faces.list, fresh};
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM param) -> BOOL {
            const auto& c = *reinterpret_cast<const Change*>(param);
            if (static_cast<HIMAGELIST>(::GetPropA(child, kFacesProp)) == c.old) {
                SetButtonFaces(child, c.faces);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&change));
    faces.Reset(fresh);
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
    const bool contrast = HighContrast();
    if (contrast) { // a system button, with the face's glyph for icon buttons
        RECT frame = item.rcItem;
        ::DrawFrameControl(item.hDC, &frame, DFC_BUTTON,
                           DFCS_BUTTONPUSH | (cell == 2 ? DFCS_PUSHED : 0) |
                               (disabled ? DFCS_INACTIVE : 0));
    }
    if (!contrast || !::GetPropA(item.hwndItem, kTextProp)) {
        ImageList_Draw(faces, cell, item.hDC, item.rcItem.left, item.rcItem.top, ILD_TRANSPARENT);
    }
    if (::GetPropA(item.hwndItem, kTextProp)) {
        SelectedObject font(
            item.hDC, reinterpret_cast<HFONT>(::SendMessageA(item.hwndItem, WM_GETFONT, 0, 0)));
        RECT rect = item.rcItem;
        if (cell == 2) {
            ::OffsetRect(&rect, 1, 1);
        }
        const COLORREF ink = contrast ? ::GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT)
                                      : (disabled ? colour::kGreyInk : colour::kInk);
        DrawCentredText(item.hDC, WindowText(item.hwndItem), rect, ink);
    }
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
        RECT focus = item.rcItem;
        ::InflateRect(&focus, -3, -3);
        ::DrawFocusRect(item.hDC, &focus);
    }
    return true;
}

} // namespace qlx::skin
