// The dialog window's keyboard and close box, the list box's arrow keys and the drawing of
// tab-separated list lines. What a command then does is the dialog procedure's business.
#include "platform/qt/widgets.h"
#include "platform/text_rules.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>

namespace qt_backend {

using namespace resources;

DialogWindow::DialogWindow(WindowRecord* record, QWidget* parent)
    : QWidget(parent, Qt::Dialog), record_(record)
{}

void DialogWindow::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::NoModifier &&
        (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        press_enter();
        return;
    }
    if (mods == Qt::NoModifier && event->key() == Qt::Key_Escape) {
        send_command(record_, platform::id_cancel, platform::notify_clicked, false);
        return;
    }
    QWidget::keyPressEvent(event);
}

// Multi-line edits keep Enter for themselves, and the other controls let it through to
// here, so the focused control only matters when it is a push button.
void DialogWindow::press_enter()
{
    if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isEnabled()) {
        button->click();
        return;
    }
    for (const ControlRecord& control : record_->controls) {
        if (control.kind != ControlKind::push_button || !(control.style & style_default_button))
            continue;
        auto* button = qobject_cast<QPushButton*>(control.widget.data());
        if (button && button->isEnabled()) {
            button->click();
            return;
        }
    }
    send_command(record_, platform::id_ok, platform::notify_clicked, false);
}

// The window never closes itself: the procedure decides, and ends the dialog if it wants.
void DialogWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    if (!record_->ended)
        send(record_, platform::msg_close, 0, 0);
}

ListBox::ListBox(WindowRecord* record, const ControlRecord& control, QWidget* parent)
    : QListWidget(parent), record_(record), id_(control.id), style_(control.style)
{
    // Every line is one line of the list's font, so the view never measures a hundred
    // thousand of them to lay them out.
    setUniformItemSizes(true);
}

int ListBox::next_stop(int x) const
{
    const auto px = [this](int units) { return std::max(units * record_->base_x / 4, 1); };
    if (!(style_ & style_tab_stops))
        return x + fontMetrics().horizontalAdvance(QLatin1Char(' '));
    // No stops means one every 32 units; a single stop sets the spacing; past the last of
    // several, the classic list box goes on every eight average characters.
    int step = px(32);
    if (stops_.size() == 1)
        step = px(stops_.front());
    else
        for (int stop : stops_)
            if (px(stop) > x)
                return px(stop);
    return (x / step + 1) * step;
}

namespace {

// The list key of a key event without modifiers, or 0.
unsigned list_key(const QKeyEvent* event)
{
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return 0;
    switch (event->key()) {
    case Qt::Key_Up:
        return platform::key_up;
    case Qt::Key_Down:
        return platform::key_down;
    case Qt::Key_Home:
        return platform::key_home;
    case Qt::Key_End:
        return platform::key_end;
    case Qt::Key_PageUp:
        return platform::key_page_up;
    case Qt::Key_PageDown:
        return platform::key_page_down;
    default:
        return 0;
    }
}

} // namespace

int ListBox::page_lines() const
{
    const int line = count() > 0 ? sizeHintForRow(0) : 0;
    return line > 0 ? std::max(viewport()->height() / line, 1) : 1;
}

// The keys that move through the list always leave the line they reach selected, as the
// dialog manager's list box does; Qt alone would move a focus frame and select nothing when
// nothing was selected. A list that wants keys asks the dialog first.
void ListBox::keyPressEvent(QKeyEvent* event)
{
    const unsigned key = list_key(event);
    if (key == 0) {
        QListWidget::keyPressEvent(event);
        return;
    }
    if (count() == 0)
        return;
    const QList<QListWidgetItem*> selected = selectedItems();
    const int selection = selected.isEmpty() ? -1 : row(selected.front());
    // The focus line: the selected one, else the one with the focus frame, if any.
    const int focus = selection >= 0 ? selection : currentRow();
    intptr_t line = -1;
    if (style_ & style_wants_keys) {
        const uintptr_t caret = static_cast<uintptr_t>(std::max(focus, 0));
        line = send(record_, platform::msg_vkey_to_item, (caret << 16) | key, 1);
        if (line == -2) // handled by the dialog
            return;
    }
    if (line < 0)
        line = platform::list_key_line(key, focus, count(), page_lines());
    if (line >= count())
        return;
    {
        const QSignalBlocker quiet(this);
        setCurrentRow(static_cast<int>(line));
        scrollToItem(item(static_cast<int>(line)));
    }
    // A line the list is already on is no change, so the dialog hears nothing.
    if (line != selection && (style_ & style_notify))
        send_command(record_, id_, platform::notify_selection_change, true);
}

void TabbedLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    opt.text.clear(); // drawn below, column by column
    QStyle* style = list_->style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, list_);

    const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, list_);
    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Active
                                                                            : QPalette::Inactive;
    const QPalette::ColorRole role =
        (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text;
    const QFontMetrics metrics(opt.font);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list_) + 1;

    painter->save();
    painter->setClipRect(area);
    painter->setFont(opt.font);
    painter->setPen(opt.palette.color(group, role));
    int x = 0;
    // A list line is one line: line breaks inside a field show as spaces.
    QString line = index.data(Qt::DisplayRole).toString();
    line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QStringList parts = line.split(QLatin1Char('\t'));
    for (int i = 0; i < parts.size(); ++i) {
        if (i > 0)
            x = list_->next_stop(x);
        const QRect cell(area.left() + margin + x, area.top(), area.width(), area.height());
        painter->drawText(cell, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, parts[i]);
        x += metrics.horizontalAdvance(parts[i]);
    }
    painter->restore();
}

QString shown_caption(const QString& caption)
{
    QString text = caption;
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString wrap_caption(const QString& caption, const QFontMetrics& metrics, int width)
{
    QStringList lines;
    const QString text = shown_caption(caption);
    // Line breaks in the caption stay; each of its lines wraps between words.
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QString line;
        for (const QString& word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (!line.isEmpty() && metrics.horizontalAdvance(longer) > width) {
                lines << line;
                line = word;
            } else {
                line = longer;
            }
        }
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace qt_backend
