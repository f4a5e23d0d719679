#pragma once
// The hidden main frame "KTUpdaterMainFrame" of the user-interface thread,
// the connecting and progress windows it owns, and the notifications by
// which the engine thread reaches it. Every notification is a synchronous
// message: the engine waits until the frame has handled it. The final
// message and the server's messages are modal dialogs of the engine thread
// itself, so the user-interface thread never waits for the engine.
#include <windows.h>

#include <atomic>
#include <optional>
#include <string>

#include "common/win32/com_apartment.h"
#include "updater/core/platform.h"

namespace qlx::updater {

struct FrameState {
    std::atomic<UINT> instanceMessage{0}; // a second updater's appearance request
    std::atomic<UINT> trayMessage{0};     // posted when the user cancels
    std::atomic<int> appearance{0};
    // Owned by the user-interface thread.
    HWND connecting = nullptr;
    HWND progress = nullptr;
    bool connectingWanted = false;
    bool progressWanted = false; // between the start of a phase and its hiding
    std::string caption;
};

// Nothing when the window cannot be created.
HWND CreateMainFrame(HINSTANCE instance, const char* title, FrameState* state);

class FrameNotifications final : public UpdaterNotifications {
public:
    FrameNotifications(HWND frame, FrameState* state) : frame_(frame), state_(state) {}

    void Begin(const std::string& caption) override;
    void SetAppearance(int appearance) override;
    void End() override;
    void SetText(const std::string& text, int number) override;
    void HideConnecting() override;
    void ShowConnecting() override;
    void Progress(int overallPercent, int filePercent) override;
    void HideProgress() override;
    void OpenAddress(const std::string& address) override;
    void SessionEnded(int32_t returnCode) override;
    void SetProgressLines(const std::string& first, const std::string& second,
                          const std::string& third) override;
    void FinalMessage(int stringId) override;
    void PhaseStarts(bool downloading) override;
    void LanguageStepFinished() override;
    void SetTitle(const std::string& title) override;
    void ShowMessage(const std::string& title, const std::string& message) override;
    std::string ChooseLanguage(const std::string& title, const std::vector<LanguagePack>& packs,
                               const std::string& current) override;
    void LanguageChanged() override;

private:
    void Send(int kind, const std::string* text = nullptr, int first = 0, int second = 0);

    HWND frame_;
    FrameState* state_;
    std::optional<qlx::ComApartment> apartment_; // the engine thread's, from Begin to End
};

} // namespace qlx::updater
