// A person's input reaches the dialog procedure as the headless backend delivers it:
// commands with their notification codes, Enter and Escape as keyboard commands, the close
// box as the close message, and arrow keys in a list that wants them as key-to-item.
#include "tests/qt/gui.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QPlainTextEdit>

using gui::Message;
using platform::Window;

namespace {

struct Command {
    int id;
    unsigned code;
    bool from_control;
    bool operator==(const Command&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Command& c)
{
    return out << "{" << c.id << ", " << c.code << ", " << c.from_control << "}";
}

std::vector<Command> commands()
{
    std::vector<Command> seen;
    for (const Message& m : gui::take_commands())
        seen.push_back({m.id, m.high, m.lparam != 0});
    return seen;
}

using platform::notify_clicked;
using platform::notify_double_click;
using platform::notify_edit_change;
using platform::notify_selection_change;

class QtInput : public ::testing::Test {
  protected:
    void TearDown() override { gui::reset(); }

    // Runs a dialog modally with steps that act on it; returns its result.
    int run(int template_id, std::function<void(Window)> steps_on_open)
    {
        gui::play({gui::wait_for(template_id), gui::once([=] {
                       Window dialog = qt_backend::find_dialog(template_id);
                       gui::take_commands();
                       steps_on_open(dialog);
                       platform::end_dialog(dialog, 7);
                   })});
        const int result = platform::run_modal_dialog(template_id, nullptr, gui::procedure, 0);
        EXPECT_TRUE(gui::script_done());
        return result;
    }
};

} // namespace

TEST_F(QtInput, ClicksTypingListsAndCombosBecomeCommands)
{
    EXPECT_EQ(run(100,
                  [](Window main) {
                      for (const char* line : {"one", "two", "three"})
                          platform::list_add(main, 101, line);
                      platform::combo_add(main, 100, "Desk");
                      platform::combo_add(main, 100, "Field");
                      gui::click(main, 1002);
                      EXPECT_EQ(commands(), (std::vector<Command>{{1002, notify_clicked, true}}));

                      gui::double_click_line(main, 101, 1);
                      EXPECT_EQ(platform::list_selection(main, 101), 1);
                      const std::vector<Command> list = commands();
                      ASSERT_FALSE(list.empty());
                      EXPECT_EQ(list.front(), (Command{101, notify_selection_change, true}));
                      EXPECT_EQ(list.back(), (Command{101, notify_double_click, true}));

                      gui::choose_entry(main, 100, 1);
                      EXPECT_EQ(platform::combo_selection(main, 100), 1);
                      EXPECT_EQ(commands(),
                                (std::vector<Command>{{100, notify_selection_change, true},
                                                      {100, notify_selection_change, true}}));

                      // A disabled button cannot be clicked.
                      platform::enable_item(main, 1003, false);
                      gui::click(main, 1003);
                      EXPECT_TRUE(commands().empty());
                  }),
              7);

    run(101, [](Window login) {
        gui::type(login, 102, "ab");
        EXPECT_EQ(commands(), (std::vector<Command>{{102, notify_edit_change, true},
                                                    {102, notify_edit_change, true}}));
        EXPECT_EQ(platform::item_text(login, 102), "ab");
        gui::type(login, 103, "pw");
        EXPECT_EQ(platform::item_text(login, 103), "pw");
    });
}

// What the program does to its controls is never reported back to it.
TEST_F(QtInput, ProgramChangesSendNothing)
{
    run(111, [](Window links) {
        platform::set_item_text(links, 102, "reason");
        platform::set_item_text(links, 106, "two\r\nlines");
        platform::list_add(links, 101, "Bob");
        platform::list_add(links, 101, "Ann");
        platform::list_set_selection(links, 101, 1);
        platform::list_insert(links, 100, 0, "a\tb");
        platform::list_set_selection(links, 100, 0);
        platform::list_select_prefix(links, 103, -1, "x");
        platform::list_reset(links, 101);
        platform::set_item_text(links, 1316, "Begin");
        EXPECT_TRUE(commands().empty());
    });
    run(102, [](Window ticket) {
        platform::combo_add(ticket, 101, "Desk");
        platform::combo_set_selection(ticket, 101, 0);
        platform::combo_reset(ticket, 101);
        EXPECT_TRUE(commands().empty());
    });
}

// Enter presses the focused push button, else the first enabled default button, else
// sends command 1 from the keyboard; a multi-line edit keeps it as a new line.
TEST_F(QtInput, EnterFollowsTheFocus)
{
    run(101, [](Window login) {
        gui::type(login, 102, "admin");
        commands();
        gui::key(login, Qt::Key_Return);
        EXPECT_EQ(commands(), (std::vector<Command>{{platform::id_ok, 0, false}}));
        platform::set_focus(login, 1101);
        gui::key(login, Qt::Key_Enter);
        EXPECT_EQ(commands(), (std::vector<Command>{{1101, notify_clicked, true}}));
    });

    run(102, [](Window ticket) {
        platform::set_focus(ticket, 103);
        gui::key(ticket, Qt::Key_Return);
        EXPECT_EQ(commands(), (std::vector<Command>{{1208, notify_clicked, true}}));
        platform::enable_item(ticket, 1208, false);
        gui::key(ticket, Qt::Key_Return);
        EXPECT_EQ(commands(), (std::vector<Command>{{1215, notify_clicked, true}}));
        platform::enable_item(ticket, 1215, false);
        gui::key(ticket, Qt::Key_Return);
        EXPECT_EQ(commands(), (std::vector<Command>{{platform::id_ok, 0, false}}));

        gui::type(ticket, 106, "a");
        gui::key(ticket, Qt::Key_Return);
        gui::type(ticket, 106, "b");
        EXPECT_EQ(platform::item_text(ticket, 106), "a\r\nb");
        EXPECT_EQ(platform::item_text_length(ticket, 106), 4);
        for (const Command& c : commands())
            EXPECT_EQ(c, (Command{106, notify_edit_change, true}));
    });
}

// Escape is command 2 from the keyboard; the close box is the close message alone, and
// the window stays until the procedure ends it.
TEST_F(QtInput, EscapeAndTheCloseBox)
{
    gui::set_reaction([](Window, const Message& m, intptr_t* answer) {
        *answer = 1;
        return m.message == platform::msg_close; // handled, but the dialog goes on
    });
    run(106, [](Window subjects) {
        gui::press_close_box(subjects);
        ASSERT_FALSE(gui::messages().empty());
        EXPECT_EQ(gui::messages().back().message, platform::msg_close);
        EXPECT_TRUE(commands().empty());
        EXPECT_TRUE(qt_backend::dialog_widget(subjects)->isVisible());

        platform::set_focus(subjects, 100);
        gui::key(subjects, Qt::Key_Escape);
        EXPECT_EQ(commands(), (std::vector<Command>{{platform::id_cancel, 0, false}}));
        EXPECT_EQ(qt_backend::find_dialog(106), nullptr); // the default reaction ended it
    });
}

// Up and down in a list that wants keys ask the procedure with the caret line; a line
// moves the selection and is reported, -1 leaves the key to the list, -2 swallows it.
TEST_F(QtInput, ArrowKeysAskTheProcedure)
{
    static intptr_t next_answer = -1;
    gui::set_reaction([](Window, const Message& m, intptr_t* answer) {
        *answer = next_answer;
        return m.message == platform::msg_vkey_to_item;
    });
    run(100, [](Window main) {
        for (const char* line : {"one", "two", "three", "four"})
            platform::list_add(main, 101, line);
        platform::set_focus(main, 101);
        auto last_key = [] {
            for (auto it = gui::messages().rbegin(); it != gui::messages().rend(); ++it)
                if (it->message == platform::msg_vkey_to_item)
                    return *it;
            return Message{};
        };

        next_answer = 2;
        gui::key(main, Qt::Key_Down);
        EXPECT_EQ(last_key().code, platform::key_down);
        EXPECT_EQ(last_key().high, 0u); // no selection: the caret is on the first line
        EXPECT_EQ(platform::list_selection(main, 101), 2);
        EXPECT_EQ(commands(), (std::vector<Command>{{101, notify_selection_change, true}}));

        next_answer = 2; // the line it is on: nothing changes, nothing is reported
        gui::key(main, Qt::Key_Up);
        EXPECT_EQ(last_key().code, platform::key_up);
        EXPECT_EQ(last_key().high, 2u);
        EXPECT_EQ(platform::list_selection(main, 101), 2);
        EXPECT_TRUE(commands().empty());

        next_answer = -1; // the list's own handling
        gui::key(main, Qt::Key_Down);
        EXPECT_EQ(platform::list_selection(main, 101), 3);
        EXPECT_EQ(commands(), (std::vector<Command>{{101, notify_selection_change, true}}));

        next_answer = -2;
        gui::key(main, Qt::Key_Up);
        EXPECT_EQ(platform::list_selection(main, 101), 3);
        EXPECT_TRUE(commands().empty());
    });
}
