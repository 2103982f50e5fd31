// Dialogs over Qt Widgets: the application object, building a window from a template,
// the modal and modeless runs, ending a dialog and the program icon. The controls' content
// is controls.cpp's, message boxes are message_box.cpp's.
//
// A modal dialog runs a local event loop in a window that blocks nothing: the dialogs
// opened earlier stay usable (the subject forms rely on the subject list staying live),
// and the loops nest on the stack, so a runner returns only after every dialog opened
// inside it has returned.
#include "platform/qt/backend.h"
#include "platform/qt/widgets.h"
#include "platform/text_rules.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qt_backend {

using namespace resources;

namespace {

QIcon& program_icon()
{
    static QIcon icon;
    return icon;
}

// The icon's pixel art, enlarged without smoothing so it stays crisp at every size.
QIcon make_icon(const IconImage& image)
{
    QImage picture(image.size, image.size, QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    for (int y = 0; y < image.size; ++y) {
        for (int x = 0; x < image.size && image.rows[y][x]; ++x) {
            const char* key = std::strchr(image.palette_keys, image.rows[y][x]);
            if (image.rows[y][x] == '.' || !key)
                continue;
            picture.setPixel(x, y, 0xFF000000u | image.palette[key - image.palette_keys]);
        }
    }
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(QPixmap::fromImage(
            picture.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
    return icon;
}

int scale(int units, int base, int per)
{
    return (units * base + per / 2) / per;
}

QRect control_rect(const WindowRecord* record, const ControlTemplate& c)
{
    return QRect(scale(c.x, record->base_x, 4), scale(c.y, record->base_y, 8),
                 scale(c.width, record->base_x, 4), scale(c.height, record->base_y, 8));
}

QWidget* make_button(WindowRecord* record, const ControlTemplate& c, QWidget* parent)
{
    auto* button = new QPushButton(parent);
    // Qt would otherwise let Enter in an edit press a button; Enter is routed by the window.
    button->setAutoDefault(false);
    button->setDefault(c.style & style_default_button);
    const QString caption = to_qt(c.caption ? c.caption : "");
    button->setProperty("caption", caption);
    const QRect rect = control_rect(record, c);
    button->setText((c.style & style_caption_lines)
                        ? wrap_caption(caption, button->fontMetrics(), rect.width() - 6)
                        : shown_caption(caption));
    const int id = c.id;
    QObject::connect(button, &QPushButton::clicked,
                     [record, id] { send_command(record, id, platform::notify_clicked, true); });
    return button;
}

// A read-only field shows the dialog's own background, so nobody tries to type into it.
void look_read_only(QWidget* edit)
{
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    edit->setPalette(palette);
}

QWidget* make_edit(WindowRecord* record, const ControlTemplate& c, QWidget* parent)
{
    const int id = c.id;
    auto changed = [record, id] { send_command(record, id, platform::notify_edit_change, true); };
    if (c.style & style_multi_line) {
        auto* edit = new QPlainTextEdit(parent);
        edit->setTabChangesFocus(true);
        edit->setReadOnly(c.style & style_read_only);
        if (c.style & style_read_only)
            look_read_only(edit);
        edit->setLineWrapMode((c.style & style_horizontal_scroll) ? QPlainTextEdit::NoWrap
                                                                  : QPlainTextEdit::WidgetWidth);
        edit->setVerticalScrollBarPolicy(
            (c.style & style_vertical_scroll) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        QObject::connect(edit, &QPlainTextEdit::textChanged, changed);
        return edit;
    }
    auto* edit = new QLineEdit(parent);
    edit->setReadOnly(c.style & style_read_only);
    if (c.style & style_read_only)
        look_read_only(edit);
    if (c.style & style_password)
        edit->setEchoMode(QLineEdit::Password);
    QObject::connect(edit, &QLineEdit::textChanged, changed);
    return edit;
}

QWidget* make_list(WindowRecord* record, const ControlRecord& control, const ControlTemplate& c,
                   QWidget* parent)
{
    auto* list = new ListBox(record, control, parent);
    list->setItemDelegate(new TabbedLineDelegate(list));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setUniformItemSizes(true);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setVerticalScrollBarPolicy((c.style & style_vertical_scroll) ? Qt::ScrollBarAsNeeded
                                                                       : Qt::ScrollBarAlwaysOff);
    if (!(c.style & style_border))
        list->setFrameShape(QFrame::NoFrame);
    if (c.style & style_notify) {
        const int id = c.id;
        QObject::connect(list, &QListWidget::itemSelectionChanged, [record, id] {
            send_command(record, id, platform::notify_selection_change, true);
        });
        QObject::connect(list, &QListWidget::itemDoubleClicked, [record, id] {
            send_command(record, id, platform::notify_double_click, true);
        });
    }
    return list;
}

QWidget* make_combo(WindowRecord* record, const ControlTemplate& c, QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    const int id = c.id;
    QObject::connect(combo, &QComboBox::activated, [record, id] {
        send_command(record, id, platform::notify_selection_change, true);
    });
    return combo;
}

QWidget* make_control(WindowRecord* record, const ControlRecord& control, const ControlTemplate& c,
                      QWidget* parent)
{
    QWidget* widget = nullptr;
    switch (c.kind) {
    case ControlKind::push_button:
        widget = make_button(record, c, parent);
        break;
    case ControlKind::edit:
        widget = make_edit(record, c, parent);
        break;
    case ControlKind::static_text: {
        const QString caption = to_qt(c.caption ? c.caption : "");
        auto* label = new QLabel(shown_caption(caption), parent);
        label->setProperty("caption", caption);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        widget = label;
        break;
    }
    case ControlKind::list_box:
        widget = make_list(record, control, c, parent);
        break;
    case ControlKind::combo_box:
        widget = make_combo(record, c, parent);
        break;
    }
    if (c.kind == ControlKind::static_text)
        widget->setFocusPolicy(Qt::NoFocus);
    else
        widget->setFocusPolicy((c.style & style_no_tab_stop) ? Qt::ClickFocus : Qt::StrongFocus);

    QRect rect = control_rect(record, c);
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        // The template gives the height of the open list; the closed box is the widget's own.
        const int closed = combo->sizeHint().height();
        const int line = std::max(combo->fontMetrics().height(), 1);
        combo->setMaxVisibleItems(std::max(1, (rect.height() - closed) / line));
        rect.setHeight(closed);
    }
    widget->setGeometry(rect);
    return widget;
}

void place(WindowRecord* record, const DialogTemplate* t, QWidget* window)
{
    QPoint origin;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (record->owner && record->owner->window)
        origin = record->owner->window->mapToGlobal(QPoint(0, 0));
    else if (screen)
        origin = screen->availableGeometry().topLeft();
    QPoint at = origin + QPoint(scale(t->x, record->base_x, 4), scale(t->y, record->base_y, 8));
    if (screen) {
        const QRect room = screen->availableGeometry();
        at.setX(std::max(room.left(), std::min(at.x(), room.right() - window->width())));
        at.setY(std::max(room.top(), std::min(at.y(), room.bottom() - window->height())));
    }
    window->move(at);
}

WindowRecord* build_dialog(int template_id, WindowRecord* owner, platform::DialogProc procedure,
                           bool modal)
{
    auto* record = new WindowRecord;
    all_windows().push_back(record);
    record->template_id = template_id;
    record->procedure = procedure;
    record->owner = owner;
    record->modal = modal;

    QWidget* parent = owner ? owner->window.data() : nullptr;
    auto* window = new DialogWindow(record, parent);
    record->window = window;
    QObject::connect(window, &QObject::destroyed, [record] { record->open = false; });

    const QFont font = dialog_font();
    window->setFont(font);
    base_units(font, &record->base_x, &record->base_y);
    if (!program_icon().isNull())
        window->setWindowIcon(program_icon());

    const DialogTemplate* t = find_dialog_template(template_id);
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (t && t->minimize_maximize)
        flags |= Qt::WindowMinMaxButtonsHint;
    window->setWindowFlags(flags);
    if (!t) {
        window->setFixedSize(scale(100, record->base_x, 4), scale(50, record->base_y, 8));
        return record;
    }
    window->setWindowTitle(to_qt(t->caption ? t->caption : ""));
    window->setFixedSize(scale(t->width, record->base_x, 4), scale(t->height, record->base_y, 8));

    QWidget* previous = nullptr;
    record->controls.reserve(t->control_count);
    for (int i = 0; i < t->control_count; ++i) {
        const ControlTemplate& c = t->controls[i];
        record->controls.push_back({c.id, c.kind, c.style, nullptr});
        ControlRecord& control = record->controls.back();
        control.widget = make_control(record, control, c, window);
        // Creation order is the tab order, as the templates list it.
        if (control.widget->focusPolicy() & Qt::TabFocus) {
            if (previous)
                QWidget::setTabOrder(previous, control.widget);
            previous = control.widget;
        }
    }
    place(record, t, window);
    return record;
}

bool takes_focus(const ControlRecord& control)
{
    return control.widget && control.widget->isEnabled() &&
           (control.widget->focusPolicy() & Qt::TabFocus);
}

void initialise(WindowRecord* record, intptr_t init_param)
{
    if (send(record, platform::msg_init_dialog, 0, init_param) == 0 || record->ended)
        return;
    for (const ControlRecord& control : record->controls) {
        if (takes_focus(control)) {
            control.widget->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void show(WindowRecord* record)
{
    QWidget* window = record->window;
    window->show();
    window->activateWindow();
}

// The runner of a modal dialog deletes its window; a modeless one goes when its event
// handler (which may be the one ending it) has returned.
void close_record(WindowRecord* record)
{
    record->open = false;
    if (QWidget* window = record->window) {
        window->hide();
        if (record->modal)
            delete window;
        else
            window->deleteLater();
    }
}

} // namespace

intptr_t send(WindowRecord* dialog, unsigned message, uintptr_t wparam, intptr_t lparam)
{
    if (!dialog || !dialog->open || !dialog->procedure)
        return 0;
    return dialog->procedure(dialog, message, wparam, lparam);
}

void send_command(WindowRecord* dialog, int control_id, unsigned notification, bool from_control)
{
    send(dialog, platform::msg_command, platform::make_command(control_id, notification),
         from_control ? 1 : 0);
}

ControlRecord* find_control(WindowRecord* dialog, int control_id)
{
    if (!dialog || !dialog->open)
        return nullptr;
    for (ControlRecord& control : dialog->controls)
        if (control.id == control_id && control.widget)
            return &control;
    return nullptr;
}

QWidget* control_widget(WindowRecord* dialog, int control_id)
{
    ControlRecord* control = find_control(dialog, control_id);
    return control ? control->widget.data() : nullptr;
}

QFont dialog_font()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}

// The dialog manager's measure: the average width of the alphabet, rounded. Qt's own
// average character width comes out differently and would stretch every layout.
void base_units(const QFont& font, int* base_x, int* base_y)
{
    const QFontMetrics metrics(font);
    const int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    *base_x = std::max((alphabet / 26 + 1) / 2, 1);
    *base_y = std::max(metrics.height(), 1);
}

QString to_qt(const std::string& text)
{
    const std::string shown = platform::shown_as_utf8(text);
    return QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
}

std::string from_qt(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::vector<WindowRecord*>& all_windows()
{
    static std::vector<WindowRecord*> windows;
    return windows;
}

} // namespace qt_backend

namespace platform {

using qt_backend::all_windows;

void start(int& argc, char** argv)
{
    // Without this Qt aborts with a page about platform plugins; one line says it better.
    if (!desktop_available()) {
        std::fprintf(stderr, "vendrel: no display is set; run it from a desktop session, or "
                             "under a virtual one: xvfb-run -a scripts/run (only a server, "
                             "vendrel server [port], runs without one)\n");
        std::exit(1);
    }
    if (QApplication::instance())
        return;
    // Never deleted: the process ends by returning from main, and tearing the toolkit down
    // behind the program's static objects would gain nothing.
    new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setFont(qt_backend::dialog_font());
}

int run_modal_dialog(int template_id, Window owner, DialogProc procedure, intptr_t init_param)
{
    WindowRecord* record = qt_backend::build_dialog(template_id, owner, procedure, true);
    qt_backend::initialise(record, init_param);
    if (!record->ended && record->open) {
        qt_backend::show(record);
        QEventLoop loop;
        record->loop = &loop;
        loop.exec(QEventLoop::DialogExec);
        record->loop = nullptr;
    }
    qt_backend::close_record(record);
    return record->result;
}

Window create_modeless_dialog(int template_id, Window owner, DialogProc procedure,
                              intptr_t init_param)
{
    WindowRecord* record = qt_backend::build_dialog(template_id, owner, procedure, false);
    qt_backend::initialise(record, init_param);
    if (record->ended)
        qt_backend::close_record(record);
    else if (record->open)
        qt_backend::show(record);
    return record;
}

void end_dialog(Window dialog, int result)
{
    if (!dialog || dialog->ended)
        return;
    dialog->ended = true;
    dialog->result = result;
    if (!dialog->modal) {
        qt_backend::close_record(dialog);
        return;
    }
    // The runner deletes the window once its loop returns, which waits for any loop that
    // is nested inside it; until then the dialog is out of sight but its controls answer.
    if (dialog->window)
        dialog->window->hide();
    if (dialog->loop)
        dialog->loop->quit();
}

namespace {

QString timer_name(int timer_id)
{
    return QStringLiteral("vendrel-timer-%1").arg(timer_id);
}

} // namespace

void set_timer(Window dialog, int timer_id, int interval_ms)
{
    if (!dialog || !dialog->open || !dialog->window)
        return;
    kill_timer(dialog, timer_id);
    // A child of the window, so it goes with it.
    auto* timer = new QTimer(dialog->window);
    timer->setObjectName(timer_name(timer_id));
    QObject::connect(timer, &QTimer::timeout, timer, [dialog, timer_id] {
        qt_backend::send(dialog, msg_timer, static_cast<uintptr_t>(timer_id), 0);
    });
    timer->start(interval_ms);
}

void kill_timer(Window dialog, int timer_id)
{
    if (!dialog || !dialog->window)
        return;
    for (QTimer* timer :
         dialog->window->findChildren<QTimer*>(timer_name(timer_id), Qt::FindDirectChildrenOnly))
        delete timer;
}

int dialog_template(Window dialog)
{
    return dialog ? dialog->template_id : -1;
}

void set_dialog_icon(Window dialog, int icon_id)
{
    const resources::IconImage* image = resources::find_icon(icon_id);
    if (!image)
        return;
    qt_backend::program_icon() = qt_backend::make_icon(*image);
    QApplication::setWindowIcon(qt_backend::program_icon());
    for (WindowRecord* record : all_windows())
        if (record->open && record->window)
            record->window->setWindowIcon(qt_backend::program_icon());
    if (dialog && dialog->open && dialog->window)
        dialog->window->setWindowIcon(qt_backend::program_icon());
}

} // namespace platform
