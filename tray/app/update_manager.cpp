#include "tray/app/update_manager.h"

#include <objbase.h>
#include <shellapi.h>

#include <ctime>

#include "common/win32/com_apartment.h"
#include "common/win32/unique_handle.h"
#include "skin/message_box.h"
#include "tray/app/notification.h"
#include "tray/app/win32_file_store.h"
#include "tray/core/text_fill.h"
#include "tray/core/update_schedule.h"
#include "tray/res/resource.h"

namespace qlx::tray {

namespace {

constexpr const char* kTimerWindowClass = "QuellixUpdateTimers";

struct Request {
    int kind;
    bool invisible;
};

SystemTime LocalNow() {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, 0};
}

void ShowAbsentFile(HINSTANCE module, HWND owner, const std::string& productName,
                    const char* file) {
    const std::string text = FillPlaceholder(skin::LoadString(module, IDS_FILE_ABSENT), file);
    skin::SkinMessageBox(owner, text, productName, MB_OK | MB_ICONWARNING);
}

struct TipJob {
    HINSTANCE module;
    std::string text;
    uint32_t ms;
};

DWORD WINAPI ReportThread(void* param) {
    std::unique_ptr<TipJob> job(static_cast<TipJob*>(param));
    RunMessageTip(job->module, job->text, job->ms);
    return 0;
}

} // namespace

struct CUpdateManager::Shared {
    HINSTANCE module = ::GetModuleHandleA(nullptr);
    std::string productName;
    std::string programFolder;

    std::mutex versionGuard;
    std::string programVersion;
    std::string basesVersion; // nothing in this program fills it

    std::mutex running; // one update at a time
    std::mutex queueGuard;
    std::deque<Request> queue;

    bool ReadVersion(bool complain, HWND owner) {
        const FileRead content = Win32FileStore().Read(programFolder + "version.dat");
        if (!content.ok()) {
            if (complain) {
                ShowAbsentFile(module, owner, productName, "version.dat");
            }
            return false;
        }
        std::lock_guard hold(versionGuard);
        programVersion = FirstWord(content.content);
        return true;
    }

    // Launches the updater, waits for it and reports its exit code; the
    // result is the exit code, -18 without "update.exe", -1024 when it could
    // not be started.
    int32_t Run(const Request& request) {
        const std::string path = programFolder + "update.exe";
        if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            ShowAbsentFile(module, nullptr, productName, "update.exe");
            return -18;
        }
        const std::string parameters =
            UpdaterParameters(request.kind, request.invisible, programFolder);
        SHELLEXECUTEINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS;
        info.lpVerb = "open";
        info.lpFile = path.c_str();
        info.lpParameters = parameters.c_str();
        info.lpDirectory = programFolder.c_str();
        info.nShow = SW_SHOWNORMAL;
        if (!::ShellExecuteExA(&info) || !info.hProcess) {
            return -1024;
        }
        UniqueHandle process(info.hProcess);
        ::WaitForSingleObject(process.get(), INFINITE);
        DWORD code = 0;
        if (!::GetExitCodeProcess(process.get(), &code)) {
            code = 0;
        }
        const auto exitCode = static_cast<int32_t>(code);
        Report(request.kind, exitCode);
        return exitCode;
    }

    void Report(int kind, int32_t exitCode) {
        const auto report = ReportForExitCode(exitCode);
        if (!report) {
            return;
        }
        if (report->rereadVersion) {
            ::Sleep(500); // the updater's last writes settle
            ReadVersion(false, nullptr);
        }
        const ReportTexts texts{skin::LoadString(module, IDS_UPDATED_TO),
                                skin::LoadString(module, IDS_BASES_UPDATED_TO),
                                skin::LoadString(module, IDS_UP_TO_DATE),
                                skin::LoadString(module, IDS_BASES_UP_TO_DATE)};
        std::string version;
        {
            std::lock_guard hold(versionGuard);
            version = kind == 0 ? programVersion : basesVersion;
        }
        auto job = std::make_unique<TipJob>(TipJob{
            module, ReportText(exitCode, kind, productName, version, texts), report->showMs});
        if (HANDLE thread = ::CreateThread(nullptr, 0, ReportThread, job.get(), 0, nullptr)) {
            job.release();
            ::CloseHandle(thread);
        }
    }

    // The running lock is taken and given up only under the queue's guard,
    // so a request that arrives while the last run ends is either queued
    // before the queue is looked at, or finds the lock free.
    void Serve(Request request) {
        {
            std::lock_guard hold(queueGuard);
            if (!running.try_lock()) {
                queue.push_back(request);
                return;
            }
        }
        for (;;) {
            Run(request);
            std::lock_guard hold(queueGuard);
            std::erase_if(queue, [&](const Request& r) { return r.kind == request.kind; });
            if (queue.empty()) {
                running.unlock();
                return;
            }
            request = queue.front();
            queue.pop_front();
        }
    }
};

