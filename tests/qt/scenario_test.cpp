// The real program on the Qt backend, the same short scenario the headless tests run: on an
// empty database admin's first login creates it; once admin belongs to a ticket group, the
// next login fills the main window's group box; Quit ends the program with 0. The dialog
// stack follows the login dialog throughout.
#include "app/dialogs.h"
#include "app/startup.h"
#include "resources/ids.h"
#include "tests/qt/program.h"
#include "util/md5.h"

#include <QApplication>
#include <QComboBox>
#include <QIcon>

namespace {

using namespace ids;

class QtProgram : public ::testing::Test {
  protected:
    void SetUp() override
    {
        home = program::make_home();
        ASSERT_FALSE(home.empty());
        database = program::database_in(home);
    }
    void TearDown() override
    {
        gui::reset();
        program::remove_home(home);
    }

    std::string home;
    std::string database;
};

std::vector<int> stack()
{
    return std::vector<int>(app::dialog_stack.ids, app::dialog_stack.ids + app::dialog_stack.count);
}

std::vector<std::string> box_texts()
{
    std::vector<std::string> texts;
    for (const qt_backend::ShownBox& box : qt_backend::take_boxes())
        texts.push_back(box.text);
    return texts;
}

} // namespace

TEST_F(QtProgram, AdminCreatesTheDatabaseAndSeesTheGroupBoxFilled)
{
    using program::then;
    std::vector<gui::Step> steps =
        then({gui::wait_for(main_dialog)}, program::log_in("admin", "admin", 2, [] {
                 EXPECT_EQ(stack(), (std::vector<int>{main_dialog, login_dialog}));
                 EXPECT_EQ(gui::focused(qt_backend::find_dialog(login_dialog)), login::user);
             }));
    steps = then(steps, {gui::once([&] {
                     EXPECT_EQ(stack(), std::vector<int>{main_dialog});
                     EXPECT_EQ(box_texts(), (std::vector<std::string>{
                                                "Generate new Database - no table for users found",
                                                "Generating new Database done"}));
                     EXPECT_EQ(qt_backend::find_dialog(login_dialog), nullptr);
                     EXPECT_EQ(platform::combo_count(qt_backend::find_dialog(main_dialog),
                                                     main_window::group_box),
                               0);
                     ASSERT_TRUE(program::execute(
                         database, "insert into person (name,role,ac1,date_b) values "
                                   "('Front desk',5,'1','2026-01-01 00:00:00');"
                                   "insert into subjectlink (personid,personid2,linklevelkind,"
                                   "date_b) values (1,2,3,'2026-01-01 00:00:00')"));
                 })});
    steps = then(steps, program::log_in("admin", "admin"));
    steps = then(steps, {gui::once([] {
                     platform::Window main = qt_backend::find_dialog(main_dialog);
                     EXPECT_TRUE(box_texts().empty());
                     EXPECT_EQ(qt_backend::find_dialog(login_dialog), nullptr);
                     auto* groups =
                         qobject_cast<QComboBox*>(gui::widget(main, main_window::group_box));
                     ASSERT_NE(groups, nullptr);
                     ASSERT_EQ(groups->count(), 1);
                     EXPECT_EQ(groups->itemText(0), "Front desk");
                     QWidget* window = qt_backend::dialog_widget(main);
                     EXPECT_TRUE(window->isVisible());
                     EXPECT_EQ(window->windowTitle(), "Vendrel");
                     EXPECT_FALSE(window->windowIcon().isNull());
                     gui::click(main, ids::cancel);
                 })});
    gui::play(steps);
    EXPECT_EQ(app::program_entry(""), 0);
    EXPECT_EQ(stack(), std::vector<int>{main_dialog}); // the bottom entry is never popped
    EXPECT_TRUE(gui::script_done());
    EXPECT_TRUE(qt_backend::open_dialogs().empty());
}

// What a person types reaches the file as UTF-8 and comes back as typed; a password's digest
// is that of its UTF-8 bytes, so "€€€" and "???" are different passwords.
TEST_F(QtProgram, TypedTextsAreStoredAsUtf8AndShownAgain)
{
    using program::then;
    const std::string typed = "\xc5\x81\xc3\xb3\x64\xc5\xba \xe2\x82\xac\x35 \xc3\x86r\xc3\xb8";
    const std::string password = "\xe2\x82\xac\xe2\x82\xac\xe2\x82\xac";
    char digest[33];
    util::md5_hex_of_text(password.c_str(), digest);
    std::vector<gui::Step> steps =
        then({gui::wait_for(main_dialog)}, program::log_in("admin", password, 2));
    steps = then(
        steps, {gui::once([&] {
                    EXPECT_EQ(program::number(database, "select password='" + std::string(digest) +
                                                            "' from person where id=1"),
                              1);
                    box_texts(); // the two of the new database
                    gui::click(qt_backend::find_dialog(main_dialog), main_window::subjects);
                }),
                gui::wait_for(subject_list_dialog), gui::once([] {
                    gui::click(qt_backend::find_dialog(subject_list_dialog), subject_list::create);
                }),
                gui::wait_for(subject_new_dialog), gui::once([&] {
                    platform::Window form = qt_backend::find_dialog(subject_new_dialog);
                    gui::type(form, subject_new::name, typed);
                    gui::click(form, subject_new::save);
                }),
                gui::once([&] {
                    EXPECT_EQ(box_texts(), std::vector<std::string>{});
                    EXPECT_EQ(program::number(database, "select count(*) from person where "
                                                        "hex(name)=hex('" +
                                                            typed + "')"),
                              1);
                    platform::Window list = qt_backend::find_dialog(subject_list_dialog);
                    EXPECT_EQ(platform::list_text(list, subject_list::names, 1),
                              typed); // after admin
                    gui::click(list, ids::cancel);
                    gui::click(qt_backend::find_dialog(main_dialog), ids::cancel);
                })});
    gui::play(steps);
    EXPECT_EQ(app::program_entry(""), 0);
    EXPECT_TRUE(gui::script_done());
}
