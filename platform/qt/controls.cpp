// The program's calls on controls: texts, enabling, focus, button looks, list boxes and
// combo boxes. Every change made here is made with the control's signals blocked, so the
// program never hears back about what it did itself; only a person's input reaches the
// dialog procedure (through the connections made in dialogs.cpp).
#include "platform/qt/backend.h"
#include "platform/qt/widgets.h"
#include "platform/text_rules.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>

namespace qt_backend {
namespace {

using resources::ControlKind;

// Multi-line edits speak "\r\n" to the program and "\n" to Qt.
QString lines_to_qt(const std::string& text)
{
    QString lines = to_qt(text);
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return lines;
}

std::string lines_from_qt(QString lines)
{
    lines.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return from_qt(lines);
}

ListBox* list_box(platform::Window dialog, int control_id)
{
    ControlRecord* control = find_control(dialog, control_id);
    if (!control || control->kind != ControlKind::list_box)
        return nullptr;
    return static_cast<ListBox*>(control->widget.data());
}

QComboBox* combo_box(platform::Window dialog, int control_id)
{
    ControlRecord* control = find_control(dialog, control_id);
    if (!control || control->kind != ControlKind::combo_box)
        return nullptr;
    return static_cast<QComboBox*>(control->widget.data());
}

bool sorted(platform::Window dialog, int control_id)
{
    const ControlRecord* control = find_control(dialog, control_id);
    return control && (control->style & resources::style_sorted);
}

// Where text goes in a sorted list: after every line that does not sort after it.
template <typename TextAt> int sorted_position(int count, const std::string& text, TextAt text_at)
{
    int index = 0;
    while (index < count && platform::compare_folded(text_at(index), text) <= 0)
        ++index;
    return index;
}

template <typename TextAt>
int find_prefix(int count, int start, const std::string& prefix, TextAt text_at)
{
    for (int step = 0; step < count; ++step) {
        const int line = platform::search_line(start, count, step);
        if (platform::starts_with_folded(text_at(line), prefix))
            return line;
    }
    return -1;
}

void select_line(ListBox* list, int index)
{
    const QSignalBlocker quiet(list);
    if (index >= 0 && index < list->count()) {
        list->setCurrentRow(index);
        list->scrollToItem(list->item(index));
    } else {
        list->clearSelection();
    }
}

} // namespace
} // namespace qt_backend

namespace platform {

using namespace qt_backend;

int item_text_length(Window dialog, int control_id)
{
    return static_cast<int>(item_text(dialog, control_id).size());
}

std::string item_text(Window dialog, int control_id)
{
    QWidget* widget = control_widget(dialog, control_id);
    if (auto* button = qobject_cast<QPushButton*>(widget))
        return from_qt(button->property("caption").toString());
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return from_qt(edit->text());
    if (auto* edit = qobject_cast<QPlainTextEdit*>(widget))
        return lines_from_qt(edit->toPlainText());
    if (auto* label = qobject_cast<QLabel*>(widget))
        return from_qt(label->property("caption").toString());
    return std::string();
}

void set_item_text(Window dialog, int control_id, const std::string& text)
{
    ControlRecord* control = find_control(dialog, control_id);
    if (!control)
        return;
    QWidget* widget = control->widget;
    const QSignalBlocker quiet(widget);
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        const QString caption = to_qt(text);
        button->setProperty("caption", caption);
        button->setText((control->style & resources::style_caption_lines)
                            ? wrap_caption(caption, button->fontMetrics(), button->width() - 6)
                            : shown_caption(caption));
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(to_qt(text));
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) {
        edit->setPlainText(lines_to_qt(text));
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setProperty("caption", to_qt(text));
        label->setText(shown_caption(to_qt(text)));
    }
}

void enable_item(Window dialog, int control_id, bool enable)
{
    if (QWidget* widget = control_widget(dialog, control_id))
        widget->setEnabled(enable);
}

bool item_enabled(Window dialog, int control_id)
{
    QWidget* widget = control_widget(dialog, control_id);
    return widget && widget->isEnabled();
}

