#pragma once
// Texts cross the engine's COM boundary in the ANSI code page of the calling
// thread's locale, which a client may set apart from the system's. File paths
// stay in the system's ANSI code page, the one the file functions read.
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <string_view>
#include <vector>

#include "common/core/text.h"
#include "common/win32/bstr.h"

namespace qlx::engine {

// The lead bytes of the calling thread's ANSI code page, built once per code
// page (IsDBCSLeadByteEx).
const LeadBytes& ThreadLeadBytes();

// Narrow text of a BSTR the caller still owns (null gives "").
std::string ThreadAnsiOf(BSTR text);
Bstr ThreadAnsiBstr(std::string_view text);
// A VT_ARRAY|VT_BSTR of the texts into `out`; throws std::bad_alloc.
void WriteThreadAnsiArray(const std::vector<std::string>& items, VARIANT* out);

} // namespace qlx::engine
