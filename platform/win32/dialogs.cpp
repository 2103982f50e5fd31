// Dialogs over the native dialog manager: building a window from a template, the modal and
// modeless runs, ending a dialog, the program icon, and the one procedure through which the
// dialog manager reaches the program's dialog procedure.
//
// A modal dialog is a modeless dialog box with a message loop of its own that disables no
// window: the dialogs opened earlier stay usable (every modal dialog is owned by the main
// dialog, and the subject forms rely on the subject list staying live), the loops nest on
// the stack, and a runner returns only after every dialog opened inside it has returned.
// Each message goes through IsDialogMessageW of the dialog it is for, so Tab, Enter, Escape
// and the arrow keys work in every open dialog exactly as the dialog manager gives them.
#include "platform/win32/backend.h"
#include "platform/win32/text.h"
#include "resources/ids.h"

#include <commctrl.h>

#include <memory>

namespace win32 {
namespace {

static_assert(ids::program_icon == 10001, "vendrel.rc names the icon 10001");

// Every record made so far, oldest first; never freed, so handles stay valid.
std::vector<std::unique_ptr<WindowRecord>>& all_windows()
{
    static std::vector<std::unique_ptr<WindowRecord>> windows;
    return windows;
}

struct ProgramIcon {
    HICON large = nullptr;
    HICON small = nullptr;
};

ProgramIcon& program_icon()
{
    static ProgramIcon icon;
    return icon;
}

int program_changes = 0;

// What CreateDialogIndirectParamW hands to the first message.
struct Creation {
    WindowRecord* record;
    intptr_t init_param;
};

void show_icon(HWND window)
{
    const ProgramIcon& icon = program_icon();
    if (window && icon.large) {
        SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon.large));
        SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon.small));
    }
}

intptr_t send(WindowRecord* dialog, unsigned message, uintptr_t wparam, intptr_t lparam)
{
    if (!dialog || !dialog->open || !dialog->procedure)
        return 0;
    return dialog->procedure(dialog, message, wparam, lparam);
}

// Notifications of a control that the program's own change made.
bool echo_of_program_change(WPARAM wparam)
{
    const unsigned notification = HIWORD(wparam);
    return program_changes > 0 && (notification == EN_CHANGE || notification == LBN_SELCHANGE ||
                                   notification == CBN_SELCHANGE || notification == EN_UPDATE);
}

INT_PTR CALLBACK dialog_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_INITDIALOG) {
        const Creation* creation = reinterpret_cast<const Creation*>(lparam);
        WindowRecord* record = creation->record;
        record->hwnd = window;
        SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(record));
        show_icon(window);
        // Non-zero: the dialog manager gives the focus to the first control with a tab stop.
        return send(record, platform::msg_init_dialog, 0, creation->init_param) != 0;
    }
    auto* record = reinterpret_cast<WindowRecord*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!record)
        return FALSE;
    switch (message) {
    case WM_COMMAND:
        if (lparam != 0 && echo_of_program_change(wparam))
            return TRUE;
        // A control's handle says a control sent it; the procedure only asks whether one did.
        send(record, platform::msg_command, wparam, lparam != 0 ? 1 : 0);
        return TRUE;
    case WM_CLOSE:
        send(record, platform::msg_close, 0, 0);
        return TRUE;
    case WM_TIMER:
        send(record, platform::msg_timer, wparam, 0);
        return TRUE;
    case WM_VKEYTOITEM:
        // Returned as it is: a line to move to, or -1 for the list box's own handling.
        return static_cast<INT_PTR>(send(record, platform::msg_vkey_to_item, wparam, 0));
    case WM_DESTROY:
        record->open = false;
        return FALSE;
    default:
        return FALSE;
    }
}

WindowRecord* build_dialog(int template_id, WindowRecord* owner, platform::DialogProc procedure,
                           bool modal, intptr_t init_param)
{
    all_windows().push_back(std::make_unique<WindowRecord>());
    WindowRecord* record = all_windows().back().get();
    record->template_id = template_id;
    record->procedure = procedure;
    record->owner = owner;
    record->modal = modal;

    const std::vector<DWORD> memory = build_dialog_template(template_id);
    if (memory.empty()) {
        record->open = false;
        record->ended = true;
        return record;
    }
    Creation creation{record, init_param};
    HWND owner_window = owner && owner->open ? owner->hwnd : nullptr;
    HWND window = CreateDialogIndirectParamW(
        GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(memory.data()),
        owner_window, dialog_procedure, reinterpret_cast<LPARAM>(&creation));
    if (!window) {
        record->open = false;
        record->ended = true;
    }
    return record;
}

