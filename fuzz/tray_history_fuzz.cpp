// "history.lst" is read at every start: any content must read without a
// crash, and what was read must write and read back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "tray/core/command_line.h"
#include "tray/core/history.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const qlx::tray::History first = qlx::tray::ReadHistoryText(text);
    const qlx::tray::History second =
        qlx::tray::ReadHistoryText(qlx::tray::WriteHistoryText(first));
    if (second.size() != first.size()) {
        std::abort();
    }
    qlx::tray::ParseCommandLine(text);
    return 0;
}
