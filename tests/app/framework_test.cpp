// The dialog framework through the headless backend: start-up, the login gate, the openers
// and their stack, the keys, and how the main dialog ends.
#include "app/commands.h"
#include "app/dialogs.h"
#include "app/startup.h"
#include "resources/ids.h"
#include "store/db_driver.h"
#include "store/session.h"
#include "tests/support/scenario.h"
#include "tickets/main_lists.h"

#include <filesystem>

namespace {

using testing_support::Scenario;
using namespace headless;
using namespace ids;

std::vector<int> stack_ids()
{
    std::vector<int> ids;
    on_program_thread([&] {
        for (int i = 0; i < app::dialog_stack.count; ++i)
            ids.push_back(app::dialog_stack.ids[i]);
    });
    return ids;
}

class Framework : public Scenario {};

TEST_F(Framework, StartUpOpensTheMainDialogAndCreatesTheFile)
{
    start();
    EXPECT_EQ(stack_ids(), std::vector<int>{main_dialog});
    EXPECT_TRUE(std::filesystem::exists(database));
    EXPECT_TRUE(shown_boxes().empty());
    EXPECT_EQ(focused_control(main), ids::cancel) << "the focus starts on Quit";
    EXPECT_EQ(icon_of(main), ids::program_icon);
    EXPECT_EQ(open_dialogs().size(), 1u);
}

TEST_F(Framework, GatedCommandsDoNothingWhileNobodyIsLoggedIn)
{
    start();
    for (int id : {main_window::search, main_window::create, main_window::see, main_window::refresh,
                   main_window::subjects})
        click(main, id);
    EXPECT_EQ(open_dialogs().size(), 1u);
    EXPECT_TRUE(shown_boxes().empty());
    EXPECT_EQ(stack_ids(), std::vector<int>{main_dialog});

    // Login is never gated: it opens and stacks the login dialog; Escape ends it.
    ASSERT_TRUE(click(main, main_window::login));
    platform::Window login = find_dialog(login_dialog);
    ASSERT_NE(login, nullptr);
    EXPECT_EQ(stack_ids(), (std::vector<int>{main_dialog, login_dialog}));
    EXPECT_EQ(focused_control(login), login::user);
    press_escape(login);
    EXPECT_EQ(find_dialog(login_dialog), nullptr);
    EXPECT_EQ(stack_ids(), std::vector<int>{main_dialog});
    EXPECT_FALSE(program_ended());
}

TEST_F(Framework, ContactButtonShowsItsTextOnceAndIsDisabled)
{
    start();
    ASSERT_TRUE(click(main, main_window::contact));
    EXPECT_EQ(text_of(main, main_window::contact), std::string(app::contact_text));
    EXPECT_EQ(button_style_of(main, main_window::contact), platform::button_style_flat);
    EXPECT_FALSE(is_enabled(main, main_window::contact));
    EXPECT_FALSE(click(main, main_window::contact));
    EXPECT_TRUE(shown_boxes().empty());
}

TEST_F(Framework, ArrowKeysMoveWithinTheFilledLines)
{
    start();
    on_program_thread([&] {
        for (const char* line : {"a", "b", "c", "d"})
            platform::list_add(main, main_window::ticket_list, line);
        tickets::main_list_count = 3; // the last fill listed three lines
    });
    select_line(main, main_window::ticket_list, 0);
    press_key(main, main_window::ticket_list, platform::key_up);
    EXPECT_EQ(selection_of(main, main_window::ticket_list), 0)
        << "up on the first line stays there";
    press_key(main, main_window::ticket_list, platform::key_down);
    press_key(main, main_window::ticket_list, platform::key_down);
    EXPECT_EQ(selection_of(main, main_window::ticket_list), 2);
    // Past the filled count the key is left to the list itself.
    press_key(main, main_window::ticket_list, platform::key_down);
    EXPECT_EQ(selection_of(main, main_window::ticket_list), 3);
    press_key(main, main_window::ticket_list, platform::key_up);
    EXPECT_EQ(selection_of(main, main_window::ticket_list), 2);
    EXPECT_EQ(app::arrow_key_line(main, platform::key_down, 2), -1);
    EXPECT_EQ(app::arrow_key_line(nullptr, platform::key_down, 0), -1);
    EXPECT_EQ(app::arrow_key_line(main, 0x41, 1), -1);
}

// Every list key selects the line it reaches, from no selection too, so See always has one.
TEST_F(Framework, ListKeysAlwaysLeaveALineSelected)
{
    start();
    on_program_thread([&] {
        for (const char* line : {"a", "b", "c", "d"})
            platform::list_add(main, main_window::ticket_list, line);
        tickets::main_list_count = 4;
    });
    const struct {
        unsigned key;
        int from; // -1: nothing selected
        int to;
    } cases[] = {
        {platform::key_down, -1, 1}, // the caret is on the first line; the dialog moves on
        {platform::key_up, -1, 0},   {platform::key_home, -1, 0},   {platform::key_end, -1, 3},
        {platform::key_home, 2, 0},  {platform::key_page_up, 3, 0}, {platform::key_page_down, 0, 3},
    };
    for (const auto& c : cases) {
        on_program_thread(
            [&] { platform::list_set_selection(main, main_window::ticket_list, c.from); });
        press_key(main, main_window::ticket_list, c.key);
        EXPECT_EQ(selection_of(main, main_window::ticket_list), c.to)
            << "key " << c.key << " from " << c.from;
    }
}

int close_calls = 0;
int (*real_close)(store::DbConnection*) = nullptr;

int stubborn_close(store::DbConnection* connection)
{
    // Busy twice, as while a statement is still open, then lets go.
    if (++close_calls < 3)
        return 5;
    return real_close(connection);
}

TEST_F(Framework, CloseBoxClosesTheDatabaseRetryingUntilItSucceeds)
{
    start();
    on_program_thread([] {
        real_close = store::db_driver.close;
        store::db_driver.close = stubborn_close;
    });
    ASSERT_TRUE(press_close_box(main));
    EXPECT_TRUE(program_ended());
    EXPECT_EQ(program_result(), 0);
    EXPECT_EQ(close_calls, 3);
}

TEST_F(Framework, QuitEndsWithoutClosingTheDatabase)
{
    start();
    on_program_thread([] {
        real_close = store::db_driver.close;
        store::db_driver.close = stubborn_close;
    });
    ASSERT_TRUE(click(main, ids::cancel));
    EXPECT_TRUE(program_ended());
    EXPECT_EQ(program_result(), 0);
    EXPECT_EQ(close_calls, 0);
}

TEST_F(Framework, EnterInTheMainDialogPressesTheFocusedButton)
{
    start();
    // Right after start the focus is on Quit.
    press_enter(main);
    EXPECT_TRUE(program_ended());
}

TEST_F(Framework, EnterInTheLoginDialogLogsIn)
{
    start();
    click(main, main_window::login);
    platform::Window login = find_dialog(login_dialog);
    type_text(login, login::user, "nobody");
    press_enter(login);
    // No tables yet and not the administrator: the login reports it and ends.
    EXPECT_EQ(box_texts(), std::vector<std::string>{"Database login error"});
    EXPECT_EQ(find_dialog(login_dialog), nullptr);
}

TEST_F(Framework, AModalDialogThatWouldOverflowTheStackIsNotOpened)
{
    start();
    on_program_thread([] {
        while (app::push_dialog(999)) {
        }
    });
    EXPECT_EQ(stack_ids().size(), 10u);
    click(main, main_window::login);
    EXPECT_EQ(find_dialog(login_dialog), nullptr);
    EXPECT_EQ(box_texts().size(), 1u);
    EXPECT_EQ(stack_ids().size(), 10u);
}

TEST_F(Framework, SearchOpensOneMoreModelessWindowEachTime)
{
    start();
    on_program_thread([] { store::current_person_id = 2; });
    click(main, main_window::search);
    click(main, main_window::search);
    EXPECT_EQ(open_dialogs().size(), 3u);
    EXPECT_EQ(stack_ids(), std::vector<int>{main_dialog});
    // Each search window ends through its own Cancel.
    press_escape(find_dialog(search_dialog));
    EXPECT_EQ(open_dialogs().size(), 2u);
    EXPECT_FALSE(program_ended());
}

TEST_F(Framework, WithoutTheLibraryStartUpSaysSoOnceAndKeepsWorking)
{
    store::sqlite_library_name = "libvendrel-no-such-library.so";
    start();
    const auto boxes = shown_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Database error");
    EXPECT_EQ(boxes[0].caption, "Database error");
    take_boxes();

    // The first administrator login cannot even prepare; nothing crashes.
    log_in("admin", "x");
    const auto texts = box_texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0], "Generate new Database - no table for users found");
    EXPECT_EQ(texts[1], "Cannot prepare statement - table version");
    EXPECT_NE(find_dialog(login_dialog), nullptr);
    press_escape(find_dialog(login_dialog));
    press_close_box(main);
    EXPECT_TRUE(program_ended());
}

} // namespace
