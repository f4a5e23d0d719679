#pragma once
// The hidden main frame "KTUpdaterMainFrame" of the user-interface thread,
// and the notifications by which the engine thread reaches it. Every
// notification is a synchronous message: the engine waits until the frame
// has handled it. The progress and message windows are not built yet, so
// the frame only keeps what they will show; the session's end closes it and
// ends the message loop.
#include <windows.h>

#include <atomic>

#include "updater/core/platform.h"

namespace qlx::updater {

struct FrameState {
    std::atomic<UINT> instanceMessage{0}; // a second updater's appearance request
    std::atomic<int> appearance{0};
};

// Nothing when the window cannot be created.
HWND CreateMainFrame(HINSTANCE instance, const char* title, FrameState* state);

class FrameNotifications final : public UpdaterNotifications {
public:
    explicit FrameNotifications(HWND frame) : frame_(frame) {}

    void Begin(const std::string& caption) override;
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

private:
    void Send(int kind, const std::string* text = nullptr, int first = 0, int second = 0);

    HWND frame_;
    bool comEntered_ = false;
};

} // namespace qlx::updater
