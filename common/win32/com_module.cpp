#include "common/win32/com_module.h"

namespace qlx {

ComModule& ComModule::Instance() noexcept {
    static ComModule module;
    return module;
}

LONG ComModule::Unlock() noexcept {
    const LONG left = --locks_;
    if (left == 0 && onLastUnlock_) {
        onLastUnlock_();
    }
    return left;
}

} // namespace qlx
