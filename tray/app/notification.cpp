#include "tray/app/notification.h"

#include <mmsystem.h>

#include <atomic>

#include "skin/compact_text.h"
#include "skin/message_box.h"
#include "skin/skinned_dialog.h"
#include "tray/core/allowed_sites.h"
#include "tray/core/notification_rules.h"
#include "tray/core/settings.h"
#include "tray/res/resource.h"

namespace qlx::tray {

namespace {

// Overlapping tips each need a timer of their own.
std::atomic<UINT_PTR> g_tipTimer{100};
std::atomic<int> g_liveTips{0};
std::atomic<bool> g_blinking{false};
std::atomic<bool> g_blinkAgain{false};
std::atomic<bool> g_toning{false};

struct TipJob {
    HINSTANCE module;
    std::string address;
    uint32_t seconds;
    HWND owner;
    std::string site;
};

struct BlinkJob {
    std::shared_ptr<CTrayIcon> icon;
    HICON normal;
    HICON alert;
};

class CPopupBlocked final : public skin::SkinnedDialog {
public:
    // An address is shortened to the label's width; a message wraps in it.
    CPopupBlocked(HINSTANCE module, std::string text, uint32_t durationMs, bool isAddress,
                  HWND owner = nullptr, std::string site = {})
        : module_(module), text_(std::move(text)), durationMs_(durationMs), isAddress_(isAddress),
          timer_(++g_tipTimer), owner_(owner), site_(std::move(site)) {}

