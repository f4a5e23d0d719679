#include "skin/skinned_dialog.h"

#include "common/core/dpi_scale.h"
#include "common/win32/gdi.h"
#include "skin/button.h"
#include "skin/menu.h"
#include "skin/paint.h"

#include <algorithm>

namespace qlx::skin {

SkinnedDialog::~SkinnedDialog() {
    if (window_ && !modal_ && ::IsWindow(window_)) {
        ::DestroyWindow(window_);
    }
}

HWND SkinnedDialog::Create(HINSTANCE module, int dialogId, HWND owner) {
    modal_ = false;
    return ::CreateDialogParamA(module, MAKEINTRESOURCEA(dialogId), owner, Proc,
                                reinterpret_cast<LPARAM>(this));
}

INT_PTR SkinnedDialog::RunModal(HINSTANCE module, int dialogId, HWND owner) {
    modal_ = true;
    return ::DialogBoxParamA(module, MAKEINTRESOURCEA(dialogId), owner, Proc,
                             reinterpret_cast<LPARAM>(this));
}

SkinnedDialog* SkinnedDialog::Of(HWND window) {
    if (!window || ::GetWindowLongPtrA(window, DWLP_DLGPROC) !=
                       reinterpret_cast<LONG_PTR>(&SkinnedDialog::Proc)) {
        return nullptr;
    }
    return reinterpret_cast<SkinnedDialog*>(::GetWindowLongPtrA(window, DWLP_USER));
}

int SkinnedDialog::ParentDpi() const {
    const SkinnedDialog* parent = Of(::GetParent(window_));
    return parent ? parent->dpi_ : WindowDpi(window_);
}

INT_PTR CALLBACK SkinnedDialog::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        reinterpret_cast<SkinnedDialog*>(lParam)->window_ = window;
        reinterpret_cast<SkinnedDialog*>(lParam)->dpi_ = WindowDpi(window);
    }
    auto* self = reinterpret_cast<SkinnedDialog*>(::GetWindowLongPtrA(window, DWLP_USER));
    return self ? self->Dispatch(message, wParam, lParam) : FALSE;
}

