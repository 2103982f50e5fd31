// A person's input reaches the dialog procedure as the headless backend delivers it:
// commands with their notification codes, Enter and Escape as keyboard commands, the close
// box as the close message, and arrow keys in a list that wants them as key-to-item.
#include "resources/ids.h"
#include "tests/qt/gui.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QPlainTextEdit>

using gui::Message;
using platform::Window;
using namespace ids;

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
    EXPECT_EQ(run(main_dialog,
                  [](Window main) {
                      for (const char* line : {"one", "two", "three"})
                          platform::list_add(main, main_window::ticket_list, line);
                      platform::combo_add(main, main_window::group_box, "Desk");
                      platform::combo_add(main, main_window::group_box, "Field");
                      gui::click(main, main_window::create);
                      EXPECT_EQ(commands(), (std::vector<Command>{
                                                {main_window::create, notify_clicked, true}}));

                      gui::double_click_line(main, main_window::ticket_list, 1);
                      EXPECT_EQ(platform::list_selection(main, main_window::ticket_list), 1);
                      const std::vector<Command> list = commands();
                      ASSERT_FALSE(list.empty());
                      EXPECT_EQ(list.front(),
                                (Command{main_window::ticket_list, notify_selection_change, true}));
                      EXPECT_EQ(list.back(),
                                (Command{main_window::ticket_list, notify_double_click, true}));

                      gui::choose_entry(main, main_window::group_box, 1);
                      EXPECT_EQ(platform::combo_selection(main, main_window::group_box), 1);
                      EXPECT_EQ(commands(),
                                (std::vector<Command>{
                                    {main_window::group_box, notify_selection_change, true},
                                    {main_window::group_box, notify_selection_change, true}}));

                      // A disabled button cannot be clicked.
                      platform::enable_item(main, main_window::see, false);
                      gui::click(main, main_window::see);
                      EXPECT_TRUE(commands().empty());
                  }),
              7);

    run(login_dialog, [](Window login) {
        gui::type(login, login::user, "ab");
        EXPECT_EQ(commands(), (std::vector<Command>{{login::user, notify_edit_change, true},
                                                    {login::user, notify_edit_change, true}}));
        EXPECT_EQ(platform::item_text(login, login::user), "ab");
        gui::type(login, login::password, "pw");
        EXPECT_EQ(platform::item_text(login, login::password), "pw");
    });
}

// What the program does to its controls is never reported back to it.
TEST_F(QtInput, ProgramChangesSendNothing)
{
    run(links_dialog, [](Window links) {
        platform::set_item_text(links, links::reason, "reason");
        platform::set_item_text(links, links::description, "two\r\nlines");
        platform::list_add(links, links::candidates, "Bob");
        platform::list_add(links, links::candidates, "Ann");
        platform::list_set_selection(links, links::candidates, 1);
        platform::list_insert(links, links::link_list, 0, "a\tb");
        platform::list_set_selection(links, links::link_list, 0);
        platform::list_select_prefix(links, links::kind, -1, "x");
        platform::list_reset(links, links::candidates);
        platform::set_item_text(links, links::begin_now, "Begin");
        EXPECT_TRUE(commands().empty());
    });
    run(ticket_dialog, [](Window ticket) {
        platform::combo_add(ticket, ticket::group_box, "Desk");
        platform::combo_set_selection(ticket, ticket::group_box, 0);
        platform::combo_reset(ticket, ticket::group_box);
        EXPECT_TRUE(commands().empty());
    });
}