    void Run() { RunModal(module_, IDD_POPUP_BLOCKED, nullptr); }

private:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override {
        *result = TRUE;
        switch (message) {
        case WM_TIMER:
            if (wParam == timer_) {
                ::KillTimer(Window(), timer_);
                Close();
            }
            return true;
        case WM_LBUTTONDOWN:
            Close();
            return true;
        case WM_MOUSEACTIVATE:
            *result = MA_NOACTIVATE; // a click closes the tip, it does not take the focus
            return true;
        case WM_DRAWITEM:
            return (*result = DrawLink(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) != 0;
        default:
            return false;
        }
    }

    void OnCommand(int id, int code) override {
        if (id == IDC_TIP_ALLOW_SITE && code == BN_CLICKED) {
            AllowSite();
            Close();
        } else if (id == IDCANCEL || id == IDOK) {
            Close();
        }
    }

    BOOL OnInit() override {
        HWND window = Window();
        ApplySkin(module_, IDB_TIP_SKIN);
        SetCaptionLook({{14, 6, 210, 30}});
        const std::string product = skin::LoadString(module_, IDS_PRODUCT_NAME);
        ::SetWindowTextA(window, product.c_str());
        HWND label = Item(IDC_TIP_TEXT);
        ::SetWindowPos(label, nullptr, 20, 40, 178, 28, SWP_NOZORDER | SWP_NOACTIVATE);
        if (isAddress_) {
            ::SetWindowTextA(label, skin::LoadString(module_, IDS_NO_VALUE).c_str());
            ::SetWindowTextA(label, skin::CompactToWidth(label, text_).c_str());
        } else {
            ::SetWindowTextA(label, text_.c_str());
        }
        if (isAddress_ && owner_ && NormaliseSite(site_).ok()) {
            // A real button under the link look: screen readers name it
            // by its text, and it takes a click as any button does.
            HWND allow = Item(IDC_TIP_ALLOW_SITE);
            ::SetWindowTextA(allow, skin::LoadString(module_, IDS_TIP_ALLOW_SITE).c_str());
            ::SetWindowPos(allow, nullptr, 20, 72, 178, 18, SWP_NOZORDER | SWP_NOACTIVATE);
            ::ShowWindow(allow, SW_SHOWNA);
        }
        RECT work{};
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        const TipRect place = PlaceTip(work.right, work.bottom);
        ::SetWindowPos(window, HWND_TOPMOST, place.left, place.top, place.width, place.height,
                       SWP_NOACTIVATE);
        ::SetTimer(window, timer_, durationMs_, nullptr);
        // On top, but never the foreground: keys typed in the browser stay
        // in the browser.
        ::ShowWindow(window, SW_SHOWNOACTIVATE);
        return FALSE;
    }

    void Close() {
        closed_ = true;
        SkinnedDialog::Close(IDOK);
    }

    // The main window, on its own thread, changes the list.
    void AllowSite() {
        auto request = std::make_unique<std::string>(site_);
        if (::PostMessageA(owner_, WM_QLX_ALLOW_SITE, 0, reinterpret_cast<LPARAM>(request.get()))) {
            request.release();
        }
    }

    static BOOL DrawLink(const DRAWITEMSTRUCT& item) {
        if (item.CtlID != IDC_TIP_ALLOW_SITE) {
            return FALSE;
        }
        char text[128] = {};
        ::GetWindowTextA(item.hwndItem, text, sizeof text);
        RECT rect = item.rcItem;
        ::SetBkMode(item.hDC, TRANSPARENT);
        ::SetTextColor(item.hDC,
                       (item.itemState & ODS_SELECTED) ? RGB(120, 73, 24) : RGB(0, 84, 166));
        ::DrawTextA(item.hDC, text, -1, &rect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
            ::DrawFocusRect(item.hDC, &item.rcItem);
        }
        return TRUE;
    }

    HINSTANCE module_;
    std::string text_;
    uint32_t durationMs_;
    bool isAddress_;
    UINT_PTR timer_;
    HWND owner_;
    std::string site_;
    bool closed_ = false;
};

DWORD WINAPI TipThread(void* param) {
    std::unique_ptr<TipJob> job(static_cast<TipJob*>(param));
    RunPopupBlockedTip(job->module, job->address, job->seconds, job->owner, job->site);
    --g_liveTips;
    return 0;
}

DWORD WINAPI BlinkThread(void* param) {
    std::unique_ptr<BlinkJob> job(static_cast<BlinkJob*>(param));
    do {
        for (size_t step = 0; step < kBlinkSequence.size(); ++step) {
            if (g_blinkAgain.exchange(false)) {
                step = 0; // another pop-up: the sequence starts over
            }
            job->icon->SetIcon(kBlinkSequence[step] == kAlertTrayIcon ? job->alert : job->normal);
            if (step + 1 < kBlinkSequence.size()) {
                ::Sleep(kBlinkStepMs);
            }
        }
        g_blinking = false;
        // A pop-up that came as the sequence ended still gets its blink.
    } while (g_blinkAgain.exchange(false) && !g_blinking.exchange(true));
    return 0;
}

DWORD WINAPI ToneThread(void*) {
    ::Beep(1000, 200);
    g_toning = false;
    return 0;
}

// Starts `routine` with `job`, which the thread then owns. False if the
// thread could not start: that kind is then left out.
template <typename Job>
bool Start(UniqueHandle& slot, LPTHREAD_START_ROUTINE routine, std::unique_ptr<Job> job) {
    HANDLE thread = ::CreateThread(nullptr, 0, routine, job.get(), 0, nullptr);
    if (!thread) {
        return false;
    }
    job.release();
    slot.reset(thread);
    return true;
}

} // namespace

void RunPopupBlockedTip(HINSTANCE module, const std::string& address, uint32_t seconds, HWND owner,
                        const std::string& siteAddress) {
    CPopupBlocked(module, address, TipDurationMs(seconds), true, owner, siteAddress).Run();
}

void RunMessageTip(HINSTANCE module, const std::string& text, uint32_t durationMs) {
    CPopupBlocked(module, text, durationMs, false).Run();
}

void CNotifier::NotifyBlockedPopup(const std::string& popupAddress) {
    NotifyBlockedPopupFrom(popupAddress, {});
}

void CNotifier::NotifyBlockedPopupFrom(const std::string& popupAddress,
                                       const std::string& siteAddress) {
    const NotificationChoice choice = ChooseNotifications(settings_);
    if (choice.tip && ++g_liveTips <= kMaxTipsAtOnce) {
        if (!Start(tipThread_, TipThread,
                   std::make_unique<TipJob>(TipJob{
                       module_, popupAddress, settings_.ShowToolTip_Time, owner_, siteAddress}))) {
            --g_liveTips;
        }
    } else if (choice.tip) {
        --g_liveTips;
    }
    if (choice.blink && icon_) {
        g_blinkAgain = true;
        if (!g_blinking.exchange(true)) {
            g_blinkAgain = false;
            if (!Start(blinkThread_, BlinkThread,
                       std::make_unique<BlinkJob>(BlinkJob{icon_, normal_, alert_}))) {
                g_blinking = false;
            }
        }
    }
    if (choice.tone && !g_toning.exchange(true)) {
        if (HANDLE thread = ::CreateThread(nullptr, 0, ToneThread, nullptr, 0, nullptr)) {
            toneThread_.reset(thread);
        } else {
            g_toning = false;
        }
    }
    if (choice.sound) {
        ::PlaySoundA(settings_.SoundFileName.c_str(), nullptr,
                     SND_FILENAME | SND_ASYNC | SND_NODEFAULT);
    }
}

} // namespace qlx::tray
