// The ticket search window: criteria typed into it, results shown in the main list.
#pragma once

#include "platform/platform.h"

namespace tickets {

// Searches with the criteria of search_window and fills the main window's list. Returns 0
// after the list was filled (even when the fill failed), -1 after a refusal.
int search_tickets(platform::Window search_window, platform::Window main_window);

} // namespace tickets
