#include "tray/core/text_fill.h"

namespace qlx::tray {

std::string FillPlaceholder(std::string_view format, std::string_view value) {
    const size_t at = format.find("%s");
    if (at == std::string_view::npos) {
        return std::string(format);
    }
    std::string text(format.substr(0, at));
    text += value;
    text += format.substr(at + 2);
    return text;
}

std::string FirstWord(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n\v\f";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const size_t last = text.find_first_of(blanks, first);
    return std::string(text.substr(first, last == std::string_view::npos ? last : last - first));
}

} // namespace qlx::tray
