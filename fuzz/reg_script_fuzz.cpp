// Registration scripts come from our own resources, but the parser must still
// survive any text: parse it, and apply and undo what parses.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/core/reg_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const qlx::Replacements table{{"MODULE", "C:\\x.dll"}, {"CLSID", "{C}"}};
    auto script = qlx::ParseRegScript(text, table);
    if (script) {
        qlx::MemoryRegistry registry;
        qlx::ApplyRegScript(*script, registry);
        qlx::UndoRegScript(*script, registry);
    }
    return 0;
}