// Enter presses the focused push button, else the first enabled default button, else
// sends command 1 from the keyboard; a multi-line edit keeps it as a new line.
TEST_F(QtInput, EnterFollowsTheFocus)
{
    run(login_dialog, [](Window login) {
        gui::type(login, login::user, "admin");
        commands();
        gui::key(login, Qt::Key_Return);
        EXPECT_EQ(commands(), (std::vector<Command>{{platform::id_ok, 0, false}}));
        platform::set_focus(login, login::log_in);
        gui::key(login, Qt::Key_Enter);
        EXPECT_EQ(commands(), (std::vector<Command>{{login::log_in, notify_clicked, true}}));
    });

    run(ticket_dialog, [](Window ticket) {
        platform::set_focus(ticket, ticket::subject);
        gui::key(ticket, Qt::Key_Return);
        EXPECT_EQ(commands(), (std::vector<Command>{{ticket::save, notify_clicked, true}}));
        platform::enable_item(ticket, ticket::save, false);
        gui::key(ticket, Qt::Key_Return);
        EXPECT_EQ(commands(), (std::vector<Command>{{ticket::save_and_end, notify_clicked, true}}));
        platform::enable_item(ticket, ticket::save_and_end, false);
        gui::key(ticket, Qt::Key_Return);
        EXPECT_EQ(commands(), (std::vector<Command>{{platform::id_ok, 0, false}}));

        gui::type(ticket, ticket::description, "a");
        gui::key(ticket, Qt::Key_Return);
        gui::type(ticket, ticket::description, "b");
        EXPECT_EQ(platform::item_text(ticket, ticket::description), "a\r\nb");
        EXPECT_EQ(platform::item_text_length(ticket, ticket::description), 4);
        for (const Command& c : commands())
            EXPECT_EQ(c, (Command{ticket::description, notify_edit_change, true}));
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
    run(subject_list_dialog, [](Window subjects) {
        gui::press_close_box(subjects);
        ASSERT_FALSE(gui::messages().empty());
        EXPECT_EQ(gui::messages().back().message, platform::msg_close);
        EXPECT_TRUE(commands().empty());
        EXPECT_TRUE(qt_backend::dialog_widget(subjects)->isVisible());

        platform::set_focus(subjects, subject_list::names);
        gui::key(subjects, Qt::Key_Escape);
        EXPECT_EQ(commands(), (std::vector<Command>{{platform::id_cancel, 0, false}}));
        EXPECT_EQ(qt_backend::find_dialog(subject_list_dialog),
                  nullptr); // the default reaction ended it
    });
}

// The list keys always select the line they reach, also where Qt alone would only move its
// focus frame: from a frame without a selection, and onto the line the frame is on.
TEST_F(QtInput, ListKeysSelectTheLineTheyReach)
{
    run(subject_list_dialog, [](Window subjects) {
        for (const char* line : {"one", "two", "three", "four"})
            platform::list_add(subjects, subject_list::names, line);
        auto* list = static_cast<QListWidget*>(gui::widget(subjects, subject_list::names));
        platform::set_focus(subjects, subject_list::names);
        const struct {
            int key;
            int frame; // the line with the focus frame; nothing is selected
            int to;
        } cases[] = {{Qt::Key_Home, 0, 0},
                     {Qt::Key_Down, 0, 1},
                     {Qt::Key_Up, 0, 0},
                     {Qt::Key_End, 3, 3},
                     {Qt::Key_PageUp, 2, 0}};
        for (const auto& c : cases) {
            list->setCurrentRow(c.frame, QItemSelectionModel::Clear);
            gui::take_commands();
            gui::key(subjects, c.key);
            EXPECT_EQ(platform::list_selection(subjects, subject_list::names), c.to)
                << "key " << c.key;
            EXPECT_EQ(commands(),
                      (std::vector<Command>{{subject_list::names, notify_selection_change, true}}));
        }
    });
    // The main list of one ticket: the dialog leaves Down to the list, which selects it.
    run(main_dialog, [](Window main) {
        platform::list_add(main, main_window::ticket_list, "only");
        auto* list = static_cast<QListWidget*>(gui::widget(main, main_window::ticket_list));
        platform::set_focus(main, main_window::ticket_list);
        list->setCurrentRow(0, QItemSelectionModel::Clear);
        gui::key(main, Qt::Key_Down);
        EXPECT_EQ(platform::list_selection(main, main_window::ticket_list), 0);
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
    run(main_dialog, [](Window main) {
        for (const char* line : {"one", "two", "three", "four"})
            platform::list_add(main, main_window::ticket_list, line);
        platform::set_focus(main, main_window::ticket_list);
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
        EXPECT_EQ(platform::list_selection(main, main_window::ticket_list), 2);
        EXPECT_EQ(commands(), (std::vector<Command>{
                                  {main_window::ticket_list, notify_selection_change, true}}));

        next_answer = 2; // the line it is on: nothing changes, nothing is reported
        gui::key(main, Qt::Key_Up);
        EXPECT_EQ(last_key().code, platform::key_up);
        EXPECT_EQ(last_key().high, 2u);
        EXPECT_EQ(platform::list_selection(main, main_window::ticket_list), 2);
        EXPECT_TRUE(commands().empty());

        next_answer = -1; // the list's own handling
        gui::key(main, Qt::Key_Down);
        EXPECT_EQ(platform::list_selection(main, main_window::ticket_list), 3);
        EXPECT_EQ(commands(), (std::vector<Command>{
                                  {main_window::ticket_list, notify_selection_change, true}}));

        next_answer = -2;
        gui::key(main, Qt::Key_Up);
        EXPECT_EQ(platform::list_selection(main, main_window::ticket_list), 3);
        EXPECT_TRUE(commands().empty());
    });
}
