// The dialog side of the test hooks: the widgets behind a handle and the open dialogs.
// The message box queue lives with the message boxes.
#include "platform/qt/test_hooks.h"
#include "platform/qt/backend.h"

namespace qt_backend {

QWidget* dialog_widget(platform::Window dialog)
{
    return dialog && dialog->open ? dialog->window.data() : nullptr;
}

int focused_control(platform::Window dialog)
{
    QWidget* window = dialog_widget(dialog);
    QWidget* focus = window ? window->focusWidget() : nullptr;
    if (!focus)
        return 0;
    for (const ControlRecord& control : dialog->controls)
        if (control.widget && (focus == control.widget || control.widget->isAncestorOf(focus)))
            return control.id;
    return 0;
}

std::vector<platform::Window> open_dialogs()
{
    std::vector<platform::Window> open;
    for (WindowRecord* record : all_windows())
        if (record->open && !record->ended && record->window)
            open.push_back(record);
    return open;
}

platform::Window find_dialog(int template_id)
{
    const std::vector<platform::Window> open = open_dialogs();
    for (auto it = open.rbegin(); it != open.rend(); ++it)
        if ((*it)->template_id == template_id)
            return *it;
    return nullptr;
}

} // namespace qt_backend
