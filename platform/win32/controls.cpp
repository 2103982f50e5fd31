// The program's calls on controls: texts, enabling, focus, button looks, list boxes and
// combo boxes, over the real EDIT, BUTTON, STATIC, LISTBOX and COMBOBOX controls. Sorted
// lists and prefix searches follow text_rules.h rather than the controls' own collation, so
// every backend orders and finds lines alike.
#include "platform/text_rules.h"
#include "platform/win32/backend.h"
#include "platform/win32/text.h"

namespace win32 {
namespace {

using resources::ControlKind;

struct ListMessages {
    UINT reset, insert, count, get_selection, set_selection, text_length, text;
};
constexpr ListMessages list_messages = {LB_RESETCONTENT, LB_INSERTSTRING, LB_GETCOUNT, LB_GETCURSEL,
                                        LB_SETCURSEL,    LB_GETTEXTLEN,   LB_GETTEXT};
constexpr ListMessages combo_messages = {CB_RESETCONTENT, CB_INSERTSTRING, CB_GETCOUNT,
                                         CB_GETCURSEL,    CB_SETCURSEL,    CB_GETLBTEXTLEN,
                                         CB_GETLBTEXT};

// A list or combo box of an open dialog with the messages that speak to it, or nothing.
struct Lines {
    HWND window = nullptr;
    const ListMessages* messages = nullptr;
    bool sorted = false;

