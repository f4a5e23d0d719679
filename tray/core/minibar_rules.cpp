#include "tray/core/minibar_rules.h"

namespace qlx::tray {

ScreenPoint MiniBarPosition(int fullScreenWidth, uint32_t minibarDx, uint32_t minibarDy) {
    // In 64 bits, so that no distance overflows; the result is cut to the
    // 32-bit screen coordinates the way the stored form wrapped it.
    const int64_t left = static_cast<int64_t>(fullScreenWidth) - static_cast<int32_t>(minibarDx);
    return {static_cast<int>(static_cast<int32_t>(static_cast<uint32_t>(left))),
            static_cast<int32_t>(minibarDy)};
}

StoredPosition StoreMiniBarPosition(int fullScreenWidth, ScreenPoint topLeft) {
    const int64_t dx = static_cast<int64_t>(fullScreenWidth) - topLeft.x;
    return {static_cast<uint32_t>(dx), static_cast<uint32_t>(topLeft.y)};
}

std::array<ButtonPlace, 6> MiniBarLayout(bool compact, bool blocking) {
    const int edge = compact ? 32 : 233;
    return {{
        {MiniBarButton::Main, 1065, 2, 2, 30, 30, 185, 165},
        {MiniBarButton::Task, 1064, 117, 2, 30, 30, 188, 158},
        {MiniBarButton::Enable, 1063, 147, 2, 30, 30, blocking ? 186 : 187, blocking ? 164 : 171},
        {MiniBarButton::Info, 1062, 184, 2, 42, 30, 189, 167},
        {MiniBarButton::Close, 1061, edge, 2, 15, 15, 184, 169},
        {MiniBarButton::Left, 1059, edge, 17, 15, 15, compact ? 183 : 180, 166},
    }};
}

int MiniBarShapeBitmap(bool compact) {
    return compact ? 182 : 181;
}

} // namespace qlx::tray