void close_record(WindowRecord* record)
{
    if (record->open && record->hwnd)
        DestroyWindow(record->hwnd); // WM_DESTROY marks the record closed
    record->open = false;
}

void show(WindowRecord* record)
{
    ShowWindow(record->hwnd, SW_SHOWNORMAL);
    SetForegroundWindow(record->hwnd);
}

// The dialog a message is for: the top-level window of its target, if it is one of ours.
HWND dialog_of(const MSG& message)
{
    if (!message.hwnd)
        return nullptr;
    HWND top = GetAncestor(message.hwnd, GA_ROOT);
    return top && GetWindowLongPtrW(top, DWLP_USER) && GetWindowLongPtrW(top, DWLP_DLGPROC)
               ? top
               : nullptr;
}

void run_messages_until_ended(WindowRecord* record)
{
    MSG message;
    while (!record->ended) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            // WM_QUIT ends every loop: say it again for the loop below this one.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (got < 0)
            return;
        HWND dialog = dialog_of(message);
        if (dialog && IsDialogMessageW(dialog, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace

HWND control_window(WindowRecord* dialog, int control_id)
{
    if (!dialog || !dialog->open || !dialog->hwnd)
        return nullptr;
    return GetDlgItem(dialog->hwnd, control_id);
}

const resources::ControlTemplate* control_template(const WindowRecord* dialog, int control_id)
{
    const resources::DialogTemplate* t =
        dialog ? resources::find_dialog_template(dialog->template_id) : nullptr;
    for (int i = 0; t && i < t->control_count; ++i)
        if (t->controls[i].id == control_id)
            return &t->controls[i];
    return nullptr;
}

ProgramChange::ProgramChange()
{
    ++program_changes;
}

ProgramChange::~ProgramChange()
{
    --program_changes;
}

bool program_is_changing()
{
    return program_changes > 0;
}

} // namespace win32

namespace platform {

void start(int&, char**)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
}

int run_modal_dialog(int template_id, Window owner, DialogProc procedure, intptr_t init_param)
{
    WindowRecord* record = win32::build_dialog(template_id, owner, procedure, true, init_param);
    if (!record->ended && record->open) {
        win32::show(record);
        win32::run_messages_until_ended(record);
    }
    win32::close_record(record);
    // The owner comes back to the front, as after the dialog manager's own modal dialogs.
    if (owner && owner->open && owner->hwnd && IsWindowVisible(owner->hwnd))
        SetForegroundWindow(owner->hwnd);
    return record->result;
}

Window create_modeless_dialog(int template_id, Window owner, DialogProc procedure,
                              intptr_t init_param)
{
    WindowRecord* record = win32::build_dialog(template_id, owner, procedure, false, init_param);
    if (record->ended)
        win32::close_record(record);
    else if (record->open)
        win32::show(record);
    return record;
}

void end_dialog(Window dialog, int result)
{
    if (!dialog || dialog->ended)
        return;
    dialog->ended = true;
    dialog->result = result;
    if (!dialog->modal) {
        win32::close_record(dialog);
        return;
    }
    // The runner destroys the window once its loop returns, which waits for any loop that
    // is nested inside it; until then the dialog is out of sight but its controls answer.
    if (dialog->open && dialog->hwnd)
        ShowWindow(dialog->hwnd, SW_HIDE);
    // Wakes the loop when the ending came from a message sent to us rather than posted.
    PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

void set_timer(Window dialog, int timer_id, int interval_ms)
{
    if (dialog && dialog->open && dialog->hwnd)
        SetTimer(dialog->hwnd, static_cast<UINT_PTR>(timer_id), static_cast<UINT>(interval_ms),
                 nullptr);
}

void kill_timer(Window dialog, int timer_id)
{
    if (dialog && dialog->hwnd)
        KillTimer(dialog->hwnd, static_cast<UINT_PTR>(timer_id));
}

int dialog_template(Window dialog)
{
    return dialog ? dialog->template_id : -1;
}

void set_dialog_icon(Window dialog, int icon_id)
{
    win32::ProgramIcon& icon = win32::program_icon();
    if (!icon.large) {
        HINSTANCE program = GetModuleHandleW(nullptr);
        icon.large = static_cast<HICON>(LoadImageW(program, MAKEINTRESOURCEW(icon_id), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXICON),
                                                   GetSystemMetrics(SM_CYICON), LR_SHARED));
        icon.small = static_cast<HICON>(LoadImageW(program, MAKEINTRESOURCEW(icon_id), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    }
    for (const auto& record : win32::all_windows())
        if (record->open)
            win32::show_icon(record->hwnd);
    if (dialog && dialog->open)
        win32::show_icon(dialog->hwnd);
}

} // namespace platform
