#pragma once
// Which process started the browser, found from a snapshot of the process list.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qlx::integrator {

struct ProcessRecord {
    uint64_t processId = 0;
    uint64_t parentProcessId = 0;
    std::optional<std::string> imageName; // none for the idle process
};

// The image name of the browser's parent process; empty when the parent no
// longer runs, except that a shell ("explorer.exe") whose parent is gone was
// started by the logon process, reported as "USERINIT.EXE".
std::string FindParentProcessName(const std::vector<ProcessRecord>& processes,
                                  uint64_t browserProcessId);

} // namespace qlx::integrator
