// Modal dialogs nest: each runner returns once its dialog has ended and every dialog opened
// inside it has returned, while the dialogs opened earlier stay usable; message boxes are
// owned by their dialog and answer with the button pressed, on screen or from the queue.
#include "resources/ids.h"
#include "tests/qt/gui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>

using gui::Message;
using platform::Window;
using namespace ids;

namespace {

class QtModal : public ::testing::Test {
  protected:
    void TearDown() override { gui::reset(); }
};

// Opens the next form the way the program's openers do: id on the stack while it runs.
std::vector<int> stack;
std::vector<std::string> returns;

int open(Window owner, int template_id)
{
    stack.push_back(template_id);
    const int result = platform::run_modal_dialog(template_id, owner, gui::procedure, template_id);
    EXPECT_EQ(stack.back(), template_id);
    stack.pop_back();
    returns.push_back(std::to_string(template_id) + ":" + std::to_string(result));
    return result;
}

QMessageBox* box_on_screen()
{
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

} // namespace

TEST_F(QtModal, NestedDialogsReturnInOrderAndEarlierOnesStayUsable)
{
    stack = {main_dialog};
    returns.clear();
    static Window main = nullptr;
    static int box_answer = 0;
    gui::set_reaction([](Window dialog, const Message& m, intptr_t* answer) {
        if (m.message != platform::msg_command)
            return false;
        *answer = 1;
        if (m.dialog == main_dialog && m.id == main_window::subjects)
            open(main, subject_list_dialog);
        else if (m.dialog == subject_list_dialog && m.id == subject_list::update)
            open(main, subject_update_dialog);
        else if (m.dialog == subject_update_dialog && m.id == subject_update::save)
            box_answer =
                platform::message_box(dialog, "Save it?", nullptr, platform::Buttons::ok_cancel);
        else
            return false;
        return true;
    });
    Window subjects = nullptr;
    Window update = nullptr;
    gui::play({
        gui::wait_for(main_dialog),
        gui::once([] {
            main = qt_backend::find_dialog(main_dialog);
            gui::click(main, main_window::subjects); // returns only after the subject list has
        }),
        gui::wait_for(subject_list_dialog),
        gui::once([&] {
            subjects = qt_backend::find_dialog(subject_list_dialog);
            EXPECT_EQ(stack, (std::vector<int>{main_dialog, subject_list_dialog}));
            EXPECT_EQ(qt_backend::dialog_widget(subjects)->parentWidget(),
                      qt_backend::dialog_widget(main));
            gui::click(subjects, subject_list::update);
        }),
        gui::wait_for(subject_update_dialog),
        gui::once([&] {
            update = qt_backend::find_dialog(subject_update_dialog);
            EXPECT_EQ(stack,
                      (std::vector<int>{main_dialog, subject_list_dialog, subject_update_dialog}));
            qt_backend::answer_next_box(platform::answer_cancel);
            gui::click(update, subject_update::save);
            EXPECT_EQ(box_answer, platform::answer_cancel);
            const std::vector<qt_backend::ShownBox> boxes = qt_backend::take_boxes();
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].owner, update);
            EXPECT_EQ(boxes[0].owner_template, subject_update_dialog);
            EXPECT_EQ(boxes[0].caption, "Save it?");

            // The subject list is still usable under the update form.
            gui::take_commands();
            gui::click(subjects, subject_list::work);
            const std::vector<Message> seen = gui::take_commands();
            ASSERT_EQ(seen.size(), 1u);
            EXPECT_EQ(seen[0].dialog, subject_list_dialog);

            // Ending the list first hides it, but its runner waits for the form's.
            gui::key(subjects, Qt::Key_Escape);
            EXPECT_FALSE(qt_backend::dialog_widget(subjects)->isVisible());
            EXPECT_TRUE(returns.empty());
            EXPECT_EQ(platform::list_count(subjects, subject_list::names), 0); // still answers
        }),
        gui::once([&] {
            EXPECT_TRUE(returns.empty());
            gui::click(update, ids::cancel);
        }),
        gui::once([&] {
            EXPECT_EQ(returns, (std::vector<std::string>{"108:0", "106:0"}));
            EXPECT_EQ(stack, (std::vector<int>{main_dialog}));
            platform::end_dialog(main, 5);
        }),
    });
    EXPECT_EQ(platform::run_modal_dialog(main_dialog, nullptr, gui::procedure, 0), 5);
    EXPECT_TRUE(gui::script_done());
    EXPECT_EQ(returns, (std::vector<std::string>{"108:0", "106:0"}));
    EXPECT_TRUE(qt_backend::open_dialogs().empty());
}

