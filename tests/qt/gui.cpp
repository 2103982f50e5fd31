// The recording procedure, the step script and the input helpers of the GUI tests.
#include "tests/qt/gui.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTest>
#include <QTimer>

#include <deque>

namespace gui {

namespace {

Reaction& reaction()
{
    static Reaction current;
    return current;
}

// Each turn arms the next before it runs its step: a step that opens a modal dialog does
// not return until that dialog ends, and Qt never fires a timer again while its own handler
// runs, so every turn needs a timer of its own for the script to go on inside the dialog.
struct Script {
    std::deque<Step> steps;
    QElapsedTimer clock;
    int generation = 0; // a new play() or reset() orphans the turns of the one before
};

Script& script()
{
    static Script s;
    return s;
}

void end_all_dialogs()
{
    std::vector<Window> open = qt_backend::open_dialogs();
    for (auto it = open.rbegin(); it != open.rend(); ++it)
        platform::end_dialog(*it, -99);
}

void turn(int generation)
{
    Script& s = script();
    if (generation != s.generation || s.steps.empty())
        return;
    if (s.clock.elapsed() > 8000) {
        ADD_FAILURE() << "script gave up with " << s.steps.size() << " steps left";
        s.steps.clear();
        end_all_dialogs();
        return;
    }
    QTimer::singleShot(5, [generation] { turn(generation); });
    Step step = s.steps.front();
    s.steps.pop_front();
    if (!step())
        s.steps.push_front(step);
}

} // namespace

intptr_t procedure(Window dialog, unsigned message, uintptr_t wparam, intptr_t lparam)
{
    const Message m{platform::dialog_template(dialog),
                    message,
                    static_cast<int>(wparam & 0xFFFF),
                    static_cast<unsigned>(wparam & 0xFFFF),
                    static_cast<unsigned>((wparam >> 16) & 0xFFFF),
                    lparam};
    messages().push_back(m);
    intptr_t answer = 0;
    if (reaction() && reaction()(dialog, m, &answer))
        return answer;
    switch (message) {
    case platform::msg_init_dialog:
        return 1;
    case platform::msg_command:
        if (m.id == platform::id_cancel)
            platform::end_dialog(dialog, 0);
        return 1;
    case platform::msg_close:
        platform::end_dialog(dialog, 0);
        return 1;
    case platform::msg_vkey_to_item:
        return -1;
    }
    return 0;
}

void set_reaction(Reaction r)
{
    reaction() = std::move(r);
}

std::vector<Message>& messages()
{
    static std::vector<Message> all;
    return all;
}

std::vector<Message> take_commands()
{
    std::vector<Message> commands;
    for (const Message& m : messages())
        if (m.message == platform::msg_command)
            commands.push_back(m);
    messages().clear();
    return commands;
}

void reset()
{
    end_all_dialogs();
    QApplication::processEvents(); // lets ended modeless windows go
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    reaction() = nullptr;
    messages().clear();
    qt_backend::clear_box_answers();
    qt_backend::take_boxes();
    script().steps.clear();
    ++script().generation;
}

void play(std::vector<Step> steps)
{
    Script& s = script();
    s.steps.assign(steps.begin(), steps.end());
    s.clock.start();
    const int generation = ++s.generation;
    QTimer::singleShot(5, [generation] { turn(generation); });
}

bool script_done()
{
    return script().steps.empty();
}

Step once(std::function<void()> work)
{
    return [work] {
        work();
        return true;
    };
}

Step wait_for(int template_id)
{
    return [template_id] { return qt_backend::find_dialog(template_id) != nullptr; };
}

QWidget* widget(Window dialog, int control_id)
{
    QWidget* w = qt_backend::control_widget(dialog, control_id);
    EXPECT_NE(w, nullptr) << "no control " << control_id;
    return w;
}

void click(Window dialog, int control_id)
{
    if (QWidget* w = widget(dialog, control_id))
        QTest::mouseClick(w, Qt::LeftButton);
}

void type(Window dialog, int control_id, const std::string& text)
{
    if (QWidget* w = widget(dialog, control_id)) {
        w->setFocus(Qt::TabFocusReason);
        // Characters beyond ASCII have no key of their own; they arrive as a key's text.
        for (const QChar c : QString::fromUtf8(text.c_str())) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(w, static_cast<char>(c.unicode()));
            } else {
                QTest::sendKeyEvent(QTest::Press, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
                QTest::sendKeyEvent(QTest::Release, w, Qt::Key_unknown, QString(c),
                                    Qt::NoModifier);
            }
        }
    }
}

void key(Window dialog, int qt_key)
{
    QWidget* window = qt_backend::dialog_widget(dialog);
    ASSERT_NE(window, nullptr);
    QWidget* target = window->focusWidget() ? window->focusWidget() : window;
    QTest::keyClick(target, static_cast<Qt::Key>(qt_key));
}

void click_line(Window dialog, int control_id, int line)
{
    auto* list = qobject_cast<QListWidget*>(widget(dialog, control_id));
    ASSERT_NE(list, nullptr);
    ASSERT_LT(line, list->count());
    list->scrollToItem(list->item(line));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(line)).center());
}

void double_click_line(Window dialog, int control_id, int line)
{
    auto* list = qobject_cast<QListWidget*>(widget(dialog, control_id));
    ASSERT_NE(list, nullptr);
    const QPoint at = list->visualItemRect(list->item(line)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

void choose_entry(Window dialog, int control_id, int index)
{
    auto* combo = qobject_cast<QComboBox*>(widget(dialog, control_id));
    ASSERT_NE(combo, nullptr);
    ASSERT_LT(index, combo->count());
    combo->setFocus(Qt::TabFocusReason);
    if (combo->currentIndex() < 0)
        QTest::keyClick(combo, Qt::Key_Home);
    while (combo->currentIndex() < index)
        QTest::keyClick(combo, Qt::Key_Down);
    while (combo->currentIndex() > index)
        QTest::keyClick(combo, Qt::Key_Up);
}

void press_close_box(Window dialog)
{
    if (QWidget* window = qt_backend::dialog_widget(dialog))
        window->close();
}

int focused(Window dialog)
{
    return qt_backend::focused_control(dialog);
}

} // namespace gui
