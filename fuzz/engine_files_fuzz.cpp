// The engine reads its "*.lst" files and "\history.log" at every start, and
// users edit the lists by hand. Any bytes must read without a crash; the two
// list readers must agree; and what was read must write and read back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/core/history_file.h"
#include "engine/core/list_file.h"

using namespace qlx::engine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const auto entries = ParseListFile(bytes);
    if (ParseOwnedListFile(std::string(bytes)) != entries) {
        std::abort();
    }
    const auto reread = ParseListFile(FormatListFile(NameList(entries)));
    size_t named = 0;
    for (const auto& e : entries) {
        named += e.name.empty() ? 0 : 1;
    }
    if (reread.size() != named) {
        std::abort();
    }

    const auto history = ParseHistoryFile(bytes);
    if (ParseHistoryFile(FormatHistoryFile(history)).size() != history.size()) {
        std::abort();
    }
    return 0;
}
