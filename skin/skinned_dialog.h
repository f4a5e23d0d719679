#pragma once
// The base of every skinned window: a dialog from a numbered resource whose
// object is reached from its window procedure, that paints its background
// from a bitmap, its caption over the skin's title band, its statics in ink
// on paper and its owner-drawn buttons and menus. A window's own class
// writes only what is its own: OnInit, OnCommand and the like.
#include <windows.h>

#include <commctrl.h>

#include <optional>
#include <string>
#include <span>
#include <vector>

#include "skin/skin_bitmap.h"

namespace qlx::skin {

// A control's place on a skin, in pixels.
struct Place {
    int control;
    int x, y, width, height;
};

// The caption drawn over the skin: the window's text, and an icon before it.
struct CaptionLook {
    RECT text{};
    COLORREF colour = RGB(255, 255, 255);
    UINT format = DT_LEFT | DT_VCENTER;
    HICON icon = nullptr; // not owned
    POINT iconAt{};
    int iconSize = 16;
};

class SkinnedDialog {
public:
    SkinnedDialog() = default;
    SkinnedDialog(const SkinnedDialog&) = delete;
    SkinnedDialog& operator=(const SkinnedDialog&) = delete;
    // A modeless window still open is destroyed with its object.
    virtual ~SkinnedDialog();

    HWND Window() const { return window_; }
    // The window's DPI, and pixels at 96 DPI scaled to it.
    int Dpi() const { return dpi_; }
    int Scale(int pixels) const;
    // A modeless dialog owned by `owner`; null on failure.
    HWND Create(HINSTANCE module, int dialogId, HWND owner);
    // A modal dialog; EndDialog's result, or -1 on failure.
    INT_PTR RunModal(HINSTANCE module, int dialogId, HWND owner);

protected:
    // WM_INITDIALOG; the answer says whether the system sets the focus.
    virtual BOOL OnInit() { return TRUE; }
    virtual void OnCommand(int /*id*/, int /*code*/) {}
    // WM_NOTIFY; true when handled, with `*result` the answer.
    virtual bool OnNotify(const NMHDR& /*header*/, INT_PTR* /*result*/) { return false; }
    // Any message before the skin's cases; true when handled.
    virtual bool OnMessage(UINT /*message*/, WPARAM, LPARAM, INT_PTR* /*result*/) { return false; }
    // Over the background: the caption by default.
    virtual void Paint(HDC dc);
    // After the background bitmap (extra art).
    virtual void PaintBackground(HDC /*dc*/) {}
    virtual void OnDestroyed() {}
    // After the window moved to a monitor of another DPI and the skin, the
    // font and the places were redone: art of the window's own to reload.
    virtual void OnDpiChanged() {}

    // Shape and background from `bitmapId` at the window's DPI; sizes the
    // window unless `keepSize`.
    bool ApplySkin(HINSTANCE module, int bitmapId, bool keepSize = false);
    void SetCaptionLook(const CaptionLook& look) { caption_ = look; }
    // The background of a window without a bitmap is the skin's paper.
    void UsePaperBackground() { paper_ = true; }
    // Places given at 96 DPI, scaled to the window's.
    void LayOut(std::span<const Place> places);
    template <size_t N> void LayOut(const Place (&places)[N]) { LayOut(std::span(places)); }
    // Ends a modal dialog with `result`; destroys a modeless one.
    void Close(INT_PTR result);
    HWND Item(int control) const { return ::GetDlgItem(window_, control); }
    void SetItemText(int control, const std::string& text);
    // Centres the window on the screen.
    void Centre();

    Surface surface_;

private:
    static INT_PTR CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    // `suggested`: the system's new window rectangle; null for a child.
    void ChangeDpi(int dpi, const RECT* suggested);
    // The object of a window that is a skinned dialog, or null.
    static SkinnedDialog* Of(HWND window);
    // The DPI of the skinned dialog this one stands in, else its own window's.
    int ParentDpi() const;

    HWND window_ = nullptr;
    bool modal_ = false;
    bool paper_ = false;
    std::optional<CaptionLook> caption_;
    int dpi_ = 96;
    // What a change of DPI redoes: the skin, and every place laid out.
    HINSTANCE skinModule_ = nullptr;
    int skinBitmap_ = 0;
    bool skinKeepsSize_ = false;
    std::vector<Place> places_;
    UniqueFont font_;
};

} // namespace qlx::skin