INT_PTR SkinnedDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = 0;
    if (message != WM_INITDIALOG && message != WM_NCDESTROY &&
        OnMessage(message, wParam, lParam, &result)) {
        return result;
    }
    switch (message) {
    case WM_INITDIALOG:
        return OnInit();
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_NOTIFY:
        if (OnNotify(*reinterpret_cast<const NMHDR*>(lParam), &result)) {
            ::SetWindowLongPtrA(window_, DWLP_MSGRESULT, result);
            return TRUE;
        }
        return FALSE;
    case WM_ERASEBKGND:
        if (!surface_.Paint(reinterpret_cast<HDC>(wParam))) {
            if (!paper_ && !HighContrast()) {
                return FALSE;
            }
            RECT client{};
            ::GetClientRect(window_, &client);
            ::FillRect(reinterpret_cast<HDC>(wParam), &client, PaperBrush());
        }
        PaintBackground(reinterpret_cast<HDC>(wParam));
        return TRUE;
    case WM_PAINT: {
        PaintScope paint(window_);
        Paint(paint.get());
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
        return PaperStatic(wParam);
    case WM_CTLCOLORDLG:
        return paper_ || HighContrast() ? reinterpret_cast<INT_PTR>(PaperBrush()) : FALSE;
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        // High contrast switched: everything is drawn anew in its colours.
        ::RedrawWindow(window_, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
        return FALSE;
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        return DrawImageButton(item) || SkinMenu::Draw(item);
    }
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
    case WM_DPICHANGED:
        ChangeDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return TRUE;
#ifndef WM_DPICHANGED_AFTERPARENT
#define WM_DPICHANGED_AFTERPARENT 0x02E3
#endif
    case WM_DPICHANGED_AFTERPARENT:
        // A page inside another dialog follows its window to the new scale;
        // where it stands is its parent's to say.
        ChangeDpi(ParentDpi(), nullptr);
        return TRUE;
    case WM_MEASUREITEM:
        return SkinMenu::Measure(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
    case WM_NCDESTROY:
        ::SetWindowLongPtrA(window_, DWLP_USER, 0);
        window_ = nullptr;
        OnDestroyed();
        return FALSE;
    default:
        return FALSE;
    }
}

void SkinnedDialog::Paint(HDC dc) {
    if (!caption_) {
        return;
    }
    if (caption_->icon) {
        ::DrawIconEx(dc, Scale(caption_->iconAt.x), Scale(caption_->iconAt.y), caption_->icon,
                     Scale(caption_->iconSize), Scale(caption_->iconSize), 0, nullptr, DI_NORMAL);
    }
    const RECT text{Scale(caption_->text.left), Scale(caption_->text.top),
                    Scale(caption_->text.right), Scale(caption_->text.bottom)};
    DrawWindowText(window_, dc, text, HighContrast() ? Ink() : caption_->colour, caption_->format);
}

int SkinnedDialog::Scale(int pixels) const {
    return ScaleForDpi(pixels, dpi_);
}

void SkinnedDialog::ChangeDpi(int dpi, const RECT* suggested) {
    if (dpi <= 0 || dpi == dpi_) {
        return;
    }
    // The font the dialog has, at the new DPI, for the window and its controls.
    LOGFONTA look{};
    // A dialog keeps answering WM_GETFONT with its template's font: after a
    // first change the font to scale from is the one made for the last DPI.
    const HFONT current =
        font_ ? font_.get() : reinterpret_cast<HFONT>(::SendMessageA(window_, WM_GETFONT, 0, 0));
    if (current && ::GetObjectA(current, sizeof look, &look)) {
        look.lfHeight = ::MulDiv(look.lfHeight, dpi, dpi_);
        UniqueFont font(::CreateFontIndirectA(&look));
        if (font) {
            ::SendMessageA(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
            for (HWND child = ::GetWindow(window_, GW_CHILD); child;
                 child = ::GetWindow(child, GW_HWNDNEXT)) {
                ::SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
            }
            font_ = std::move(font); // the old one is no longer selected anywhere
        }
    }
    dpi_ = dpi;
    if (suggested) {
        ::SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                       suggested->right - suggested->left, suggested->bottom - suggested->top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (skinModule_) {
        ApplySkin(skinModule_, skinBitmap_, skinKeepsSize_);
    }
    const std::vector<Place> places = places_;
    LayOut(places);
    // The pages inside follow before the window places them. Windows tells
    // them itself after this, and then finds them at the scale already;
    // Wine tells no child.
    for (HWND child = ::GetWindow(window_, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (Of(child)) {
            ::SendMessageA(child, WM_DPICHANGED_AFTERPARENT, 0, 0);
        }
    }
    OnDpiChanged();
    ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool SkinnedDialog::ApplySkin(HINSTANCE module, int bitmapId, bool keepSize) {
    skinModule_ = module;
    skinBitmap_ = bitmapId;
    skinKeepsSize_ = keepSize;
    return surface_.Apply(window_, module, bitmapId, dpi_, keepSize);
}

void SkinnedDialog::LayOut(std::span<const Place> places) {
    for (const Place& place : places) {
        ::SetWindowPos(Item(place.control), nullptr, Scale(place.x), Scale(place.y),
                       Scale(place.width), Scale(place.height), SWP_NOZORDER | SWP_NOACTIVATE);
        const auto known = std::find_if(places_.begin(), places_.end(),
                                        [&](const Place& p) { return p.control == place.control; });
        if (known != places_.end()) {
            *known = place;
        } else {
            places_.push_back(place);
        }
    }
}

void SkinnedDialog::Close(INT_PTR result) {
    if (modal_) {
        ::EndDialog(window_, result);
    } else {
        ::DestroyWindow(window_);
    }
}

void SkinnedDialog::SetItemText(int control, const std::string& text) {
    ::SetDlgItemTextA(window_, control, text.c_str());
}

void SkinnedDialog::Centre() {
    RECT rect{};
    ::GetWindowRect(window_, &rect);
    ::SetWindowPos(window_, nullptr,
                   (::GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace qlx::skin
