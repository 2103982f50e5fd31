// Message boxes: MessageBoxW owned by the dialog that shows them. A box without a caption of
// its own shows its text as caption, as on every backend.
#include "platform/win32/backend.h"
#include "platform/win32/text.h"

namespace platform {

int message_box(Window owner, const std::string& text, const char* caption, Buttons buttons)
{
    HWND window = owner && owner->open ? owner->hwnd : nullptr;
    UINT style =
        buttons == Buttons::ok_cancel ? (MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON1) : MB_OK;
    if (!window)
        style |= MB_TASKMODAL;
    const std::wstring shown = win32::to_wide(text);
    const std::wstring title = win32::to_wide(caption ? std::string(caption) : text);
    const int pressed = MessageBoxW(window, shown.c_str(), title.c_str(), style);
    return buttons == Buttons::ok_cancel && pressed == IDCANCEL ? answer_cancel : answer_ok;
}

} // namespace platform
