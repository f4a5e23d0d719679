#pragma once
// The rules of the settings pages that do not depend on windows: the tip
// seconds field, the override key drop-down and its items.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qlx::tray {

class CSettings;

inline constexpr int32_t kMaxToolTipSeconds = 100;

struct ToolTipSeconds {
    uint32_t value = 0;
    // The text the field must show instead of what was typed ("100" or
    // "0"), or empty when the typed text stands.
    std::string rewrite;
};

// Reads the field as a decimal integer the way the C library does (leading
// blanks and sign, then digits; anything else ends the number) and clamps
// it to 0..100.
ToolTipSeconds ReadToolTipSeconds(std::string_view text);

// The key items of the drop-down, from a ";"-separated text ("Alt;Shift;Ctrl;").
std::vector<std::string> SplitKeyNames(std::string_view text);

// `AllowButtonNumber` for a chosen item: its number (index + 1) while "On
// sequence" is checked, otherwise 0 (the override is off).
uint32_t KeyNumberForSelection(int index, bool onSequence);

// The item to select for `AllowButtonNumber`: number - 1, or -1 (none) for 0
// or a number without an item.
int SelectionForKeyNumber(uint32_t number, size_t itemCount);

// "Cancel": the options as they were when the dialog opened. Pop-ups blocked
// while it was open stay counted: the counters and their day are kept.
void RestoreSnapshot(CSettings& live, const CSettings& snapshot);

} // namespace qlx::tray
