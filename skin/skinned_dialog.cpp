#include "skin/skinned_dialog.h"

#include "common/win32/gdi.h"
#include "skin/button.h"
#include "skin/menu.h"
#include "skin/paint.h"

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

INT_PTR CALLBACK SkinnedDialog::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        reinterpret_cast<SkinnedDialog*>(lParam)->window_ = window;
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
            if (!paper_) {
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
        return paper_ ? reinterpret_cast<INT_PTR>(PaperBrush()) : FALSE;
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        return DrawImageButton(item) || SkinMenu::Draw(item);
    }
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
        ::DrawIconEx(dc, caption_->iconAt.x, caption_->iconAt.y, caption_->icon, caption_->iconSize,
                     caption_->iconSize, 0, nullptr, DI_NORMAL);
    }
    DrawWindowText(window_, dc, caption_->text, caption_->colour, caption_->format);
}

bool SkinnedDialog::ApplySkin(HINSTANCE module, int bitmapId, bool keepSize) {
    return surface_.Apply(window_, module, bitmapId, keepSize);
}

void SkinnedDialog::LayOut(std::span<const Place> places) {
    for (const Place& place : places) {
        ::SetWindowPos(Item(place.control), nullptr, place.x, place.y, place.width, place.height,
                       SWP_NOZORDER | SWP_NOACTIVATE);
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
