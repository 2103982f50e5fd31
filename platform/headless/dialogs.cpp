// The headless dialog backend: dialogs built from the templates into plain records, modal
// loops that wait for the test driver's inputs, and message boxes answered from a queue.
// The driver (driver.cpp) feeds the inputs; this file is what the program calls.
#include "platform/headless/state.h"
#include "platform/text_rules.h"

#include <algorithm>

namespace headless::detail {

Backend& backend()
{
    static Backend instance;
    return instance;
}

void run_inputs_until(const std::function<bool()>& stop)
{
    Backend& b = backend();
    for (;;) {
        std::function<void()> input;
        {
            std::unique_lock<std::mutex> lock(b.mutex);
            if (stop() || b.stopping)
                return;
            b.waiting = true;
            b.changed.notify_all();
            b.changed.wait(lock, [&] { return !b.inputs.empty() || b.stopping; });
            b.waiting = false;
            if (b.stopping)
                return;
            input = std::move(b.inputs.front());
            b.inputs.pop_front();
            ++b.taken;
        }
        input();
    }
}

Control* find_control(WindowRecord* dialog, int control_id)
{
    if (!dialog || !dialog->open)
        return nullptr;
    for (Control& control : dialog->controls)
        if (control.id == control_id)
            return &control;
    return nullptr;
}

intptr_t send(WindowRecord* dialog, unsigned message, uintptr_t wparam, intptr_t lparam)
{
    if (!dialog || !dialog->open || !dialog->procedure)
        return 0;
    return dialog->procedure(dialog, message, wparam, lparam);
}

} // namespace headless::detail

