#include "common/testing/child_process.h"

#include "common/win32/registrar.h"

namespace qlx::testing {

std::string BinDir() {
    return ModuleFolder(nullptr);
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (::GetTickCount64() >= deadline) {
            return false;
        }
        // Keep a thread with windows or an STA responsive while waiting.
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::Sleep(pollMs);
    }
}

bool NamedMutexExists(const char* name) {
    UniqueHandle m(::OpenMutexA(SYNCHRONIZE, FALSE, name));
    return static_cast<bool>(m);
}

bool WaitForNamedMutex(const char* name, DWORD timeoutMs) {
    return WaitUntil([&] { return NamedMutexExists(name); }, timeoutMs);
}

bool WaitForNamedMutexGone(const char* name, DWORD timeoutMs) {
    return WaitUntil([&] { return !NamedMutexExists(name); }, timeoutMs);
}

ChildProcess::~ChildProcess() {
    if (Running()) {
        Kill();
    }
}

bool ChildProcess::Start(const std::string& commandLine, const std::string& workDir) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = commandLine; // CreateProcess may write into it
    if (!::CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          workDir.empty() ? nullptr : workDir.c_str(), &si, &pi)) {
        return false;
    }
    ::CloseHandle(pi.hThread);
    process_.reset(pi.hProcess);
    id_ = pi.dwProcessId;
    return true;
}

bool ChildProcess::Running() const {
    return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

bool ChildProcess::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
    if (!process_) {
        return false;
    }
    const bool ended = WaitUntil(
        [&] { return ::WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0; }, timeoutMs, 10);
    if (ended && exitCode) {
        ::GetExitCodeProcess(process_.get(), exitCode);
    }
    return ended;
}

void ChildProcess::Kill() {
    if (process_) {
        ::TerminateProcess(process_.get(), 255);
        ::WaitForSingleObject(process_.get(), 5000);
    }
}

long RunAndWait(const std::string& commandLine, DWORD timeoutMs, const std::string& workDir) {
    ChildProcess child;
    if (!child.Start(commandLine, workDir)) {
        return -1;
    }
    DWORD code = 0;
    if (!child.WaitForExit(timeoutMs, &code)) {
        child.Kill();
        return -1;
    }
    return static_cast<long>(code);
}

} // namespace qlx::testing
