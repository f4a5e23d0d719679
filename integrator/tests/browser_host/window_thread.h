#pragma once
// One browser window on its own single-threaded apartment thread, as the
// browser runs them: a real window, the browser object, and the browser
// helper objects listed in the registry, attached through SetSite. The
// scenario drives the window by running tasks on its thread.
#include <windows.h>

#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#include "browser_objects.h"

namespace qlx::browser_host {

struct WindowLayout {
    std::string title;
    BrowserChrome chrome;
    bool framed = true; // an ordinary frame; a pop-up may come without one
    RECT rect{100, 80, 100 + 640, 80 + 480};
    std::string pageUrl; // the page already shown when the window is made
    std::string pageTitle;
};

class BrowserWindowThread {
public:
    using Task = std::function<void(Browser&, HWND)>;

    BrowserWindowThread(WindowLayout layout, bool loadHelpers);
    ~BrowserWindowThread();
    BrowserWindowThread(const BrowserWindowThread&) = delete;
    BrowserWindowThread& operator=(const BrowserWindowThread&) = delete;

    // Runs `task` on the window's thread and waits for it; false when the
    // window closed before it ran or it did not end in time.
    bool Run(Task task, DWORD timeoutMs = 60000);
    void Close();
    bool WaitClosed(DWORD timeoutMs);
    bool Closed() const;
    HWND Window() const { return window_; }
    // Whether the window thread's own message filter is still the one
    // registered (an add-on may put in its own only for a while).
    bool OwnFilterInPlace();
    size_t HelperCount() const { return helperCount_; }

private:
    struct Queued {
        Task task;
        std::promise<void> done;
    };
    void Main(WindowLayout layout, bool loadHelpers, std::promise<void> ready);
    void RunQueued(Browser& browser);

    std::thread thread_;
    DWORD threadId_ = 0;
    HWND window_ = nullptr;
    size_t helperCount_ = 0;
    HANDLE closed_;
    std::mutex mutex_;
    std::deque<std::shared_ptr<Queued>> queue_;
    bool ended_ = false;
    IMessageFilter* ownFilter_ = nullptr; // the window thread's
};

// Keys as the user presses them: through SendInput, so that the window's
// thread sees them with GetKeyState once it has pumped its messages.
void PressKey(WORD virtualKey, bool down);
// Pumps the calling thread's messages for a while; a quit message is kept.
void PumpMessages(DWORD milliseconds);

} // namespace qlx::browser_host
