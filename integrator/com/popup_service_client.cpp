#include "popup_service_client.h"

#include <ole2.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>

#include "common/win32/bstr.h"
#include "common/win32/com_apartment.h"
#include "common/win32/com_ptr.h"
#include "common/win32/unique_handle.h"
#include "guids.h"
#include "integrator/core/identity.h"
#include "integrator/core/kept_class_object.h"

namespace qlx::integrator {

namespace {

// In-process server, in-process handler, local server and remote server.
constexpr DWORD kAnyServerContext = 23;

// QuellixLib, the tray program's type library.
const GUID kPopupServiceLibrary = {
    0x41AF1B1D, 0x44A7, 0x4678, {0x97, 0xAF, 0x83, 0x8F, 0x2C, 0x6B, 0xA2, 0x96}};

DWORD MillisecondsLeft(ULONGLONG deadline) {
    const ULONGLONG now = ::GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

} // namespace

bool TrayProgramRunning() {
    UniqueHandle mutex(::OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kTrayMutexName));
    return static_cast<bool>(mutex);
}

// --- The call thread ----------------------------------------------------------------

// What lives on the call thread: only it touches these.
struct CallState {
    KeptClassObject<ComPtr<IClassFactory>> classObject;
    ComPtr<IWexafel2> instance;
    // Each instance's interface proxy is built from this type library; held
    // here, it is read once instead of at every event.
    ComPtr<ITypeLib> typeLibrary;
};

class ServiceCallThread {
public:
    static std::shared_ptr<ServiceCallThread> Start() {
        auto thread = std::make_shared<ServiceCallThread>();
        // The thread keeps the module loaded while it runs, and itself alive.
        HMODULE module = nullptr;
        if (!thread->done_ ||
            !::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                  reinterpret_cast<LPCWSTR>(&ServiceCallThread::Main), &module)) {
            return nullptr;
        }
        auto* start = new Launch{thread, module};
        UniqueHandle handle(
            ::CreateThread(nullptr, 0, &ServiceCallThread::Main, start, 0, nullptr));
        if (!handle) {
            delete start;
            ::FreeLibrary(module);
            return nullptr;
        }
        return thread;
    }

    // Hands `work` to the thread and waits for it until the deadline.
    bool Run(std::function<void(CallState&)> work, ULONGLONG deadline) {
        {
            std::lock_guard lock(mutex_);
            work_ = std::move(work);
        }
        wake_.notify_one();
        DWORD index = 0;
        HRESULT hr = ::CoWaitForMultipleHandles(0, MillisecondsLeft(deadline), 1, &done_, &index);
        if (hr == CO_E_NOTINITIALIZED) {
            hr = ::WaitForSingleObject(done_, MillisecondsLeft(deadline)) == WAIT_OBJECT_0 ? S_OK
                                                                                           : E_FAIL;
        }
        return hr == S_OK;
    }

    // The thread ends after the work it is doing, releasing what it holds.
    void Stop() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_one();
    }

    ServiceCallThread() : done_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    ~ServiceCallThread() {
        if (done_) {
            ::CloseHandle(done_);
        }
    }
    ServiceCallThread(const ServiceCallThread&) = delete;
    ServiceCallThread& operator=(const ServiceCallThread&) = delete;

private:
    struct Launch {
        std::shared_ptr<ServiceCallThread> thread;
        HMODULE module;
    };

    static DWORD WINAPI Main(void* parameter) {
        HMODULE module = nullptr;
        {
            // The apartment is left last, once the thread's state is gone.
            const ComApartment apartment(COINIT_MULTITHREADED);
            std::unique_ptr<Launch> start(static_cast<Launch*>(parameter));
            module = start->module;
            start->thread->Serve();
        }
        ::FreeLibraryAndExitThread(module, 0);
    }

    void Serve() {
        for (;;) {
            std::function<void(CallState&)> work;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return work_ || stop_; });
                if (!work_) {
                    break;
                }
                work = std::move(work_);
                work_ = nullptr;
            }
            try {
                work(state_);
            } catch (...) {
            }
            ::SetEvent(done_);
        }
        state_ = CallState{};
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::function<void(CallState&)> work_;
    bool stop_ = false;
    HANDLE done_;
    CallState state_;
};

// --- The browser thread's side ------------------------------------------------------

std::shared_ptr<PopupServiceSource> PopupServiceSource::ForThisThread() {
    static std::mutex mutex;
    static std::map<DWORD, std::weak_ptr<PopupServiceSource>> sources;
    const DWORD thread = ::GetCurrentThreadId();
    std::lock_guard lock(mutex);
    std::erase_if(sources, [](const auto& entry) { return entry.second.expired(); });
    std::weak_ptr<PopupServiceSource>& entry = sources[thread];
    std::shared_ptr<PopupServiceSource> source = entry.lock();
    if (!source) {
        source = std::make_shared<PopupServiceSource>();
        entry = source;
    }
    return source;
}

PopupServiceSource::~PopupServiceSource() {
    if (calls_) {
        calls_->Stop();
    }
}

bool PopupServiceSource::Run(std::function<void(CallState&)> work, ULONGLONG deadline) {
    if (!calls_) {
        calls_ = ServiceCallThread::Start();
        if (!calls_) {
            return false;
        }
    }
    if (waiting_) {
        return false; // an event nested in another's wait is let pass
    }
    waiting_ = true;
    const bool done = calls_->Run(std::move(work), deadline);
    waiting_ = false;
    if (done) {
        return true;
    }
    // The tray program has not answered in time: the browser goes on, and
    // the call thread ends once the answer comes.
    calls_->Stop();
    calls_.reset();
    return false;
}