namespace platform {

using headless::detail::backend;
using headless::detail::find_control;
using headless::detail::send;
using resources::ControlKind;

namespace {

Window build_dialog(int template_id, Window owner, DialogProc procedure, bool modal)
{
    auto record = std::make_unique<WindowRecord>();
    record->template_id = template_id;
    record->procedure = procedure;
    record->owner = owner;
    record->modal = modal;
    record->icon = backend().icon;
    if (const resources::DialogTemplate* t = resources::find_dialog_template(template_id)) {
        for (int i = 0; i < t->control_count; ++i) {
            const resources::ControlTemplate& c = t->controls[i];
            Control control;
            control.id = c.id;
            control.kind = c.kind;
            control.style = c.style;
            // A line of the dialog font is about eight dialog units high.
            control.page_lines = std::max(c.height / 8, 1);
            if (c.caption && c.kind != ControlKind::list_box && c.kind != ControlKind::combo_box)
                control.text = c.caption;
            record->controls.push_back(control);
        }
    }
    Window window = record.get();
    backend().windows.push_back(std::move(record));
    return window;
}

bool takes_focus(const Control& control)
{
    if (control.kind == ControlKind::static_text || !control.enabled)
        return false;
    return !(control.style & resources::style_no_tab_stop);
}

// After a handled initialisation the first control with a tab stop gets the focus.
void initialise(Window dialog, intptr_t init_param)
{
    if (send(dialog, msg_init_dialog, 0, init_param) == 0 || dialog->ended)
        return;
    for (std::size_t i = 0; i < dialog->controls.size(); ++i) {
        if (takes_focus(dialog->controls[i])) {
            dialog->focus = static_cast<int>(i);
            return;
        }
    }
}

void close_record(Window dialog)
{
    dialog->open = false;
}

Control* list_control(Window dialog, int control_id, ControlKind kind)
{
    Control* control = find_control(dialog, control_id);
    return control && control->kind == kind ? control : nullptr;
}

int insert_line(Control* control, int index, const std::string& text)
{
    const int count = static_cast<int>(control->lines.size());
    if (index < 0 || index > count)
        index = count;
    control->lines.insert(control->lines.begin() + index, text);
    if (control->selection >= index)
        ++control->selection;
    return index;
}

int add_line(Control* control, const std::string& text)
{
    int index = static_cast<int>(control->lines.size());
    if (control->style & resources::style_sorted) {
        index = 0;
        while (index < static_cast<int>(control->lines.size()) &&
               compare_folded(control->lines[index], text) <= 0)
            ++index;
    }
    return insert_line(control, index, text);
}

int find_prefix(const Control* control, int start, const std::string& prefix)
{
    const int count = static_cast<int>(control->lines.size());
    for (int step = 0; step < count; ++step) {
        const int line = search_line(start, count, step);
        if (starts_with_folded(control->lines[line], prefix))
            return line;
    }
    return -1;
}

} // namespace

void start(int&, char**) {}

int run_modal_dialog(int template_id, Window owner, DialogProc procedure, intptr_t init_param)
{
    Window dialog = build_dialog(template_id, owner, procedure, true);
    initialise(dialog, init_param);
    headless::detail::run_inputs_until([dialog] { return dialog->ended; });
    close_record(dialog);
    return dialog->result;
}

Window create_modeless_dialog(int template_id, Window owner, DialogProc procedure,
                              intptr_t init_param)
{
    Window dialog = build_dialog(template_id, owner, procedure, false);
    initialise(dialog, init_param);
    if (dialog->ended)
        close_record(dialog);
    return dialog;
}

void end_dialog(Window dialog, int result)
{
    if (!dialog || dialog->ended)
        return;
    dialog->ended = true;
    dialog->result = result;
    if (!dialog->modal)
        close_record(dialog);
}

int dialog_template(Window dialog)
{
    return dialog ? dialog->template_id : -1;
}

void set_dialog_icon(Window dialog, int icon_id)
{
    backend().icon = icon_id;
    for (auto& record : backend().windows)
        record->icon = icon_id;
    if (dialog)
        dialog->icon = icon_id;
}

int item_text_length(Window dialog, int control_id)
{
    const Control* control = find_control(dialog, control_id);
    return control ? static_cast<int>(control->text.size()) : 0;
}

std::string item_text(Window dialog, int control_id)
{
    const Control* control = find_control(dialog, control_id);
    return control ? control->text : std::string();
}

void set_item_text(Window dialog, int control_id, const std::string& text)
{
    if (Control* control = find_control(dialog, control_id))
        control->text = text;
}

void enable_item(Window dialog, int control_id, bool enable)
{
    if (Control* control = find_control(dialog, control_id))
        control->enabled = enable;
}

bool item_enabled(Window dialog, int control_id)
{
    const Control* control = find_control(dialog, control_id);
    return control && control->enabled;
}

void set_focus(Window dialog, int control_id)
{
    if (!dialog)
        return;
    dialog->focus = -1;
    for (std::size_t i = 0; i < dialog->controls.size(); ++i)
        if (dialog->controls[i].id == control_id)
            dialog->focus = static_cast<int>(i);
}

void set_button_style(Window dialog, int control_id, unsigned style)
{
    if (Control* control = find_control(dialog, control_id))
        control->button_style = style;
}

void list_reset(Window dialog, int control_id)
{
    if (Control* control = list_control(dialog, control_id, ControlKind::list_box)) {
        control->lines.clear();
        control->selection = -1;
        control->top_line = 0;
    }
}

int list_add(Window dialog, int control_id, const std::string& text)
{
    Control* control = list_control(dialog, control_id, ControlKind::list_box);
    return control ? add_line(control, text) : -1;
}

int list_insert(Window dialog, int control_id, int index, const std::string& text)
{
    Control* control = list_control(dialog, control_id, ControlKind::list_box);
    return control ? insert_line(control, index, text) : -1;
}

int list_add_lines(Window dialog, int control_id, const std::vector<std::string>& lines)
{
    Control* control = list_control(dialog, control_id, ControlKind::list_box);
    if (!control)
        return -1;
    if (!(control->style & resources::style_sorted)) {
        control->lines.insert(control->lines.end(), lines.begin(), lines.end());
        return static_cast<int>(control->lines.size());
    }
    const std::vector<int> order = sorted_order(control->lines, lines);
    std::vector<std::string> merged;
    merged.reserve(order.size());
    int selection = -1;
    for (int from : order) {
        if (from == control->selection)
            selection = static_cast<int>(merged.size());
        const int held = static_cast<int>(control->lines.size());
        merged.push_back(from < held ? control->lines[from] : lines[from - held]);
    }
    control->lines = std::move(merged);
    control->selection = selection;
    return static_cast<int>(control->lines.size());
}

int list_count(Window dialog, int control_id)
{
    const Control* control = list_control(dialog, control_id, ControlKind::list_box);
    return control ? static_cast<int>(control->lines.size()) : 0;
}

int list_selection(Window dialog, int control_id)
{
    const Control* control = list_control(dialog, control_id, ControlKind::list_box);
    return control ? control->selection : -1;
}

void list_set_selection(Window dialog, int control_id, int index)
{
    if (Control* control = list_control(dialog, control_id, ControlKind::list_box))
        control->selection =
            (index >= 0 && index < static_cast<int>(control->lines.size())) ? index : -1;
}

int list_top_line(Window dialog, int control_id)
{
    const Control* control = list_control(dialog, control_id, ControlKind::list_box);
    return control && !control->lines.empty() ? control->top_line : -1;
}

void list_set_top_line(Window dialog, int control_id, int index)
{
    Control* control = list_control(dialog, control_id, ControlKind::list_box);
    if (!control || control->lines.empty())
        return;
    // As far as the list scrolls: its last page ends with its last line.
    const int last_top = std::max(0, static_cast<int>(control->lines.size()) - control->page_lines);
    control->top_line = std::clamp(index, 0, last_top);
}

void set_timer(Window dialog, int timer_id, int)
{
    if (dialog && dialog->open &&
        std::find(dialog->timers.begin(), dialog->timers.end(), timer_id) == dialog->timers.end())
        dialog->timers.push_back(timer_id);
}

void kill_timer(Window dialog, int timer_id)
{
    if (dialog)
        dialog->timers.erase(std::remove(dialog->timers.begin(), dialog->timers.end(), timer_id),
                             dialog->timers.end());
}

std::string list_text(Window dialog, int control_id, int index)
{
    const Control* control = list_control(dialog, control_id, ControlKind::list_box);
    if (!control || index < 0 || index >= static_cast<int>(control->lines.size()))
        return std::string();
    return control->lines[index];
}

int list_select_prefix(Window dialog, int control_id, int start, const std::string& prefix)
{
    Control* control = list_control(dialog, control_id, ControlKind::list_box);
    if (!control)
        return -1;
    const int line = find_prefix(control, start, prefix);
    if (line >= 0)
        control->selection = line;
    return line;
}

void list_set_tab_stops(Window dialog, int control_id, const std::vector<int>& stops)
{
    if (Control* control = list_control(dialog, control_id, ControlKind::list_box))
        control->tab_stops = stops;
}

void combo_reset(Window dialog, int control_id)
{
    if (Control* control = list_control(dialog, control_id, ControlKind::combo_box)) {
        control->lines.clear();
        control->selection = -1;
    }
}

int combo_add(Window dialog, int control_id, const std::string& text)
{
    Control* control = list_control(dialog, control_id, ControlKind::combo_box);
    return control ? add_line(control, text) : -1;
}

int combo_count(Window dialog, int control_id)
{
    const Control* control = list_control(dialog, control_id, ControlKind::combo_box);
    return control ? static_cast<int>(control->lines.size()) : 0;
}

int combo_selection(Window dialog, int control_id)
{
    const Control* control = list_control(dialog, control_id, ControlKind::combo_box);
    return control ? control->selection : -1;
}

void combo_set_selection(Window dialog, int control_id, int index)
{
    if (Control* control = list_control(dialog, control_id, ControlKind::combo_box))
        control->selection =
            (index >= 0 && index < static_cast<int>(control->lines.size())) ? index : -1;
}

std::string combo_text(Window dialog, int control_id, int index)
{
    const Control* control = list_control(dialog, control_id, ControlKind::combo_box);
    if (!control || index < 0 || index >= static_cast<int>(control->lines.size()))
        return std::string();
    return control->lines[index];
}

int combo_find_prefix(Window dialog, int control_id, int start, const std::string& prefix)
{
    const Control* control = list_control(dialog, control_id, ControlKind::combo_box);
    return control ? find_prefix(control, start, prefix) : -1;
}

int message_box(Window owner, const std::string& text, const char* caption, Buttons buttons)
{
    auto& b = backend();
    int answer = answer_ok;
    if (!b.answers.empty()) {
        answer = b.answers.front();
        b.answers.pop_front();
    }
    if (buttons == Buttons::ok)
        answer = answer_ok;
    b.boxes.push_back(
        {owner, dialog_template(owner), text, caption ? caption : text, buttons, answer});
    return answer;
}

} // namespace platform
