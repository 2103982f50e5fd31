// Reading a dialog field with its length check, the one way every dialog does it: the
// field is measured first, and a text as long as its limit or longer is refused with the
// field's own message before anything is read.
#pragma once

#include "platform/platform.h"

#include <string>

namespace platform {

// Reads control_id of dialog into out when its length is below limit and returns 0.
// Otherwise shows too_long_message (text and caption) owned by dialog, leaves out as it
// was and returns -1.
inline int read_field(Window dialog, int control_id, int limit, const char* too_long_message,
                      std::string* out)
{
    if (item_text_length(dialog, control_id) >= limit) {
        message_box(dialog, too_long_message);
        return -1;
    }
    *out = item_text(dialog, control_id);
    return 0;
}

} // namespace platform