namespace {

struct WorkerJob {
    std::shared_ptr<CUpdateManager::Shared> shared;
    Request request;
};

DWORD WINAPI WorkerThread(void* param) {
    const ComApartment apartment;
    std::unique_ptr<WorkerJob> job(static_cast<WorkerJob*>(param));
    job->shared->Serve(job->request);
    return 0;
}

} // namespace

CUpdateManager::CUpdateManager() : shared_(std::make_shared<Shared>()) {}

CUpdateManager::~CUpdateManager() {
    if (window_) {
        ::DestroyWindow(window_);
    }
}

void CUpdateManager::SetScheduleFile(int kind, std::string fileName) {
    if (kind == 0 || kind == 1) {
        scheduleFiles_[kind] = std::move(fileName);
    }
}

void CUpdateManager::SetProductName(std::string name) {
    shared_->productName = std::move(name);
}

void CUpdateManager::SetProgramFolder(std::string folder) {
    shared_->programFolder = std::move(folder);
}

void CUpdateManager::SetProgramUpdatesEnabled(bool enabled) {
    const bool changed = enabled != programUpdatesEnabled_;
    programUpdatesEnabled_ = enabled;
    if (changed && window_) {
        Plan(0);
    }
}

void CUpdateManager::Start(bool complainIfVersionMissing, HWND messageOwner) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = TimerWindowProc;
    windowClass.hInstance = shared_->module;
    windowClass.lpszClassName = kTimerWindowClass;
    ::RegisterClassA(&windowClass);
    window_ = ::CreateWindowExA(0, kTimerWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                shared_->module, nullptr);
    if (window_) {
        ::SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    startTime_ = static_cast<int64_t>(std::time(nullptr));
    Plan(0);
    ReadVersion(complainIfVersionMissing, messageOwner);
}

void CUpdateManager::Plan(int kind) {
    if ((kind != 0 && kind != 1) || !window_) {
        return;
    }
    try {
        Win32FileStore files;
        const PlanStep step = PlanSchedule(files, scheduleFiles_[kind], kind, LocalNow(),
                                           static_cast<int64_t>(std::time(nullptr)) - startTime_);
        const UINT_PTR timer = kProgramTimer + static_cast<UINT_PTR>(kind);
        switch (step.action) {
        case PlanStep::Action::ArmKindTimer:
            ::SetTimer(window_, timer, static_cast<UINT>(step.delaySeconds * 1000), nullptr);
            break;
        case PlanStep::Action::ArmReplanTimer:
            ::SetTimer(window_, kReplanTimer, kReplanMs, nullptr);
            ::KillTimer(window_, timer);
            break;
        case PlanStep::Action::Nothing:
            break;
        }
    } catch (...) {
        // A schedule that cannot be planned leaves the timers as they are.
    }
}

void CUpdateManager::RequestUpdate(int kind, bool invisible) {
    auto job = std::make_unique<WorkerJob>(WorkerJob{shared_, {kind, invisible}});
    if (HANDLE thread = ::CreateThread(nullptr, 0, WorkerThread, job.get(), 0, nullptr)) {
        job.release();
        ::CloseHandle(thread);
    }
}

bool CUpdateManager::ReadVersion(bool complain, HWND messageOwner) {
    return shared_->ReadVersion(complain, messageOwner);
}

std::string CUpdateManager::ProgramVersion() const {
    std::lock_guard hold(shared_->versionGuard);
    return shared_->programVersion;
}

LRESULT CALLBACK CUpdateManager::TimerWindowProc(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
    if (message == WM_TIMER) {
        if (auto* self =
                reinterpret_cast<CUpdateManager*>(::GetWindowLongPtrA(window, GWLP_USERDATA))) {
            self->OnTimer(wParam);
            return 0;
        }
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

void CUpdateManager::OnTimer(UINT_PTR id) {
    ::KillTimer(window_, id);
    if (id == kProgramTimer || id == kProgramTimer + 1) {
        const int kind = static_cast<int>(id - kProgramTimer);
        if (kind == 0 ? programUpdatesEnabled_ : basesUpdatesEnabled_) {
            RequestUpdate(kind, invisible_);
        }
        Plan(kind);
    } else if (id == kReplanTimer) {
        Plan(1);
        Plan(0);
    }
}

} // namespace qlx::tray
