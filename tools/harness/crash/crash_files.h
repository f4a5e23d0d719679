#pragma once
// What the crash writer saves and how the test tells a whole file from a
// damaged one. Each check answers whether `bytes` is one of the contents a
// completed save leaves (the old or the new one), never a mix or a cut.
#include <cstddef>
#include <string>
#include <string_view>

#include "tray/core/history.h"

namespace qlx::crash {

// The two histories the writer saves in turn; the test seeds the first.
tray::History TrayHistory(int which);
bool IsWholeTrayHistory(std::string_view bytes);

// The domain list is seeded with kSeededDomains names; the writer adds and
// removes kExtraDomain in turn.
inline constexpr const char* kExtraDomain = "zz-crash.example.com";
inline constexpr size_t kSeededDomains = 3000;
std::string SeededDomainList();
bool IsWholeDomainList(std::string_view bytes);

// Every record the engine wrote, each complete; at least `atLeast` of them.
bool IsWholeEngineHistory(std::string_view bytes, size_t atLeast, size_t* records);

} // namespace qlx::crash
