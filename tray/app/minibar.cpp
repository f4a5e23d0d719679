#include "tray/app/minibar.h"

#include "skin/accessible.h"
#include "skin/button.h"
#include "skin/menu.h"
#include "skin/message_box.h"
#include "skin/paint.h"
#include "tray/app/screen_area.h"
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

// The compact shape keeps the buttons left of this.
constexpr int kCompactWidth = 60;

size_t FaceIndex(int bitmap) {
    for (size_t i = 0; i < kFaces.size(); ++i) {
        if (kFaces[i].bitmap == bitmap) {
            return i;
        }
    }
    return 0;
}

} // namespace

bool CMiniBar::Create(HWND mainWindow) {
    main_ = mainWindow;
    if (!SkinnedDialog::Create(module_, IDD_MINIBAR, mainWindow)) {
        return false;
    }
    const ScreenPoint place = MiniBarPosition(::GetSystemMetrics(SM_CXFULLSCREEN),
                                              settings_.minibar_dx, settings_.minibar_dy);
    ::SetWindowPos(Window(), HWND_TOPMOST, place.x, place.y, Scale(kMiniBarWidth),
                   Scale(kMiniBarHeight), SWP_NOACTIVATE);
    // A place off every monitor (after undocking, or a changed display)
    // comes back onto the nearest one; one partly off stays as stored.
    KeepOnAMonitor(Window());
    Show(settings_.ShowMiniBar);
    return true;
}

void CMiniBar::Show(bool show) {
    if (Window()) {
        ::ShowWindow(Window(), show ? SW_SHOWNOACTIVATE : SW_HIDE);
    }
}

bool CMiniBar::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR* result) {
    *result = TRUE;
    switch (message) {
    case WM_LBUTTONDOWN:
        // Dragging by the background.
        HideMainWindow();
        ::ReleaseCapture();
        ::SendMessageA(Window(), WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
        return true;
    case WM_CLOSE:
        return true; // only the Close button closes it
    case WM_DISPLAYCHANGE:
        KeepOnAMonitor(Window());
        *result = FALSE;
        return false;
    default:
        return false;
    }
}

void CMiniBar::Paint(HDC dc) {
    if (!compact_) {
        skin::DrawWindowText(Window(), dc, {36, 2, 114, 32}, skin::Ink(), DT_CENTER | DT_VCENTER);
    }
}

BOOL CMiniBar::OnInit() {
    ::SetWindowTextA(Window(), skin::LoadString(module_, IDS_PRODUCT_NAME).c_str());
    for (size_t i = 0; i < kFaces.size(); ++i) {
        faces_[i].Reset(skin::LoadImageStrip(module_, kFaces[i].bitmap, kFaces[i].width, Dpi()));
    }
    tips_.Create(Window());
    for (const ButtonPlace& place : MiniBarLayout(false, settings_.BlockPopup)) {
        skin::MakeImageButton(::GetDlgItem(Window(), place.control),
                              faces_[FaceIndex(place.bitmap)].list, false);
    }
    compact_ = settings_.MiniBarCompact;
    shownBlocking_ = settings_.BlockPopup;
    ApplyLayout();
    return FALSE;
}

void CMiniBar::ApplyLayout() {
    ApplySkin(module_, MiniBarShapeBitmap(compact_), true);
    for (const ButtonPlace& place : MiniBarLayout(compact_, shownBlocking_)) {
        HWND button = ::GetDlgItem(Window(), place.control);
        // What the compact shape cuts off is hidden, so the keyboard skips it.
        const bool shown = !compact_ || place.x < kCompactWidth;
        ::SetWindowPos(button, nullptr, Scale(place.x), Scale(place.y), Scale(place.width),
                       Scale(place.height),
                       SWP_NOZORDER | SWP_NOACTIVATE | (shown ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
        skin::SetButtonFaces(button, faces_[FaceIndex(place.bitmap)].list);
        // The tip is also the button's text, for readers.
        const std::string tip = skin::LoadString(module_, static_cast<UINT>(place.tip));
        ::SetWindowTextA(button, tip.c_str());
        tips_.Set(button, tip);
        if (place.control == IDC_MINIBAR_ENABLE) {
            skin::SetAccessiblePressed(button, shownBlocking_);
        }
    }
    ::InvalidateRect(Window(), nullptr, TRUE);
}

void CMiniBar::HideMainWindow() {
    if (main_) {
        ::ShowWindow(main_, SW_HIDE);
    }
}

void CMiniBar::OnCommand(int control, int code) {
    if (code != BN_CLICKED) {
        return;
    }
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
    if (!Window() || !::GetWindowRect(Window(), &rect)) {
        return;
    }
    const StoredPosition stored =
        StoreMiniBarPosition(::GetSystemMetrics(SM_CXFULLSCREEN), {rect.left, rect.top});
    settings_.minibar_dx = stored.dx;
    settings_.minibar_dy = stored.dy;
}

void CMiniBar::ShowMenu() {
    std::vector<skin::SkinMenu::Item> items;
    std::vector<UniqueBitmap> icons;
    for (const MenuItem& entry : kMiniBarMenu) {
        skin::SkinMenu::Item item;
        if (entry.command != 0) {
            item.text = skin::LoadString(module_, static_cast<UINT>(entry.text));
            item.command = static_cast<UINT>(entry.command);
            icons.emplace_back(static_cast<HBITMAP>(
                ::LoadImageA(module_, MAKEINTRESOURCEA(entry.icon), IMAGE_BITMAP, 0, 0, 0)));
            item.icon = icons.back().get();
            item.enabled =
                entry.command != ID_CMD_OPEN_LAST_POPUP || HasLastPopup(settings_.history);
        }
        items.push_back(std::move(item));
    }
    POINT at{230, 33};
    ::ClientToScreen(Window(), &at);
    // The menu's owner draws it; the command goes to the main window.
    ::SetForegroundWindow(Window());
    const UINT command = skin::SkinMenu::Track(Window(), items, at.x, at.y, TPM_RIGHTALIGN);
    if (command != 0) {
        ::SendMessageA(main_, WM_COMMAND, command, 0);
    }
}

} // namespace qlx::tray
