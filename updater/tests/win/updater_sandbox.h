#pragma once
// A private copy of update.exe in its own folder, so that its log, its
// variables files and its references belong to one test alone.
#include <windows.h>

#include <string>
#include <vector>

#include "common/testing/child_process.h"

namespace qlx::updater::testing {

// Signals "TarvelUpdaterTerminationEvent" of a running updater and waits for
// its end: the exit code (signed), or a failed test and 1000.
int32_t CancelAndWait(qlx::testing::ChildProcess& updater);

class UpdaterSandbox {
public:
    // A folder named after the running test, beside the test executable.
    UpdaterSandbox();
    ~UpdaterSandbox();
    UpdaterSandbox(const UpdaterSandbox&) = delete;
    UpdaterSandbox& operator=(const UpdaterSandbox&) = delete;

    // The folder, ending with "\".
    const std::string& Dir() const { return dir_; }
    void Write(const std::string& name, const std::string& content) const;
    std::string Read(const std::string& name) const { return ReadAbsolute(dir_ + name); }
    // Empty when the file cannot be read.
    static std::string ReadAbsolute(const std::string& path);
    bool Exists(const std::string& name) const;

    // Starts update.exe with `arguments` in the folder; "Stealth" unless they
    // choose an appearance.
    bool Start(qlx::testing::ChildProcess& child, const std::string& arguments) const;
    // Runs it to its end: the exit code as the program returned it (signed),
    // or a failed test and 1000 when it did not end in time.
    int32_t Run(const std::string& arguments, DWORD timeoutMs = 30000) const;

    // The messages of "update.log", without their time stamps; a line whose
    // stamp is not of the C library's form is kept whole, to fail a compare.
    std::vector<std::string> LogMessages() const;

private:
    std::string dir_;
};

} // namespace qlx::updater::testing
