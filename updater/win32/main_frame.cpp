#include "updater/win32/main_frame.h"

#include <commctrl.h>
#include <objbase.h>

#include "common/win32/gdi.h"
#include "common/win32/unique_handle.h"
#include "skin/accessible.h"
#include "skin/button.h"
#include "skin/paint.h"
#include "skin/skin_bitmap.h"
#include "skin/skinned_dialog.h"

namespace qlx::updater {

namespace {

const char* const kFrameClass = "KTUpdaterMainFrame";
const char* const kTerminationEvent = "TarvelUpdaterTerminationEvent";
constexpr UINT kNotifyMessage = WM_APP + 1;

enum Dialog : int {
    kFinalDialog = 101,
    kProgressDialog = 203,
    kConnectingDialog = 205,
    kServerMessageDialog = 236,
    kLanguageDialog = 202,
    kLanguageNoticeDialog = 204,
};

enum Control : int {
    kProgressBar = 506,
    kFirstLine = 500,
    kCloseButton = 507,
    kMinimiseButton = 508,
    kConnectingCancel = 501,
    kConnectingProduct = 1030,
    kFinalText = 1039,
    kMessageTitle = 500,
    kMessageText = 501,
    kCurrentLanguage = 500,
    kLanguageList = 501,
    kSelectButton = 502,
    kCloseLanguages = 503,
};

enum Text : int {
    kLanguageColumn = 149,
    kStateColumn = 150,
    kInstalledText = 151,
    kOfferedText = 152,
    kLanguageNoticeTitle = 162,
};

enum Appearance : int { kNormal = 0, kInvisible = 1, kStealth = 2 };

// Numbered as the notification interface orders its operations.
enum NotificationKind : int {
    kBegin = 1,
    kEnd,
    kSetText,
    kHideConnecting,
    kShowConnecting,
    kProgress,
    kHideProgress,
    kReserved,
    kOpenAddress,
    kSessionEnded,
    kProgressLines,
    kFinalMessage,
    kPhaseStarts,
    kLanguageStepFinished,
    kSetTitle,
    kShowMessage,
};

struct Notification {
    int kind;
    const std::string* text;
    int first;
    int second;
};

HINSTANCE Module() {
    return ::GetModuleHandleA(nullptr);
}

std::string LoadText(int id) {
    char text[1024];
    const int n = ::LoadStringA(Module(), static_cast<UINT>(id), text, sizeof text);
    return std::string(text, static_cast<size_t>(n > 0 ? n : 0));
}

// The tray program's button faces, cells of 88 by 24 pixels. Each thread
// keeps its own list: the engine thread's dialogs draw with it too.
constexpr int kButtonFace = 139;
constexpr int kButtonFaceWidth = 88;

HIMAGELIST ButtonFaces() {
    thread_local skin::ImageListOwner faces(
        skin::LoadImageStrip(Module(), kButtonFace, kButtonFaceWidth));
    return faces.list;
}

// The dialog's push buttons take the skin's faces; the small close and
// minimise buttons keep their own look.
void SkinButtons(HWND dialog) {
    HIMAGELIST faces = ButtonFaces();
    if (!faces) {
        return;
    }
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        char cls[16] = {};
        ::GetClassNameA(child, cls, sizeof cls);
        RECT r{};
        ::GetClientRect(child, &r);
        const LONG_PTR type = ::GetWindowLongPtrA(child, GWL_STYLE) & BS_TYPEMASK;
        if (lstrcmpiA(cls, "Button") == 0 && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) &&
            r.right >= 40) {
            skin::MakeImageButton(child, faces, true);
        }
    }
}

// Every updater window: the skin's paper and ink, and the skin's faces on
// its push buttons.
class UpdaterDialog : public skin::SkinnedDialog {
protected:
    UpdaterDialog() { UsePaperBackground(); }
    // Call first from OnInit.
    void SkinWindow() {
        SkinButtons(Window());
        // The small buttons and the bar read by what they do.
        const std::pair<int, const char*> names[] = {
            {kCloseButton, "Close"}, {kMinimiseButton, "Minimise"}, {kProgressBar, "Progress"}};
        for (const auto& [control, name] : names) {
            skin::SetAccessibleName(Item(control), name);
        }
    }
};

