#pragma once
// Helpers for Windows tests that start a second Wine process (a server under
// test, a second instance) and wait for it to be ready and to end.
#include <windows.h>

#include <functional>
#include <string>

#include "common/win32/unique_handle.h"

namespace qlx::testing {

// Folder of the running test executable, with a trailing backslash: every
// product binary of the tree lies beside it.
std::string BinDir();

// Polls `condition` every `pollMs` until it holds or `timeoutMs` passed.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 20);

bool NamedMutexExists(const char* name);
bool WaitForNamedMutex(const char* name, DWORD timeoutMs);
bool WaitForNamedMutexGone(const char* name, DWORD timeoutMs);

class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(ChildProcess&&) = default;
    ChildProcess& operator=(ChildProcess&&) = default;
    // A child still running when its owner goes is killed, so a failing test
    // never leaves servers behind.
    ~ChildProcess();

    // Starts `commandLine` (program path quoted by the caller when needed)
    // in `workDir` (empty: the test's current folder). False if it could not start.
    bool Start(const std::string& commandLine, const std::string& workDir = {});

    bool Running() const;
    // True and the exit code once the process ended within `timeoutMs`.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
    void Kill();

    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_.get(); }

private:
    UniqueHandle process_;
    DWORD id_ = 0;
};

// Runs a command to its end; the exit code, or -1 when it could not start or
// did not end within `timeoutMs` (it is then killed).
long RunAndWait(const std::string& commandLine, DWORD timeoutMs = 60000,
                const std::string& workDir = {});

} // namespace qlx::testing
