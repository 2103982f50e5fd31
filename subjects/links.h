// The links dialog: dated links between the current subject and another.
#pragma once

#include "platform/platform.h"

namespace subjects {

void init_links_dialog(platform::Window dialog);
void add_link(platform::Window dialog);
void update_link(platform::Window dialog);
void see_link(platform::Window dialog);
void end_link(platform::Window dialog);
void set_begin_date_now(platform::Window dialog);

} // namespace subjects