// The user's Cancel: the engine notices the event at its next check, the
// tray program hears of it through its message.
void CancelSession(FrameState* state, HWND dialog) {
    qlx::UniqueHandle event(::OpenEventA(EVENT_MODIFY_STATE, FALSE, kTerminationEvent));
    if (event) {
        ::SetEvent(event.get());
    }
    if (state->trayMessage != 0) {
        ::PostMessageA(HWND_BROADCAST, state->trayMessage, 0, 1);
    }
    ::EnableWindow(::GetDlgItem(dialog, IDCANCEL), FALSE);
    ::EnableWindow(::GetDlgItem(dialog, kConnectingCancel), FALSE);
}

// The connecting and progress windows, modeless on the user-interface
// thread; each object goes with its window.
class SessionWindow final : public UpdaterDialog {
public:
    explicit SessionWindow(FrameState* state) : state_(state) {}

private:
    BOOL OnInit() override {
        SkinWindow();
        ::SendDlgItemMessageA(Window(), kProgressBar, PBM_SETRANGE32, 0, 100);
        return TRUE;
    }
    void OnCommand(int id, int code) override {
        if (code != BN_CLICKED) {
            return; // focus notifications of owner-drawn buttons
        }
        switch (id) {
        case IDCANCEL:
        case kCloseButton:
        case kConnectingCancel:
            // Closing a window of a running session is cancelling it.
            CancelSession(state_, Window());
            break;
        case kMinimiseButton:
            ::ShowWindow(Window(), SW_MINIMIZE);
            break;
        default:
            break;
        }
    }
    void OnDestroyed() override { delete this; }

    FrameState* state_;
};

HWND Ensure(HWND* window, int dialogId, FrameState* state) {
    if (!*window) {
        auto* session = new SessionWindow(state);
        *window = session->Create(Module(), dialogId, nullptr);
        if (!*window) {
            delete session;
        }
        if (*window) {
            ::SetWindowTextA(*window, state->caption.c_str());
            ::SetDlgItemTextA(*window, kConnectingProduct, state->caption.c_str());
        }
    }
    return *window;
}

void ShowIf(HWND window, bool show) {
    if (window && (::IsWindowVisible(window) != FALSE) != show) {
        ::ShowWindow(window, show ? SW_SHOWNA : SW_HIDE);
    }
}

// The windows as the current appearance wants them: "Stealth" shows none,
// "Invisible" the progress only, "Normal" both.
void ApplyAppearance(FrameState* state) {
    const int appearance = state->appearance;
    ShowIf(state->connecting, state->connectingWanted && appearance == kNormal);
    ShowIf(state->progress, state->progressWanted && appearance != kStealth);
}

void Handle(HWND frame, FrameState* state, const Notification& n) {
    switch (n.kind) {
    case kBegin:
        state->caption = *n.text;
        break;
    case kShowConnecting:
        state->connectingWanted = true;
        if (state->appearance != kStealth) {
            Ensure(&state->connecting, kConnectingDialog, state);
        }
        break;
    case kHideConnecting:
        state->connectingWanted = false;
        break;
    case kPhaseStarts:
        state->progressWanted = true;
        if (state->appearance != kStealth) {
            Ensure(&state->progress, kProgressDialog, state);
            ::SendDlgItemMessageA(state->progress, kProgressBar, PBM_SETPOS, 0, 0);
        }
        break;
    case kHideProgress:
        state->progressWanted = false;
        break;
    case kProgress:
        if (state->progress) {
            ::SendDlgItemMessageA(state->progress, kProgressBar, PBM_SETPOS,
                                  static_cast<WPARAM>(n.first), 0);
        }
        break;
    case kSetTitle:
        if (state->progress) {
            ::SetWindowTextA(state->progress, n.text->c_str());
        }
        break;
    case kProgressLines:
        if (state->progress) {
            size_t begin = 0;
            for (int line = 0; line < 3; ++line) {
                const size_t end = n.text->find('\n', begin);
                ::SetDlgItemTextA(state->progress, kFirstLine + line,
                                  n.text->substr(begin, end - begin).c_str());
                begin = end == std::string::npos ? n.text->size() : end + 1;
            }
        }
        break;
    case kSessionEnded:
        for (HWND* window : {&state->connecting, &state->progress}) {
            if (*window) {
                ::DestroyWindow(*window);
                *window = nullptr;
            }
        }
        ::DestroyWindow(frame);
        return;
    default:
        break;
    }
    ApplyAppearance(state);
}

LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<FrameState*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message == kNotifyMessage) {
        if (state) {
            Handle(hwnd, state, *reinterpret_cast<const Notification*>(lParam));
        }
        return 0;
    }
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    if (state && message != 0 && message == state->instanceMessage) {
        // A second start for the same product: its appearance holds from the
        // next notification on.
        if (wParam <= kStealth) {
            state->appearance = static_cast<int>(wParam);
        }
        return 0;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

// A modal dialog of the engine thread: title and up to two texts.
struct ModalTexts {
    std::string title;
    int firstId;
    std::string first;
    int secondId;
    std::string second;
};

class ModalMessage final : public UpdaterDialog {
public:
    explicit ModalMessage(const ModalTexts& texts) : texts_(texts) {}

private:
    BOOL OnInit() override {
        SkinWindow();
        ::SetWindowTextA(Window(), texts_.title.c_str());
        if (texts_.firstId != 0) {
            SetItemText(texts_.firstId, texts_.first);
        }
        if (texts_.secondId != 0) {
            SetItemText(texts_.secondId, texts_.second);
        }
        ::SetForegroundWindow(Window());
        return TRUE;
    }
    void OnCommand(int id, int code) override {
        if (code != BN_CLICKED) {
            return; // focus notifications of owner-drawn buttons
        }
        if (id == IDOK || id == IDCANCEL || id == kCloseButton) {
            Close(id);
        }
    }

    const ModalTexts& texts_;
};

void RunModal(int dialogId, const ModalTexts& texts) {
    ModalMessage(texts).RunModal(Module(), dialogId, nullptr);
}

struct LanguageChoice {
    std::string title;
    const std::vector<LanguagePack>* packs;
    std::string current;
    std::string chosen;
};

void FillLanguageList(HWND list, const std::vector<LanguagePack>& packs) {
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    // The state of each pack as a small mark beside its name.
    HIMAGELIST marks = ImageList_Create(12, 12, ILC_COLOR24, 2, 0);
    for (COLORREF colour : {skin::colour::kAccent, skin::colour::kGreyInk}) {
        WindowDc screen(nullptr);
        UniqueBitmap mark(::CreateCompatibleBitmap(screen.get(), 12, 12));
        {
            UniqueMemoryDc dc(::CreateCompatibleDC(screen.get()));
            SelectedObject markIn(dc.get(), mark.get());
            skin::FillSolid(dc.get(), {0, 0, 12, 12}, colour);
        }
        ImageList_Add(marks, mark.get(), nullptr);
    }
    // The list view destroys its image list with itself.
    ListView_SetImageList(list, marks, LVSIL_SMALL);
    const std::string columns[] = {LoadText(kLanguageColumn), LoadText(kStateColumn)};
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = i == 0 ? 140 : 220;
        column.pszText = const_cast<char*>(columns[i].c_str());
        ::SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i),
                       reinterpret_cast<LPARAM>(&column));
    }
    const std::string states[] = {LoadText(kInstalledText), LoadText(kOfferedText)};
    int row = 0;
    for (const LanguagePack& pack : packs) {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = row;
        item.iImage = pack.installed ? 0 : 1;
        item.pszText = const_cast<char*>(pack.name.c_str());
        ::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        item.mask = LVIF_TEXT;
        item.iSubItem = 1;
        item.pszText = const_cast<char*>(states[pack.installed ? 0 : 1].c_str());
        ::SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row),
                       reinterpret_cast<LPARAM>(&item));
        ++row;
    }
}

