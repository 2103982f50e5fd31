// The test driver of the headless backend: starts the program on its own thread and hands
// it one input at a time, each as a piece of work the program thread runs while it waits in
// a modal loop, then waits until the program waits again. Inputs act as a person's would:
// a disabled control cannot be clicked, typing moves the focus, Enter presses the focused
// button.
#include "platform/headless/driver.h"
#include "platform/headless/state.h"
#include "platform/text_rules.h"

#include <algorithm>
#include <memory>
#include <thread>

namespace headless {

using detail::backend;
using detail::Backend;
using detail::find_control;
using detail::send;
using platform::Control;
using resources::ControlKind;

namespace {

// Waits (test thread) until the program waits for input with nothing queued, or has ended.
void wait_until_idle(Backend& b, std::unique_lock<std::mutex>& lock)
{
    b.changed.wait(lock, [&] { return b.ended || (b.waiting && b.taken == b.posted); });
}

// Hands work to the program thread and returns once it is idle again.
void post(std::function<void()> work)
{
    Backend& b = backend();
    std::unique_lock<std::mutex> lock(b.mutex);
    if (b.ended || !b.started)
        return;
    b.inputs.push_back(std::move(work));
    ++b.posted;
    b.changed.notify_all();
    wait_until_idle(b, lock);
}

// A message an input sends to the dialog procedure.
struct Send {
    unsigned message;
    uintptr_t wparam;
    intptr_t lparam;
};
using Plan = std::vector<Send>;

Send command(int control_id, unsigned notification, intptr_t from_control = 1)
{
    return {platform::msg_command, platform::make_command(control_id, notification), from_control};
}

int index_of(Window dialog, const Control* control)
{
    return static_cast<int>(control - dialog->controls.data());
}

// Delivers the messages of an input in order while the dialog stays open.
void deliver(Window dialog, const Plan& plan)
{
    for (const Send& message : plan) {
        if (!dialog->open)
            break;
        send(dialog, message.message, message.wparam, message.lparam);
    }
}

// Runs an input on the program thread. plan looks at the state, changes what the input
// changes (focus, text, selection) and returns the messages to send, or false when the
// input is impossible. Whether it was possible is known before any message is sent, since
// a message may open a modal dialog that keeps the program thread busy after this returns;
// so everything the work touches is held by value.
bool run_input(Window dialog, std::function<bool(Plan*)> plan)
{
    auto possible = std::make_shared<bool>(false);
    post([dialog, plan, possible] {
        if (!dialog->open)
            return;
        Plan messages;
        if (!plan(&messages))
            return;
        *possible = true;
        deliver(dialog, messages);
    });
    return *possible;
}

// An input on one enabled control of the dialog.
bool act(Window dialog, int control_id, std::function<bool(Control&, Plan*)> plan)
{
    return run_input(dialog, [dialog, control_id, plan](Plan* messages) {
        Control* control = find_control(dialog, control_id);
        return control && control->enabled && plan(*control, messages);
    });
}

bool is_list(const Control& control)
{
    return control.kind == ControlKind::list_box;
}

bool notifies(const Control& control)
{
    return control.style & resources::style_notify;
}

bool valid_line(const Control& control, int index)
{
    return index >= 0 && index < static_cast<int>(control.lines.size());
}

// Selects a line as the list itself would, telling the dialog when the list notifies.
void move_selection(Control& control, int index, Plan* messages)
{
    control.selection = index;
    if (notifies(control))
        messages->push_back(command(control.id, platform::notify_selection_change));
}

template <typename T> T read(const std::function<T()>& look)
{
    T value{};
    on_program_thread([&] { value = look(); });
    return value;
}

} // namespace

void start_program(std::function<int()> entry)
{
    Backend& b = backend();
    {
        std::lock_guard<std::mutex> lock(b.mutex);
        b.started = true;
    }
    std::thread([entry = std::move(entry)] {
        const int result = entry();
        Backend& b = backend();
        std::lock_guard<std::mutex> lock(b.mutex);
        b.result = result;
        b.ended = true;
        b.changed.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(b.mutex);
    wait_until_idle(b, lock);
}

bool program_ended()
{
    Backend& b = backend();
    std::lock_guard<std::mutex> lock(b.mutex);
    return b.ended;
}

int program_result()
{
    Backend& b = backend();
    std::lock_guard<std::mutex> lock(b.mutex);
    return b.result;
}

void stop_program()
{
    Backend& b = backend();
    std::unique_lock<std::mutex> lock(b.mutex);
    if (!b.started)
        return;
    b.stopping = true;
    b.changed.notify_all();
    b.changed.wait(lock, [&] { return b.ended; });
}

Window find_dialog(int template_id)
{
    return read<Window>([&]() -> Window {
        auto& windows = backend().windows;
        for (auto it = windows.rbegin(); it != windows.rend(); ++it)
            if ((*it)->open && (*it)->template_id == template_id)
                return it->get();
        return nullptr;
    });
}

std::vector<Window> open_dialogs()
{
    return read<std::vector<Window>>([] {
        std::vector<Window> open;
        for (auto& record : backend().windows)
            if (record->open)
                open.push_back(record.get());
        return open;
    });
}

bool type_text(Window dialog, int control_id, const std::string& text)
{
    return act(dialog, control_id, [dialog, text](Control& control, Plan* messages) {
        if (control.kind != ControlKind::edit || (control.style & resources::style_read_only))
            return false;
        dialog->focus = index_of(dialog, &control);
        control.text = text;
        messages->push_back(command(control.id, platform::notify_edit_change));
        return true;
    });
}

bool click(Window dialog, int control_id)
{
    return act(dialog, control_id, [dialog](Control& control, Plan* messages) {
        if (control.kind != ControlKind::push_button)
            return false;
        dialog->focus = index_of(dialog, &control);
        messages->push_back(command(control.id, platform::notify_clicked));
        return true;
    });
}

bool select_line(Window dialog, int control_id, int index)
{
    return act(dialog, control_id, [dialog, index](Control& control, Plan* messages) {
        if (!is_list(control) || !valid_line(control, index))
            return false;
        dialog->focus = index_of(dialog, &control);
        move_selection(control, index, messages);
        return true;
    });
}

bool double_click_line(Window dialog, int control_id, int index)
{
    return act(dialog, control_id, [dialog, index](Control& control, Plan* messages) {
        if (!is_list(control) || !valid_line(control, index))
            return false;
        dialog->focus = index_of(dialog, &control);
        move_selection(control, index, messages);
        if (notifies(control))
            messages->push_back(command(control.id, platform::notify_double_click));
        return true;
    });
}

bool select_entry(Window dialog, int control_id, int index)
{
    return act(dialog, control_id, [dialog, index](Control& control, Plan* messages) {
        if (control.kind != ControlKind::combo_box || !valid_line(control, index))
            return false;
        dialog->focus = index_of(dialog, &control);
        control.selection = index;
        messages->push_back(command(control.id, platform::notify_selection_change));
        return true;
    });
}

bool press_enter(Window dialog)
{
    return run_input(dialog, [dialog](Plan* messages) {
        if (dialog->focus >= 0) {
            Control& focused = dialog->controls[dialog->focus];
            if (focused.kind == ControlKind::push_button) {
                messages->push_back(command(focused.id, platform::notify_clicked));
                return true;
            }
            if (focused.kind == ControlKind::edit &&
                (focused.style & resources::style_multi_line)) {
                focused.text += "\r\n";
                messages->push_back(command(focused.id, platform::notify_edit_change));
                return true;
            }
        }
        for (const Control& control : dialog->controls) {
            if (control.kind == ControlKind::push_button && control.enabled &&
                (control.style & resources::style_default_button)) {
                messages->push_back(command(control.id, platform::notify_clicked));
                return true;
            }
        }
        messages->push_back(command(platform::id_ok, 0, 0));
        return true;
    });
}

bool press_escape(Window dialog)
{
    return run_input(dialog, [](Plan* messages) {
        messages->push_back(command(platform::id_cancel, 0, 0));
        return true;
    });
}

bool press_key(Window dialog, int control_id, unsigned key)
{
    return act(dialog, control_id, [dialog, key](Control& control, Plan* messages) {
        if (!is_list(control) || !platform::is_list_key(key))
            return false;
        dialog->focus = index_of(dialog, &control);
        const int count = static_cast<int>(control.lines.size());
        if (count == 0)
            return true;
        int line = -1;
        if (control.style & resources::style_wants_keys) {
            // The dialog answers at once; asking it is part of the key, not a later message.
            const int caret = control.selection < 0 ? 0 : control.selection;
            const uintptr_t wparam = (static_cast<uintptr_t>(caret) << 16) | (key & 0xFFFF);
            line = static_cast<int>(send(dialog, platform::msg_vkey_to_item, wparam, 1));
            if (line == -2)
                return true;
        }
        if (line < 0)
            line = platform::list_key_line(key, control.selection, count, control.page_lines);
        if (line >= count)
            return true;
        if (line != control.selection)
            move_selection(control, line, messages);
        return true;
    });
}

bool press_close_box(Window dialog)
{
    return run_input(dialog, [](Plan* messages) {
        messages->push_back({platform::msg_close, 0, 0});
        return true;
    });
}

bool fire_timer(Window dialog, int timer_id)
{
    return run_input(dialog, [dialog, timer_id](Plan* messages) {
        if (std::find(dialog->timers.begin(), dialog->timers.end(), timer_id) ==
            dialog->timers.end())
            return false;
        messages->push_back({platform::msg_timer, static_cast<uintptr_t>(timer_id), 0});
        return true;
    });
}

void answer_next_box(int answer)
{
    on_program_thread([&] { backend().answers.push_back(answer); });
}

std::vector<ShownBox> shown_boxes()
{
    return read<std::vector<ShownBox>>([] { return backend().boxes; });
}

std::vector<ShownBox> take_boxes()
{
    return read<std::vector<ShownBox>>([] {
        Backend& b = backend();
        std::vector<ShownBox> fresh(b.boxes.begin() + b.boxes_taken, b.boxes.end());
        b.boxes_taken = b.boxes.size();
        return fresh;
    });
}

std::string text_of(Window dialog, int control_id)
{
    return read<std::string>([&] {
        const Control* control = find_control(dialog, control_id);
        return control ? control->text : std::string();
    });
}

bool is_enabled(Window dialog, int control_id)
{
    return read<bool>([&] {
        const Control* control = find_control(dialog, control_id);
        return control && control->enabled;
    });
}

std::vector<std::string> lines_of(Window dialog, int control_id)
{
    return read<std::vector<std::string>>([&] {
        const Control* control = find_control(dialog, control_id);
        return control ? control->lines : std::vector<std::string>();
    });
}

int selection_of(Window dialog, int control_id)
{
    return read<int>([&] {
        const Control* control = find_control(dialog, control_id);
        return control ? control->selection : -1;
    });
}

std::vector<int> tab_stops_of(Window dialog, int control_id)
{
    return read<std::vector<int>>([&] {
        const Control* control = find_control(dialog, control_id);
        return control ? control->tab_stops : std::vector<int>();
    });
}

int focused_control(Window dialog)
{
    return read<int>([&] {
        if (!dialog || dialog->focus < 0)
            return 0;
        return dialog->controls[dialog->focus].id;
    });
}

unsigned button_style_of(Window dialog, int control_id)
{
    return read<unsigned>([&] {
        const Control* control = find_control(dialog, control_id);
        return control ? control->button_style : 0u;
    });
}

int icon_of(Window dialog)
{
    return read<int>([&] { return dialog ? dialog->icon : 0; });
}

void on_program_thread(const std::function<void()>& work)
{
    Backend& b = backend();
    {
        std::lock_guard<std::mutex> lock(b.mutex);
        if (b.ended || !b.started) {
            // Nothing runs any more: the records can be read directly.
            work();
            return;
        }
    }
    post(work);
}

} // namespace headless