    explicit operator bool() const { return window != nullptr; }
    LRESULT send(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const
    {
        return SendMessageW(window, message, wparam, lparam);
    }
    int count() const { return static_cast<int>(send(messages->count)); }
    std::string text(int index) const
    {
        const LRESULT length = send(messages->text_length, static_cast<WPARAM>(index));
        if (length <= 0)
            return std::string();
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        const LRESULT copied =
            send(messages->text, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
        return copied > 0 ? to_utf8(text.data(), static_cast<int>(copied)) : std::string();
    }
    int insert(int index, const std::string& line) const
    {
        const std::wstring wide = to_wide(line);
        const ProgramChange quiet;
        const LRESULT at = send(messages->insert, static_cast<WPARAM>(index),
                                reinterpret_cast<LPARAM>(wide.c_str()));
        return at < 0 ? -1 : static_cast<int>(at);
    }
    void select(int index) const
    {
        const ProgramChange quiet;
        send(messages->set_selection,
             static_cast<WPARAM>(index >= 0 && index < count() ? index : -1));
    }
};

Lines lines_of(WindowRecord* dialog, int control_id, ControlKind kind)
{
    const resources::ControlTemplate* c = control_template(dialog, control_id);
    HWND window = control_window(dialog, control_id);
    if (!c || c->kind != kind || !window)
        return Lines{};
    return Lines{window, kind == ControlKind::list_box ? &list_messages : &combo_messages,
                 (c->style & resources::style_sorted) != 0};
}

// Where line goes in a sorted list: after every line that does not sort after it.
int sorted_position(const Lines& lines, const std::string& line)
{
    int low = 0;
    int high = lines.count();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (platform::compare_folded(lines.text(middle), line) <= 0)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

int add_line(const Lines& lines, const std::string& line)
{
    if (!lines)
        return -1;
    return lines.insert(lines.sorted ? sorted_position(lines, line) : -1, line);
}

// Appends texts in one pass with the list's drawing off (turning it on again would also show
// a list that was hidden, so only a visible one is turned off), its storage made once.
void append_lines(const Lines& lines, const std::vector<std::string>& texts)
{
    const bool visible = (GetWindowLongPtrW(lines.window, GWL_STYLE) & WS_VISIBLE) != 0;
    if (visible)
        lines.send(WM_SETREDRAW, FALSE);
    std::size_t bytes = 0;
    for (const std::string& text : texts)
        bytes += (text.size() + 1) * sizeof(wchar_t);
    lines.send(LB_INITSTORAGE, texts.size(), static_cast<LPARAM>(bytes));
    for (const std::string& text : texts)
        lines.insert(-1, text);
    if (visible) {
        lines.send(WM_SETREDRAW, TRUE);
        InvalidateRect(lines.window, nullptr, TRUE);
    }
}

int find_prefix(const Lines& lines, int start, const std::string& prefix)
{
    const int count = lines ? lines.count() : 0;
    for (int step = 0; step < count; ++step) {
        const int line = platform::search_line(start, count, step);
        if (platform::starts_with_folded(lines.text(line), prefix))
            return line;
    }
    return -1;
}

} // namespace
} // namespace win32

namespace platform {

using resources::ControlKind;
using win32::control_window;
using win32::lines_of;

int item_text_length(Window dialog, int control_id)
{
    return static_cast<int>(item_text(dialog, control_id).size()); // bytes, as stored
}

std::string item_text(Window dialog, int control_id)
{
    HWND window = control_window(dialog, control_id);
    if (!window)
        return std::string();
    const int length = GetWindowTextLengthW(window);
    if (length <= 0)
        return std::string();
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    return win32::to_utf8(text.data(), copied);
}

void set_item_text(Window dialog, int control_id, const std::string& text)
{
    if (HWND window = control_window(dialog, control_id)) {
        const win32::ProgramChange quiet;
        SetWindowTextW(window, win32::to_wide(text).c_str());
    }
}

void enable_item(Window dialog, int control_id, bool enable)
{
    if (HWND window = control_window(dialog, control_id))
        EnableWindow(window, enable ? TRUE : FALSE);
}

bool item_enabled(Window dialog, int control_id)
{
    HWND window = control_window(dialog, control_id);
    return window && IsWindowEnabled(window);
}

void set_focus(Window dialog, int control_id)
{
    if (!dialog || !dialog->open || !dialog->hwnd)
        return;
    if (control_id == 0) {
        SetFocus(dialog->hwnd);
        return;
    }
    // Through the dialog manager, so the default button follows the focus as it should.
    if (HWND window = control_window(dialog, control_id))
        SendMessageW(dialog->hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(window), TRUE);
}

void set_button_style(Window dialog, int control_id, unsigned style)
{
    HWND window = control_window(dialog, control_id);
    if (!window)
        return;
    // The program's flat look is the button's BS_FLAT; the rest of its style stays.
    LONG_PTR bits = GetWindowLongPtrW(window, GWL_STYLE);
    bits =
        (style & button_style_flat) ? (bits | BS_FLAT) : (bits & ~static_cast<LONG_PTR>(BS_FLAT));
    SetWindowLongPtrW(window, GWL_STYLE, bits);
    InvalidateRect(window, nullptr, TRUE);
}

// --- list boxes ---------------------------------------------------------------------

void list_reset(Window dialog, int control_id)
{
    if (auto lines = lines_of(dialog, control_id, ControlKind::list_box)) {
        const win32::ProgramChange quiet;
        lines.send(LB_RESETCONTENT);
    }
}

int list_add(Window dialog, int control_id, const std::string& text)
{
    return win32::add_line(lines_of(dialog, control_id, ControlKind::list_box), text);
}

int list_insert(Window dialog, int control_id, int index, const std::string& text)
{
    auto lines = lines_of(dialog, control_id, ControlKind::list_box);
    if (!lines)
        return -1;
    if (index < 0 || index > lines.count())
        index = -1; // the end
    return lines.insert(index, text);
}

int list_add_lines(Window dialog, int control_id, const std::vector<std::string>& added)
{
    auto lines = lines_of(dialog, control_id, ControlKind::list_box);
    if (!lines)
        return -1;
    if (!lines.sorted) {
        win32::append_lines(lines, added);
        return lines.count();
    }
    // Put in whole: the existing lines and the new ones in the order the list keeps.
    std::vector<std::string> held;
    for (int i = 0, count = lines.count(); i < count; ++i)
        held.push_back(lines.text(i));
    const int selection = static_cast<int>(lines.send(LB_GETCURSEL));
    std::vector<std::string> merged;
    int selected = -1;
    for (int from : platform::sorted_order(held, added)) {
        if (from == selection)
            selected = static_cast<int>(merged.size());
        const int count = static_cast<int>(held.size());
        merged.push_back(from < count ? held[from] : added[from - count]);
    }
    {
        const win32::ProgramChange quiet;
        lines.send(LB_RESETCONTENT);
    }
    win32::append_lines(lines, merged);
    lines.select(selected);
    return lines.count();
}

int list_count(Window dialog, int control_id)
{
    auto lines = lines_of(dialog, control_id, ControlKind::list_box);
    return lines ? lines.count() : 0;
}

int list_selection(Window dialog, int control_id)
{
    auto lines = lines_of(dialog, control_id, ControlKind::list_box);
    return lines ? static_cast<int>(lines.send(LB_GETCURSEL)) : -1;
}

void list_set_selection(Window dialog, int control_id, int index)
{
    if (auto lines = lines_of(dialog, control_id, ControlKind::list_box))
        lines.select(index);
}

std::string list_text(Window dialog, int control_id, int index)
{
    auto lines = lines_of(dialog, control_id, ControlKind::list_box);
    if (!lines || index < 0 || index >= lines.count())
        return std::string();
    return lines.text(index);
}

int list_select_prefix(Window dialog, int control_id, int start, const std::string& prefix)
{
    auto lines = lines_of(dialog, control_id, ControlKind::list_box);
    const int line = win32::find_prefix(lines, start, prefix);
    if (line >= 0)
        lines.select(line);
    return line;
}

void list_set_tab_stops(Window dialog, int control_id, const std::vector<int>& stops)
{
    auto lines = lines_of(dialog, control_id, ControlKind::list_box);
    if (!lines)
        return;
    std::vector<INT> units(stops.begin(), stops.end());
    lines.send(LB_SETTABSTOPS, units.size(), reinterpret_cast<LPARAM>(units.data()));
    InvalidateRect(lines.window, nullptr, TRUE);
}

int list_top_line(Window dialog, int control_id)
{
    auto lines = lines_of(dialog, control_id, ControlKind::list_box);
    if (!lines || lines.send(LB_GETCOUNT) <= 0)
        return -1;
    return static_cast<int>(lines.send(LB_GETTOPINDEX));
}

void list_set_top_line(Window dialog, int control_id, int index)
{
    auto lines = lines_of(dialog, control_id, ControlKind::list_box);
    const int count = lines ? static_cast<int>(lines.send(LB_GETCOUNT)) : 0;
    if (count <= 0)
        return;
    lines.send(LB_SETTOPINDEX, static_cast<WPARAM>(index < 0       ? 0
                                                   : index < count ? index
                                                                   : count - 1));
}

// --- combo boxes --------------------------------------------------------------------

void combo_reset(Window dialog, int control_id)
{
    if (auto lines = lines_of(dialog, control_id, ControlKind::combo_box)) {
        const win32::ProgramChange quiet;
        lines.send(CB_RESETCONTENT);
    }
}

int combo_add(Window dialog, int control_id, const std::string& text)
{
    return win32::add_line(lines_of(dialog, control_id, ControlKind::combo_box), text);
}

int combo_count(Window dialog, int control_id)
{
    auto lines = lines_of(dialog, control_id, ControlKind::combo_box);
    return lines ? lines.count() : 0;
}

int combo_selection(Window dialog, int control_id)
{
    auto lines = lines_of(dialog, control_id, ControlKind::combo_box);
    return lines ? static_cast<int>(lines.send(CB_GETCURSEL)) : -1;
}

void combo_set_selection(Window dialog, int control_id, int index)
{
    if (auto lines = lines_of(dialog, control_id, ControlKind::combo_box))
        lines.select(index);
}

std::string combo_text(Window dialog, int control_id, int index)
{
    auto lines = lines_of(dialog, control_id, ControlKind::combo_box);
    if (!lines || index < 0 || index >= lines.count())
        return std::string();
    return lines.text(index);
}

int combo_find_prefix(Window dialog, int control_id, int start, const std::string& prefix)
{
    return win32::find_prefix(lines_of(dialog, control_id, ControlKind::combo_box), start, prefix);
}

} // namespace platform