// A dialog ended during its initialisation never shows and its runner returns at once.
TEST_F(QtModal, DialogEndedDuringInitialisationReturnsAtOnce)
{
    gui::set_reaction([](Window dialog, const Message& m, intptr_t*) {
        if (m.message == platform::msg_init_dialog)
            platform::end_dialog(dialog, 9);
        return false;
    });
    EXPECT_EQ(platform::run_modal_dialog(password_dialog, nullptr, gui::procedure, password_dialog),
              9);
    Window gone =
        platform::create_modeless_dialog(search_dialog, nullptr, gui::procedure, search_dialog);
    EXPECT_EQ(qt_backend::dialog_widget(gone), nullptr);
}

// With no queued answer the box is on screen, owned by its dialog, until a button is
// pressed: the question box answers Cancel to Cancel, the plain box OK to Escape.
TEST_F(QtModal, MessageBoxesOnScreenAnswerWithTheirButtons)
{
    Window search =
        platform::create_modeless_dialog(search_dialog, nullptr, gui::procedure, search_dialog);
    int first = 0;
    int second = 0;
    gui::play({
        [] { return box_on_screen() != nullptr; },
        gui::once([&] {
            QMessageBox* box = box_on_screen();
            EXPECT_EQ(box->windowTitle(), "End ticket");
            EXPECT_EQ(box->text(), "Realy end");
            EXPECT_EQ(box->icon(), QMessageBox::Question);
            EXPECT_EQ(box->parentWidget(), qt_backend::dialog_widget(search));
            box->button(QMessageBox::Cancel)->click();
        }),
        [] { return box_on_screen() != nullptr; },
        gui::once([&] {
            QMessageBox* box = box_on_screen();
            EXPECT_EQ(box->windowTitle(), "Name too long"); // the text stands in as caption
            EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
            EXPECT_EQ(box->buttons().size(), 1);
            QTest::keyClick(box, Qt::Key_Escape);
        }),
    });
    first = platform::message_box(search, "Realy end", "End ticket", platform::Buttons::ok_cancel);
    second = platform::message_box(search, "Name too long");
    EXPECT_EQ(first, platform::answer_cancel);
    EXPECT_EQ(second, platform::answer_ok);
    const std::vector<qt_backend::ShownBox> boxes = qt_backend::take_boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_FALSE(boxes[0].answered_from_queue);
    EXPECT_EQ(boxes[1].caption, "Name too long");
    EXPECT_EQ(boxes[1].owner_template, search_dialog);

    // A queued answer is taken by the next box, whatever it asks; OK-only boxes say OK.
    qt_backend::answer_next_box(platform::answer_cancel);
    qt_backend::answer_next_box(platform::answer_cancel);
    EXPECT_EQ(platform::message_box(search, "Saved"), platform::answer_ok);
    EXPECT_EQ(platform::message_box(search, "Realy end", "End", platform::Buttons::ok_cancel),
              platform::answer_cancel);
}

// Several modeless windows live side by side; ending one leaves the others.
TEST_F(QtModal, ModelessWindowsLiveUntilEachIsEnded)
{
    Window main = platform::create_modeless_dialog(main_dialog, nullptr, gui::procedure, 0);
    Window first =
        platform::create_modeless_dialog(search_dialog, main, gui::procedure, search_dialog);
    Window second =
        platform::create_modeless_dialog(search_dialog, main, gui::procedure, search_dialog);
    EXPECT_EQ(qt_backend::find_dialog(search_dialog), second);
    EXPECT_TRUE(qt_backend::dialog_widget(first)->isVisible());
    gui::key(second, Qt::Key_Escape); // the default reaction ends it
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(qt_backend::find_dialog(search_dialog), first);
    EXPECT_EQ(qt_backend::open_dialogs(), (std::vector<Window>{main, first}));
    gui::type(first, search::code, "T-1");
    EXPECT_EQ(platform::item_text(first, search::code), "T-1");
}
