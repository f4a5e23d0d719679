#include "tray/app/minibar.h"

#include "skin/message_box.h"
#include "tray/core/main_window_rules.h"
#include "tray/core/minibar_rules.h"
#include "tray/core/settings.h"
#include "tray/res/resource.h"

namespace qlx::tray {

namespace {

struct Face {
    int bitmap;
    int width; // of one state's cell
};
constexpr std::array<Face, 8> kFaces = {
    {{185, 30}, {188, 30}, {186, 30}, {187, 30}, {189, 42}, {184, 15}, {180, 15}, {183, 15}}};

size_t FaceIndex(int bitmap) {
    for (size_t i = 0; i < kFaces.size(); ++i) {
        if (kFaces[i].bitmap == bitmap) {
            return i;
        }
    }
    return 0;
}

} // namespace

CMiniBar::~CMiniBar() {
    if (window_ && ::IsWindow(window_)) {
        ::DestroyWindow(window_);
    }
}

bool CMiniBar::Create(HWND mainWindow) {
    main_ = mainWindow;
    window_ = ::CreateDialogParamA(module_, MAKEINTRESOURCEA(IDD_MINIBAR), mainWindow, DialogProc,
                                   reinterpret_cast<LPARAM>(this));
    if (!window_) {
        return false;
    }
    const ScreenPoint place = MiniBarPosition(::GetSystemMetrics(SM_CXFULLSCREEN),
                                              settings_.minibar_dx, settings_.minibar_dy);
    ::SetWindowPos(window_, HWND_TOPMOST, place.x, place.y, kMiniBarWidth, kMiniBarHeight,
                   SWP_NOACTIVATE);
    Show(settings_.ShowMiniBar);
    return true;
}

void CMiniBar::Show(bool show) {
    if (window_) {
        ::ShowWindow(window_, show ? SW_SHOWNOACTIVATE : SW_HIDE);
    }
}

INT_PTR CALLBACK CMiniBar::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrA(window, DWLP_USER, lParam);
        reinterpret_cast<CMiniBar*>(lParam)->window_ = window;
    }
    auto* self = reinterpret_cast<CMiniBar*>(::GetWindowLongPtrA(window, DWLP_USER));
    return self ? self->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR CMiniBar::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInit();
        return FALSE;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            OnButton(LOWORD(wParam));
        }
        return TRUE;
    case WM_LBUTTONDOWN:
        // Dragging by the background.
        HideMainWindow();
        ::ReleaseCapture();
        ::SendMessageA(window_, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
        return TRUE;
    case WM_ERASEBKGND:
        surface_.Paint(window_, reinterpret_cast<HDC>(wParam));
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(window_, &paint);
        if (!compact_) {
            skin::DrawWindowText(window_, dc, {36, 2, 114, 32}, skin::colour::kInk,
                                 DT_CENTER | DT_VCENTER);
        }
        ::EndPaint(window_, &paint);
        return TRUE;
    }
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        return skin::DrawImageButton(item) || skin::SkinMenu::Draw(item);
    }
    case WM_MEASUREITEM:
        return skin::SkinMenu::Measure(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
    case WM_CLOSE:
        return TRUE; // only the Close button closes it
    case WM_NCDESTROY:
        ::SetWindowLongPtrA(window_, DWLP_USER, 0);
        window_ = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

void CMiniBar::OnInit() {
    ::SetWindowTextA(window_, skin::LoadString(module_, IDS_PRODUCT_NAME).c_str());
    for (size_t i = 0; i < kFaces.size(); ++i) {
        faces_[i].Reset(skin::LoadImageStrip(module_, kFaces[i].bitmap, kFaces[i].width));
    }
    tips_.Create(window_);
    for (const ButtonPlace& place : MiniBarLayout(false, settings_.BlockPopup)) {
        skin::MakeImageButton(::GetDlgItem(window_, place.control),
                              faces_[FaceIndex(place.bitmap)].list, false);
    }
    compact_ = settings_.MiniBarCompact;
    shownBlocking_ = settings_.BlockPopup;
    ApplyLayout();
}

void CMiniBar::ApplyLayout() {
    surface_.Apply(window_, module_, MiniBarShapeBitmap(compact_), true);
    for (const ButtonPlace& place : MiniBarLayout(compact_, shownBlocking_)) {
        HWND button = ::GetDlgItem(window_, place.control);
        ::SetWindowPos(button, nullptr, place.x, place.y, place.width, place.height,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        skin::SetButtonFaces(button, faces_[FaceIndex(place.bitmap)].list);
        // The tip is also the button's text, for readers.
        const std::string tip = skin::LoadString(module_, static_cast<UINT>(place.tip));
        ::SetWindowTextA(button, tip.c_str());
        tips_.Set(button, tip);
    }
    ::InvalidateRect(window_, nullptr, TRUE);
}

void CMiniBar::HideMainWindow() {
    if (main_) {
        ::ShowWindow(main_, SW_HIDE);
    }
}

void CMiniBar::OnButton(int control) {
    HideMainWindow();
    switch (control) {
    case IDC_MINIBAR_MAIN:
    case IDC_MINIBAR_LEFT:
        ToggleCompact();
        break;
    case IDC_MINIBAR_TASK:
        ::SendMessageA(main_, WM_COMMAND, ID_CMD_OPEN_LAST_POPUP, 0);
        break;
    case IDC_MINIBAR_ENABLE: {
        std::lock_guard guard(blockingLock_);
        settings_.BlockPopup = !settings_.BlockPopup;
        shownBlocking_ = settings_.BlockPopup;
        ApplyLayout();
        // The main window's toggle strip follows.
        ::SendMessageA(main_, WM_QLX_BLOCKING_CHANGED, 0, 0);
        break;
    }
    case IDC_MINIBAR_INFO:
        ShowMenu();
        break;
    case IDC_MINIBAR_CLOSE:
        StorePosition();
        Show(false);
        ::SendMessageA(main_, WM_QLX_MINIBAR_CLOSED, 0, 0);
        break;
    default:
        break;
    }
}

void CMiniBar::ToggleCompact() {
    compact_ = !compact_;
    settings_.MiniBarCompact = compact_;
    ApplyLayout();
}

void CMiniBar::UpdateBlockingButton() {
    std::lock_guard guard(blockingLock_);
    shownBlocking_ = settings_.BlockPopup;
    ApplyLayout();
}

void CMiniBar::StorePosition() {
    RECT rect{};
    if (!window_ || !::GetWindowRect(window_, &rect)) {
        return;
    }
    const StoredPosition stored =
        StoreMiniBarPosition(::GetSystemMetrics(SM_CXFULLSCREEN), {rect.left, rect.top});
    settings_.minibar_dx = stored.dx;
    settings_.minibar_dy = stored.dy;
}

void CMiniBar::ShowMenu() {
    std::vector<skin::SkinMenu::Item> items;
    std::vector<HBITMAP> icons;
    for (const MenuItem& entry : kMiniBarMenu) {
        skin::SkinMenu::Item item;
        if (entry.command != 0) {
            item.text = skin::LoadString(module_, static_cast<UINT>(entry.text));
            item.command = static_cast<UINT>(entry.command);
            item.icon = static_cast<HBITMAP>(
                ::LoadImageA(module_, MAKEINTRESOURCEA(entry.icon), IMAGE_BITMAP, 0, 0, 0));
            icons.push_back(item.icon);
            item.enabled =
                entry.command != ID_CMD_OPEN_LAST_POPUP || HasLastPopup(settings_.history);
        }
        items.push_back(std::move(item));
    }
    POINT at{230, 33};
    ::ClientToScreen(window_, &at);
    // The menu's owner draws it; the command goes to the main window.
    ::SetForegroundWindow(window_);
    const UINT command = skin::SkinMenu::Track(window_, items, at.x, at.y, TPM_RIGHTALIGN);
    for (HBITMAP icon : icons) {
        if (icon) {
            ::DeleteObject(icon);
        }
    }
    if (command != 0) {
        ::SendMessageA(main_, WM_COMMAND, command, 0);
    }
}

} // namespace qlx::tray
