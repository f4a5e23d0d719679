#pragma once
#include "tray/core/local_clock.h"

namespace qlx::tray::testing {

class FakeClock final : public Clock {
public:
    LocalDateTime now{2026, 12, 7, 9, 15, 30};
    LocalDateTime Now() const override { return now; }
};

} // namespace qlx::tray::testing
