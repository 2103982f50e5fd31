// What the Win32 dialog backend keeps behind a dialog handle, and the helpers its files
// share. Private to platform/win32: nothing outside this folder sees a Win32 type.
#pragma once

#include "platform/platform.h"
#include "resources/templates.h"

#include <windows.h>

#include <vector>

namespace platform {

// A record lives for the rest of the process, so a handle the program keeps after its
// dialog has gone stays harmless: every call on it finds no window and does nothing.
struct WindowRecord {
    HWND hwnd = nullptr;
    int template_id = -1;
    DialogProc procedure = nullptr;
    WindowRecord* owner = nullptr;
    bool modal = false;
    bool open = true;   // until its window is destroyed
    bool ended = false; // end_dialog was called
    int result = 0;
};

} // namespace platform

namespace win32 {

using platform::WindowRecord;

// The in-memory dialog template (DLGTEMPLATE and its items) of a template id, ready for
// CreateDialogIndirectParamW; empty when there is no such template.
std::vector<DWORD> build_dialog_template(int template_id);

// The window of a control of an open dialog, or nullptr.
HWND control_window(WindowRecord* dialog, int control_id);

// The template of a control of a dialog, or nullptr.
const resources::ControlTemplate* control_template(const WindowRecord* dialog, int control_id);

// While one of these lives, notifications that the program's own changes make a control send
// (an edit's change, a selection change) do not reach the dialog procedure: it hears only
// about what a person did, as on the other backends.
struct ProgramChange {
    ProgramChange();
    ~ProgramChange();
    ProgramChange(const ProgramChange&) = delete;
    ProgramChange& operator=(const ProgramChange&) = delete;
};
bool program_is_changing();

} // namespace win32
