#pragma once
// The native process list ("ZwQuerySystemInformation", information class 5).
#include <optional>
#include <vector>

#include "integrator/core/parent_process.h"

namespace qlx::integrator {

// Every running process with its parent; nullopt when the list cannot be had.
std::optional<std::vector<ProcessRecord>> QueryProcessList();

} // namespace qlx::integrator