class LanguageDialog final : public UpdaterDialog {
public:
    explicit LanguageDialog(LanguageChoice& choice) : choice_(choice) {}

private:
    BOOL OnInit() override {
        SkinWindow();
        ::SetWindowTextA(Window(), choice_.title.c_str());
        std::string current = choice_.current;
        for (const LanguagePack& pack : *choice_.packs) {
            if (pack.code == choice_.current) {
                current = pack.name;
            }
        }
        SetItemText(kCurrentLanguage, "Currently used language: " + current);
        FillLanguageList(Item(kLanguageList), *choice_.packs);
        ::SetForegroundWindow(Window());
        return TRUE;
    }
    void OnCommand(int id, int code) override {
        if (code != BN_CLICKED) {
            return; // focus notifications of owner-drawn buttons
        }
        switch (id) {
        case kSelectButton: {
            const int row = static_cast<int>(::SendDlgItemMessageA(
                Window(), kLanguageList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
            if (row < 0 || static_cast<size_t>(row) >= choice_.packs->size()) {
                return; // nothing chosen yet
            }
            choice_.chosen = (*choice_.packs)[static_cast<size_t>(row)].code;
            Close(IDOK);
            break;
        }
        case IDCANCEL:
        case kCloseLanguages:
        case kCloseButton:
            Close(IDCANCEL);
            break;
        default:
            break;
        }
    }

    LanguageChoice& choice_;
};

} // namespace

HWND CreateMainFrame(HINSTANCE instance, const char* title, FrameState* state) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = instance;
    wc.lpszClassName = kFrameClass;
    if (!::RegisterClassA(&wc)) {
        return nullptr;
    }
    HWND frame =
        ::CreateWindowExA(0, kFrameClass, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (frame) {
        ::SetWindowLongPtrA(frame, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    }
    return frame;
}

void FrameNotifications::Send(int kind, const std::string* text, int first, int second) {
    Notification n{kind, text, first, second};
    ::SendMessageA(frame_, kNotifyMessage, 0, reinterpret_cast<LPARAM>(&n));
}

void FrameNotifications::Begin(const std::string& caption) {
    apartment_.emplace();
    Send(kBegin, &caption);
}

void FrameNotifications::SetAppearance(int appearance) {
    state_->appearance = appearance;
}

void FrameNotifications::End() {
    Send(kEnd);
    apartment_.reset();
}

void FrameNotifications::SetText(const std::string& text, int number) {
    Send(kSetText, &text, number);
}
void FrameNotifications::HideConnecting() {
    Send(kHideConnecting);
}
void FrameNotifications::ShowConnecting() {
    Send(kShowConnecting);
}
void FrameNotifications::Progress(int overallPercent, int filePercent) {
    Send(kProgress, nullptr, overallPercent, filePercent);
}
void FrameNotifications::HideProgress() {
    Send(kHideProgress);
}
void FrameNotifications::OpenAddress(const std::string& address) {
    Send(kOpenAddress, &address);
}
void FrameNotifications::SessionEnded(int32_t returnCode) {
    Send(kSessionEnded, nullptr, returnCode);
}
void FrameNotifications::SetProgressLines(const std::string& first, const std::string& second,
                                          const std::string& third) {
    const std::string lines = first + "\n" + second + "\n" + third;
    Send(kProgressLines, &lines);
}

void FrameNotifications::FinalMessage(int stringId) {
    Send(kFinalMessage, nullptr, stringId);
    if (state_->appearance != kNormal) {
        return;
    }
    RunModal(kFinalDialog, {state_->caption, kFinalText, LoadText(stringId), 0, {}});
}

void FrameNotifications::PhaseStarts(bool downloading) {
    Send(kPhaseStarts, nullptr, downloading ? 1 : 0);
}
void FrameNotifications::LanguageStepFinished() {
    Send(kLanguageStepFinished);
}
void FrameNotifications::SetTitle(const std::string& title) {
    Send(kSetTitle, &title);
}

void FrameNotifications::ShowMessage(const std::string& title, const std::string& message) {
    if (state_->appearance == kStealth) {
        return;
    }
    RunModal(kServerMessageDialog, {title, kMessageTitle, title, kMessageText, message});
}

std::string FrameNotifications::ChooseLanguage(const std::string& title,
                                               const std::vector<LanguagePack>& packs,
                                               const std::string& current) {
    if (state_->appearance == kStealth) {
        return {};
    }
    LanguageChoice choice{title, &packs, current, {}};
    LanguageDialog(choice).RunModal(Module(), kLanguageDialog, nullptr);
    return choice.chosen;
}

void FrameNotifications::LanguageChanged() {
    if (state_->appearance == kStealth) {
        return;
    }
    RunModal(kLanguageNoticeDialog, {LoadText(kLanguageNoticeTitle), 0, {}, 0, {}});
}

} // namespace qlx::updater