bool PopupServiceSource::Connect(ULONGLONG deadline) {
    auto connected = std::make_shared<bool>(false);
    auto connect = [connected, deadline](CallState& state) {
        if (!state.typeLibrary) {
            ::LoadRegTypeLib(kPopupServiceLibrary, 1, 0, LOCALE_NEUTRAL, state.typeLibrary.put());
        }
        auto obtain = [deadline] {
            ComPtr<IClassFactory> factory;
            if (MillisecondsLeft(deadline) == 0 ||
                FAILED(::CoGetClassObject(CLSID_PopupService, kAnyServerContext, nullptr,
                                          IID_IClassFactory, factory.put_void()))) {
                factory.reset();
            }
            return factory;
        };
        auto make = [](ComPtr<IClassFactory>& factory) {
            ComPtr<IUnknown> unknown;
            ComPtr<IWexafel2> service;
            if (FAILED(factory->CreateInstance(nullptr, IID_IUnknown, unknown.put_void())) ||
                !unknown || FAILED(::OleRun(unknown.get())) ||
                FAILED(unknown->QueryInterface(IID_IWexafel2, service.put_void()))) {
                service.reset();
            }
            return service;
        };
        state.instance = state.classObject.Instance(obtain, make);
        *connected = static_cast<bool>(state.instance);
    };
    return Run(connect, deadline) && *connected;
}

HRESULT PopupServiceSource::Call(Member member, ULONGLONG deadline, VARIANT_BOOL* value) {
    struct Answer {
        HRESULT hr = E_POINTER;
        VARIANT_BOOL value = 0;
    };
    auto answer = std::make_shared<Answer>();
    auto call = [answer, member = std::move(member)](CallState& state) {
        if (state.instance) {
            answer->hr = member(*state.instance.get(), &answer->value);
        }
    };
    if (!Run(call, deadline)) {
        return RPC_E_CALL_CANCELED;
    }
    *value = answer->value;
    return answer->hr;
}

void PopupServiceSource::EndEvent(ULONGLONG deadline, bool failed) {
    if (!calls_) {
        return;
    }
    // The release gets a moment of its own even when the calls used up the time.
    constexpr ULONGLONG kReleaseMs = 500;
    Run(
        [failed](CallState& state) {
            state.instance.reset();
            if (failed) {
                state.classObject.Drop();
            }
        },
        std::max(deadline, ::GetTickCount64() + kReleaseMs));
}

// --- One event ------------------------------------------------------------------------

ServiceEvent::ServiceEvent(PopupServiceSource& source, DWORD limitMs)
    : source_(source), deadline_(::GetTickCount64() + limitMs) {
    connected_ = TrayProgramRunning() && source_.Connect(deadline_);
}

ServiceEvent::~ServiceEvent() {
    if (connected_) {
        source_.EndEvent(deadline_, failed_);
    }
}

int16_t ServiceEvent::Checked(PopupServiceSource::Member member) {
    VARIANT_BOOL value = 0;
    const HRESULT hr = source_.Call(std::move(member), deadline_, &value);
    if (FAILED(hr)) {
        failed_ = true;
        throw ServiceFailure(hr);
    }
    return value;
}

int16_t ServiceEvent::Block(const std::string& parentTitle, const std::string& parentUrl,
                            const std::string& popupUrl, const std::string& process,
                            const WindowGeometry& g) {
    return Checked([=](IWexafel2& service, VARIANT_BOOL* v) {
        const Bstr title = Bstr::FromAnsi(parentTitle);
        const Bstr parent = Bstr::FromAnsi(parentUrl);
        const Bstr popup = Bstr::FromAnsi(popupUrl);
        const Bstr proc = Bstr::FromAnsi(process);
        return service.Block(title.get(), parent.get(), popup.get(), proc.get(), g.left, g.top,
                             g.width, g.height, v);
    });
}

int16_t ServiceEvent::Block2(const std::string& parentUrl, const std::string& process,
                             const WindowGeometry& g) {
    return Checked([=](IWexafel2& service, VARIANT_BOOL* v) {
        const Bstr parent = Bstr::FromAnsi(parentUrl);
        const Bstr proc = Bstr::FromAnsi(process);
        return service.Block2(parent.get(), proc.get(), g.left, g.top, g.width, g.height, v);
    });
}

#define QLX_SERVICE_FLAG(Name, Getter)                                                             \
    int16_t ServiceEvent::Name() {                                                                 \
        return Checked([](IWexafel2& service, VARIANT_BOOL* v) { return service.Getter(v); });     \
    }

QLX_SERVICE_FLAG(Enable, get_Enable)
QLX_SERVICE_FLAG(BlockOnUserRequest, BlockOnUserRequest)
QLX_SERVICE_FLAG(Normalize, get_Normalize)
QLX_SERVICE_FLAG(Normalize2, get_Normalize2)
QLX_SERVICE_FLAG(NormalizeFitToDesktop, get_NormalizeFitToDesktop)
QLX_SERVICE_FLAG(NormalizeAddBorders, get_NormalizeAddBorders)
QLX_SERVICE_FLAG(NormalizeAddMenuAndToolbar, get_NormalizeAddMenuAndToolbar)
QLX_SERVICE_FLAG(Ignore, get_Ignore)
QLX_SERVICE_FLAG(IgnoreCtrl, get_IgnoreCtrl)
QLX_SERVICE_FLAG(IgnoreShift, get_IgnoreShift)
QLX_SERVICE_FLAG(IgnoreAlt, get_IgnoreAlt)

#undef QLX_SERVICE_FLAG

} // namespace qlx::integrator
