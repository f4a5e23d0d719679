#include "common/core/address.h"

namespace qlx {

namespace {

std::string_view AfterLast(std::string_view s, char separator) {
    const size_t pos = s.rfind(separator);
    return pos == std::string_view::npos ? s : s.substr(pos + 1);
}

} // namespace

std::string TrimAddress(std::string_view address) {
    std::string_view s = AfterLast(address, '\x01');
    s = AfterLast(s, '\n');
    s = AfterLast(s, '\r');
    return std::string(s);
}

std::string CutToSite(std::string_view address) {
    const size_t dot = address.find('.');
    if (dot == std::string_view::npos) {
        return std::string(address);
    }
    const size_t slash = address.find('/', dot + 1);
    if (slash == std::string_view::npos) {
        return std::string(address);
    }
    return std::string(address.substr(0, slash));
}

} // namespace qlx
