#pragma once
// Reopening a blocked pop-up in a new window of the browser, one thread per
// entry; each thread gets its own copy of the entry and the options.
#include "tray/core/history.h"

namespace qlx::tray {

class CSettings;

// Starts the thread and returns at once; a thread that cannot start, or a
// browser object that cannot be created, has no effect.
void ReopenPopup(const CHistoryEntry& entry, const CSettings& settings);

} // namespace qlx::tray
