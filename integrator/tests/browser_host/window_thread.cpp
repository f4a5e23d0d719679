#include "window_thread.h"

#include <vector>

#include "common/win32/com_apartment.h"
#include "common/win32/com_ptr.h"
#include "common/win32/text_conv.h"
#include "integrator/core/identity.h"

namespace qlx::browser_host {

namespace {

constexpr UINT kRunTasks = WM_APP + 1;
constexpr char kWindowClass[] = "QlxBrowserHostWindow";

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        ::DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

void RegisterWindowClass() {
    static std::once_flag once;
    std::call_once(once, [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = kWindowClass;
        wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
        ::RegisterClassA(&wc);
    });
}

// Every class listed under the browser-helper key, created and sited as the
// browser does for each of its windows.
std::vector<ComPtr<IObjectWithSite>> LoadBrowserHelpers(Browser& browser) {
    std::vector<ComPtr<IObjectWithSite>> helpers;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, integrator::kBrowserHelperObjectsKey, 0, KEY_READ,
                        &key) != ERROR_SUCCESS) {
        return helpers;
    }
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof name;
        if (::RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        CLSID clsid;
        std::wstring wide = AnsiToWide(name);
        if (FAILED(::CLSIDFromString(wide.data(), &clsid))) {
            continue;
        }
        ComPtr<IObjectWithSite> helper;
        if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IObjectWithSite,
                                      helper.put_void()))) {
            continue;
        }
        helper->SetSite(static_cast<IWebBrowser2*>(&browser));
        helpers.push_back(std::move(helper));
    }
    ::RegCloseKey(key);
    return helpers;
}

// The browser's own message filter: answers as COM would without one.
class HostMessageFilter final : public ComObject<HostMessageFilter, IMessageFilter> {
public:
    using Interfaces = InterfaceTable<Answers<IMessageFilter, IID_IMessageFilter>>;
    STDMETHODIMP_(DWORD) HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
        return SERVERCALL_ISHANDLED;
    }
    STDMETHODIMP_(DWORD) RetryRejectedCall(HTASK, DWORD, DWORD) override { return 0xFFFFFFFF; }
    STDMETHODIMP_(DWORD) MessagePending(HTASK, DWORD, DWORD) override {
        return PENDINGMSG_WAITDEFPROCESS;
    }
};

} // namespace

void PressKey(WORD virtualKey, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    ::SendInput(1, &input, sizeof input);
}

void PumpMessages(DWORD milliseconds) {
    const DWORD start = ::GetTickCount();
    do {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::Sleep(5);
    } while (::GetTickCount() - start < milliseconds);
}

BrowserWindowThread::BrowserWindowThread(WindowLayout layout, bool loadHelpers)
    : closed_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    std::promise<void> ready;
    std::future<void> isReady = ready.get_future();
    thread_ = std::thread(&BrowserWindowThread::Main, this, std::move(layout), loadHelpers,
                          std::move(ready));
    isReady.wait();
}

BrowserWindowThread::~BrowserWindowThread() {
    Close();
    if (thread_.joinable()) {
        thread_.join();
    }
    ::CloseHandle(closed_);
}

void BrowserWindowThread::Main(WindowLayout layout, bool loadHelpers, std::promise<void> ready) {
    {
        const ComApartment apartment; // left after the browser and helpers
        const auto filter = Make<HostMessageFilter>();
        ::CoRegisterMessageFilter(filter.get(), nullptr);
        ownFilter_ = filter.get();
        RegisterWindowClass();
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE); // the thread's queue exists from here
        threadId_ = ::GetCurrentThreadId();
        const DWORD style = (layout.framed ? WS_OVERLAPPEDWINDOW : WS_POPUP) | WS_VISIBLE;
        window_ = ::CreateWindowExA(0, kWindowClass, layout.title.c_str(), style, layout.rect.left,
                                    layout.rect.top, layout.rect.right - layout.rect.left,
                                    layout.rect.bottom - layout.rect.top, nullptr, nullptr,
                                    ::GetModuleHandleA(nullptr), nullptr);
        auto browser = ComPtr<Browser>::Attach(new Browser(window_, layout.chrome));
        if (!layout.pageUrl.empty()) {
            browser->SetLocation(layout.pageUrl, layout.pageTitle);
        }
        std::vector<ComPtr<IObjectWithSite>> helpers;
        if (loadHelpers) {
            helpers = LoadBrowserHelpers(*browser.get());
        }
        helperCount_ = helpers.size();
        ready.set_value();

        while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (msg.hwnd == nullptr && msg.message == kRunTasks) {
                RunQueued(*browser.get());
                continue;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }

        {
            std::lock_guard lock(mutex_);
            ended_ = true;
            queue_.clear(); // waiting callers see a broken promise
        }
        for (auto& helper : helpers) {
            helper->SetSite(nullptr);
        }
        helpers.clear();
        browser->Disconnect();
        browser.reset();
        ::CoRegisterMessageFilter(nullptr, nullptr);
        if (::IsWindow(window_)) {
            ::DestroyWindow(window_);
        }
    }
    ::SetEvent(closed_);
}

void BrowserWindowThread::RunQueued(Browser& browser) {
    for (;;) {
        std::shared_ptr<Queued> next;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) {
                return;
            }
            next = queue_.front();
            queue_.pop_front();
        }
        next->task(browser, window_);
        next->done.set_value();
    }
}

bool BrowserWindowThread::Run(Task task, DWORD timeoutMs) {
    auto queued = std::make_shared<Queued>();
    queued->task = std::move(task);
    std::future<void> done = queued->done.get_future();
    {
        std::lock_guard lock(mutex_);
        if (ended_) {
            return false;
        }
        queue_.push_back(queued);
    }
    queued.reset();
    ::PostThreadMessageA(threadId_, kRunTasks, 0, 0);
    if (done.wait_for(std::chrono::milliseconds(timeoutMs)) != std::future_status::ready) {
        return false;
    }
    try {
        done.get();
        return true;
    } catch (const std::future_error&) {
        return false;
    }
}

bool BrowserWindowThread::OwnFilterInPlace() {
    bool inPlace = false;
    Run([&](Browser&, HWND) {
        ComPtr<IMessageFilter> current;
        ::CoRegisterMessageFilter(nullptr, current.put());
        inPlace = current.get() == ownFilter_;
        ::CoRegisterMessageFilter(current.get(), nullptr);
    });
    return inPlace;
}

void BrowserWindowThread::Close() {
    if (!Closed() && window_) {
        ::PostMessageA(window_, WM_CLOSE, 0, 0);
    }
}

bool BrowserWindowThread::WaitClosed(DWORD timeoutMs) {
    return ::WaitForSingleObject(closed_, timeoutMs) == WAIT_OBJECT_0;
}

bool BrowserWindowThread::Closed() const {
    return ::WaitForSingleObject(closed_, 0) == WAIT_OBJECT_0;
}

} // namespace qlx::browser_host