void set_focus(Window dialog, int control_id)
{
    if (!dialog || !dialog->open || !dialog->window)
        return;
    if (control_id == 0) {
        dialog->window->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (QWidget* widget = control_widget(dialog, control_id))
        widget->setFocus(Qt::OtherFocusReason);
}

void set_button_style(Window dialog, int control_id, unsigned style)
{
    if (auto* button = qobject_cast<QPushButton*>(control_widget(dialog, control_id)))
        button->setFlat(style & button_style_flat);
}

// --- list boxes ---------------------------------------------------------------------

void list_reset(Window dialog, int control_id)
{
    if (ListBox* list = list_box(dialog, control_id)) {
        const QSignalBlocker quiet(list);
        list->clear();
    }
}

int list_add(Window dialog, int control_id, const std::string& text)
{
    ListBox* list = list_box(dialog, control_id);
    if (!list)
        return -1;
    int index = list->count();
    if (sorted(dialog, control_id))
        index = sorted_position(list->count(), text,
                                [list](int i) { return from_qt(list->item(i)->text()); });
    const QSignalBlocker quiet(list);
    list->insertItem(index, to_qt(text));
    return index;
}

int list_insert(Window dialog, int control_id, int index, const std::string& text)
{
    ListBox* list = list_box(dialog, control_id);
    if (!list)
        return -1;
    if (index < 0 || index > list->count())
        index = list->count();
    const QSignalBlocker quiet(list);
    list->insertItem(index, to_qt(text));
    return index;
}

int list_add_lines(Window dialog, int control_id, const std::vector<std::string>& lines)
{
    ListBox* list = list_box(dialog, control_id);
    if (!list)
        return -1;
    const QSignalBlocker quiet(list);
    list->setUpdatesEnabled(false);
    QStringList added;
    added.reserve(static_cast<qsizetype>(lines.size()));
    if (!sorted(dialog, control_id)) {
        for (const std::string& line : lines)
            added.append(to_qt(line));
        list->addItems(added);
    } else {
        // Put in whole: the existing lines and the new ones in the order the list keeps.
        std::vector<std::string> held;
        held.reserve(static_cast<std::size_t>(list->count()));
        for (int i = 0; i < list->count(); ++i)
            held.push_back(from_qt(list->item(i)->text()));
        const QList<QListWidgetItem*> chosen = list->selectedItems();
        const int selection = chosen.isEmpty() ? -1 : list->row(chosen.front());
        int selected = -1;
        for (int from : platform::sorted_order(held, lines)) {
            if (from == selection)
                selected = static_cast<int>(added.size());
            const int count = static_cast<int>(held.size());
            added.append(to_qt(from < count ? held[from] : lines[from - count]));
        }
        list->clear();
        list->addItems(added);
        select_line(list, selected);
    }
    list->setUpdatesEnabled(true);
    return list->count();
}

int list_count(Window dialog, int control_id)
{
    ListBox* list = list_box(dialog, control_id);
    return list ? list->count() : 0;
}

int list_selection(Window dialog, int control_id)
{
    ListBox* list = list_box(dialog, control_id);
    if (!list)
        return -1;
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.front());
}

void list_set_selection(Window dialog, int control_id, int index)
{
    if (ListBox* list = list_box(dialog, control_id))
        select_line(list, index);
}

int list_top_line(Window dialog, int control_id)
{
    ListBox* list = list_box(dialog, control_id);
    if (!list || list->count() == 0)
        return -1;
    const QModelIndex top = list->indexAt(QPoint(1, 1));
    return top.isValid() ? top.row() : 0;
}

void list_set_top_line(Window dialog, int control_id, int index)
{
    ListBox* list = list_box(dialog, control_id);
    if (!list || list->count() == 0)
        return;
    index = std::clamp(index, 0, list->count() - 1);
    list->scrollToItem(list->item(index), QAbstractItemView::PositionAtTop);
}

std::string list_text(Window dialog, int control_id, int index)
{
    ListBox* list = list_box(dialog, control_id);
    if (!list || index < 0 || index >= list->count())
        return std::string();
    return from_qt(list->item(index)->text());
}

int list_select_prefix(Window dialog, int control_id, int start, const std::string& prefix)
{
    ListBox* list = list_box(dialog, control_id);
    if (!list)
        return -1;
    const int line = find_prefix(list->count(), start, prefix,
                                 [list](int i) { return from_qt(list->item(i)->text()); });
    if (line >= 0)
        select_line(list, line);
    return line;
}

void list_set_tab_stops(Window dialog, int control_id, const std::vector<int>& stops)
{
    if (ListBox* list = list_box(dialog, control_id)) {
        list->set_stops(stops);
        list->viewport()->update();
    }
}

// --- combo boxes --------------------------------------------------------------------

void combo_reset(Window dialog, int control_id)
{
    if (QComboBox* combo = combo_box(dialog, control_id)) {
        const QSignalBlocker quiet(combo);
        combo->clear();
    }
}

int combo_add(Window dialog, int control_id, const std::string& text)
{
    QComboBox* combo = combo_box(dialog, control_id);
    if (!combo)
        return -1;
    int index = combo->count();
    if (sorted(dialog, control_id))
        index = sorted_position(combo->count(), text,
                                [combo](int i) { return from_qt(combo->itemText(i)); });
    const QSignalBlocker quiet(combo);
    const bool had_selection = combo->currentIndex() >= 0;
    combo->insertItem(index, to_qt(text));
    // Qt selects the first entry of an empty box by itself; a new entry selects nothing.
    if (!had_selection)
        combo->setCurrentIndex(-1);
    return index;
}

int combo_count(Window dialog, int control_id)
{
    QComboBox* combo = combo_box(dialog, control_id);
    return combo ? combo->count() : 0;
}

int combo_selection(Window dialog, int control_id)
{
    QComboBox* combo = combo_box(dialog, control_id);
    return combo ? combo->currentIndex() : -1;
}

void combo_set_selection(Window dialog, int control_id, int index)
{
    if (QComboBox* combo = combo_box(dialog, control_id)) {
        const QSignalBlocker quiet(combo);
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
    }
}

std::string combo_text(Window dialog, int control_id, int index)
{
    QComboBox* combo = combo_box(dialog, control_id);
    if (!combo || index < 0 || index >= combo->count())
        return std::string();
    return from_qt(combo->itemText(index));
}

int combo_find_prefix(Window dialog, int control_id, int start, const std::string& prefix)
{
    QComboBox* combo = combo_box(dialog, control_id);
    if (!combo)
        return -1;
    return find_prefix(combo->count(), start, prefix,
                       [combo](int i) { return from_qt(combo->itemText(i)); });
}

} // namespace platform
