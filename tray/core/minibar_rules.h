#pragma once
// The minibar's rules: where it sits, where its buttons go in the full and
// compact layouts, and the menu it opens.
#include <array>
#include <cstdint>

namespace qlx::tray {

struct ScreenPoint {
    int x = 0;
    int y = 0;
    bool operator==(const ScreenPoint&) const = default;
};

// `minibar_dx` counts from the right edge of the full-screen client area to
// the minibar's left edge; a distance wider than the screen puts the
// minibar off the left edge, and that is kept. Both values are stored as
// unsigned 32-bit numbers; an edge above or left of the screen (dragged
// there) goes through them as its two's complement and comes back equal.
ScreenPoint MiniBarPosition(int fullScreenWidth, uint32_t minibarDx, uint32_t minibarDy);
struct StoredPosition {
    uint32_t dx = 0;
    uint32_t dy = 0;
    bool operator==(const StoredPosition&) const = default;
};
StoredPosition StoreMiniBarPosition(int fullScreenWidth, ScreenPoint topLeft);

inline constexpr int kMiniBarWidth = 252;
inline constexpr int kMiniBarHeight = 34;

enum class MiniBarButton { Main, Task, Enable, Info, Close, Left };

struct ButtonPlace {
    MiniBarButton button;
    int control;
    int x, y, width, height;
    int bitmap;
    int tip; // string number
};

// The six buttons in the layout; the Enable button's bitmap and tip follow
// the blocking state.
std::array<ButtonPlace, 6> MiniBarLayout(bool compact, bool blocking);
// The window's shape.
int MiniBarShapeBitmap(bool compact);

// One item of the minibar menu (a command of zero is the separator).
struct MenuItem {
    int text;    // string number
    int command; // command identifier
    int icon;    // bitmap number
};
inline constexpr int kHelpCommand = 0xE146;
inline constexpr std::array<MenuItem, 7> kMiniBarMenu = {{
    {162, 0x800A, 207}, // About
    {161, kHelpCommand, 209},
    {160, 0x8008, 212}, // Update
    {159, 0x800B, 211}, // Settings...
    {158, 0x800D, 210}, // Last popup
    {0, 0, 0},
    {163, 0x8009, 208}, // Exit
}};

} // namespace qlx::tray
