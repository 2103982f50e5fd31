// The program's calls on controls: sorted lists and prefix searches by the shared text
// rules, 8-bit texts and "\r\n" line ends, combo boxes that select nothing by themselves,
// columns drawn at the list's tab stops, the flat button, the icon, and handles of
// dialogs that have gone.
#include "resources/ids.h"
#include "resources/templates.h"
#include "tests/qt/gui.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QIcon>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>

using platform::Window;
using namespace ids;

namespace {

class QtControls : public ::testing::Test {
  protected:
    void SetUp() override
    {
        main = platform::create_modeless_dialog(main_dialog, nullptr, gui::procedure, 0);
        links = platform::create_modeless_dialog(links_dialog, main, gui::procedure, links_dialog);
    }
    void TearDown() override { gui::reset(); }

    std::vector<std::string> lines(Window dialog, int id)
    {
        std::vector<std::string> all;
        for (int i = 0; i < platform::list_count(dialog, id); ++i)
            all.push_back(platform::list_text(dialog, id, i));
        return all;
    }

    Window main = nullptr;
    Window links = nullptr;
};

// The leftmost column of dark pixels at or right of from in the list's first line.
int first_ink(QListWidget* list, int from)
{
    list->doItemsLayout();
    QImage image(list->viewport()->size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    list->viewport()->render(&image);
    const QRect line = list->visualItemRect(list->item(0));
    for (int x = from; x < image.width(); ++x)
        for (int y = line.top(); y <= line.bottom(); ++y)
            if (qGray(image.pixel(x, y)) < 128)
                return x;
    return -1;
}

} // namespace

TEST_F(QtControls, SortedListsFoldCaseAndPlaceEqualTextsAfter)
{
    EXPECT_EQ(platform::list_add(links, links::candidates, "beta"), 0);
    EXPECT_EQ(platform::list_add(links, links::candidates, "Alpha"), 0);
    EXPECT_EQ(platform::list_add(links, links::candidates, "alpha"), 1);
    EXPECT_EQ(platform::list_add(links, links::candidates, "Gamma"), 3);
    EXPECT_EQ(platform::list_add(links, links::candidates, "ALPHA2"), 2);
    EXPECT_EQ(lines(links, links::candidates),
              (std::vector<std::string>{"Alpha", "alpha", "ALPHA2", "beta", "Gamma"}));

    // An unsorted list appends; insert goes where it is told, -1 or too far to the end,
    // and the selection stays on its line.
    platform::list_add(links, links::link_list, "b");
    platform::list_add(links, links::link_list, "a");
    platform::list_set_selection(links, links::link_list, 1);
    EXPECT_EQ(platform::list_insert(links, links::link_list, 0, "c"), 0);
    EXPECT_EQ(platform::list_insert(links, links::link_list, -1, "d"), 3);
    EXPECT_EQ(platform::list_insert(links, links::link_list, 9, "e"), 4);
    EXPECT_EQ(lines(links, links::link_list), (std::vector<std::string>{"c", "b", "a", "d", "e"}));
    EXPECT_EQ(platform::list_selection(links, links::link_list), 2);

    platform::list_set_selection(links, links::link_list, 17);
    EXPECT_EQ(platform::list_selection(links, links::link_list), -1);
    platform::list_reset(links, links::link_list);
    EXPECT_EQ(platform::list_count(links, links::link_list), 0);
    EXPECT_EQ(platform::list_selection(links, links::link_list), -1);
}

TEST_F(QtControls, PrefixSearchesStartAfterTheGivenLineAndWrap)
{
    for (const char* kind : {"Child", "Parent", "Relation"})
        platform::list_add(links, links::kind, kind);
    EXPECT_EQ(platform::list_select_prefix(links, links::kind, -1, "par"), 1);
    EXPECT_EQ(platform::list_selection(links, links::kind), 1);
    EXPECT_EQ(platform::list_select_prefix(links, links::kind, -1, "nobody"), -1);
    EXPECT_EQ(platform::list_selection(links, links::kind), 1); // a miss leaves the selection

    for (const char* kind : {"Person", "Company", "Pupil", "Group"})
        platform::combo_add(main, main_window::group_box, kind);
    EXPECT_EQ(platform::combo_find_prefix(main, main_window::group_box, -1, "p"), 0);
    EXPECT_EQ(platform::combo_find_prefix(main, main_window::group_box, 0, "p"), 2);
    EXPECT_EQ(platform::combo_find_prefix(main, main_window::group_box, 2, "p"), 0); // wraps round
    EXPECT_EQ(platform::combo_find_prefix(main, main_window::group_box, -1, "GROUP"), 3);
    EXPECT_EQ(platform::combo_find_prefix(main, main_window::group_box, -1, "Groups"), -1);
    // Finding is not choosing.
    EXPECT_EQ(platform::combo_selection(main, main_window::group_box), -1);
}

TEST_F(QtControls, ComboBoxesSelectOnlyWhatTheProgramSelects)
{
    EXPECT_EQ(platform::combo_add(main, main_window::group_box, "Desk"), 0);
    EXPECT_EQ(platform::combo_selection(main, main_window::group_box), -1);
    platform::combo_add(main, main_window::group_box, "Field");
    platform::combo_set_selection(main, main_window::group_box, 1);
    EXPECT_EQ(platform::combo_text(main, main_window::group_box,
                                   platform::combo_selection(main, main_window::group_box)),
              "Field");
    platform::combo_set_selection(main, main_window::group_box, 5);
    EXPECT_EQ(platform::combo_selection(main, main_window::group_box), -1);
    EXPECT_EQ(platform::combo_count(main, main_window::group_box), 2);
    EXPECT_EQ(platform::combo_text(main, main_window::group_box, 2), "");
    platform::combo_reset(main, main_window::group_box);
    EXPECT_EQ(platform::combo_count(main, main_window::group_box), 0);
    EXPECT_EQ(platform::combo_selection(main, main_window::group_box), -1);
}

// Lengths are bytes of the 8-bit text; multi-line edits give "\r\n" line ends and take
// either; wrapped captions still read as the program set them.
TEST_F(QtControls, TextsAreUtf8WithCrLfLines)
{
    // UTF-8 crosses as it is and is measured in the bytes it is stored as.
    const std::string name = "\xc5\x81\xc3\xb3\x64\xc5\xba \xe2\x82\xac\x35 \xc3\x86r\xc3\xb8";
    platform::set_item_text(links, links::reason, name);
    auto* reason = qobject_cast<QLineEdit*>(gui::widget(links, links::reason));
    ASSERT_NE(reason, nullptr);
    EXPECT_EQ(reason->text(), QStringLiteral("\u0141\u00f3d\u017a \u20ac5 \u00c6r\u00f8"));
    EXPECT_EQ(platform::item_text(links, links::reason), name);
    EXPECT_EQ(platform::item_text_length(links, links::reason), 18);
    // Bytes another tool wrote in an 8-bit code page are shown as Windows-1252.
    platform::set_item_text(links, links::reason, "M\xfcller \x80\x35");
    EXPECT_EQ(reason->text(), QStringLiteral("M\u00fcller \u20ac5"));

    platform::set_item_text(links, links::description, "one\r\ntwo\r\n");
    auto* edit = qobject_cast<QPlainTextEdit*>(gui::widget(links, links::description));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->blockCount(), 3);
    EXPECT_EQ(platform::item_text(links, links::description), "one\r\ntwo\r\n");
    EXPECT_EQ(platform::item_text_length(links, links::description), 10);

    const std::string contact = "Call the help desk on 0800 123 456\r\nor write";
    platform::set_item_text(main, main_window::contact, contact);
    EXPECT_EQ(platform::item_text(main, main_window::contact), contact);
    auto* button = qobject_cast<QPushButton*>(gui::widget(main, main_window::contact));
    EXPECT_GE(button->text().count(QLatin1Char('\n')), 2); // wrapped, and the given break
    EXPECT_FALSE(button->text().contains(QLatin1Char('\r')));
    platform::set_button_style(main, main_window::contact, platform::button_style_flat);
    platform::enable_item(main, main_window::contact, false);
    EXPECT_TRUE(button->isFlat());
    EXPECT_FALSE(platform::item_enabled(main, main_window::contact));
    // Lists have no text of their own.
    EXPECT_EQ(platform::item_text(main, main_window::ticket_list), "");
}

// Columns start at the stops given in dialog units; with none given, and past the last
// one, every 32 units.
TEST_F(QtControls, TabSeparatedColumnsAreDrawnAtTheStops)
{
    auto* list = qobject_cast<QListWidget*>(gui::widget(main, main_window::ticket_list));
    ASSERT_NE(list, nullptr);
    platform::list_add(main, main_window::ticket_list, "\tI");
    const int start = first_ink(list, 0);
    ASSERT_GT(start, 0);
    platform::list_reset(main, main_window::ticket_list);
    platform::list_add(main, main_window::ticket_list, "I");
    const int margin = first_ink(list, 0);
    const int at_default = start - margin;

    platform::list_set_tab_stops(main, main_window::ticket_list, {38, 60, 80});
    platform::list_reset(main, main_window::ticket_list);
    platform::list_add(main, main_window::ticket_list, "\tI");
    const int at_38 = first_ink(list, 0) - margin;
    platform::list_reset(main, main_window::ticket_list);
    platform::list_add(main, main_window::ticket_list, "\t\tI");
    const int at_60 = first_ink(list, 0) - margin;

    EXPECT_NEAR(at_38 * 32.0 / at_default, 38.0, 1.0);
    EXPECT_NEAR(at_60 * 32.0 / at_default, 60.0, 1.0);
    EXPECT_EQ(platform::list_text(main, main_window::ticket_list, 0), "\t\tI");

    // Past the last stop the tabs go on every 32 units.
    platform::list_reset(main, main_window::ticket_list);
    platform::list_add(main, main_window::ticket_list, "\t\t\t\tI");
    const int past = first_ink(list, 0) - margin;
    EXPECT_NEAR(past * 32.0 / at_default, 96.0, 1.0);
}

TEST_F(QtControls, IconShowsOnOpenAndLaterDialogs)
{
    platform::set_dialog_icon(main, ids::program_icon);
    EXPECT_FALSE(qt_backend::dialog_widget(main)->windowIcon().isNull());
    EXPECT_FALSE(qt_backend::dialog_widget(links)->windowIcon().isNull());
    EXPECT_FALSE(QApplication::windowIcon().isNull());
    Window later =
        platform::create_modeless_dialog(password_dialog, main, gui::procedure, password_dialog);
    // At a device-pixel ratio above 1 the pixmap has more pixels than the 32 asked for.
    const QImage shown = qt_backend::dialog_widget(later)->windowIcon().pixmap(32).toImage();
    EXPECT_EQ(shown.deviceIndependentSize(), QSizeF(32, 32));
    EXPECT_GT(qAlpha(shown.pixel(shown.width() / 2, shown.height() / 2)), 0);
    EXPECT_EQ(qAlpha(shown.pixel(0, 0)), 0); // the picture's transparent corner
}

// A handle kept after its dialog has gone does nothing and answers like an empty control.
TEST_F(QtControls, HandlesOfEndedDialogsAreHarmless)
{
    platform::end_dialog(links, 3);
    platform::end_dialog(links, 4); // a second end changes nothing
    QApplication::processEvents();
    EXPECT_EQ(qt_backend::dialog_widget(links), nullptr);
    platform::set_item_text(links, links::reason, "x");
    EXPECT_EQ(platform::item_text(links, links::reason), "");
    EXPECT_EQ(platform::list_add(links, links::candidates, "x"), -1);
    EXPECT_EQ(platform::list_selection(links, links::candidates), -1);
    EXPECT_FALSE(platform::item_enabled(links, links::reason));
    EXPECT_EQ(platform::dialog_template(links), links_dialog);
    platform::set_focus(links, links::reason);
    EXPECT_EQ(qt_backend::open_dialogs(), std::vector<Window>{main});
}

// A timer ticks with its id until it is killed; a refilled list scrolls back to its top line.
TEST_F(QtControls, TimersTickUntilKilledAndTheTopLineIsKept)
{
    gui::take_commands();
    auto ticks = [] {
        int count = 0;
        for (const gui::Message& m : gui::messages())
            count += m.message == platform::msg_timer && m.id == 7;
        return count;
    };
    platform::set_timer(main, 7, 5);
    QElapsedTimer clock;
    clock.start();
    while (ticks() < 2 && clock.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_GE(ticks(), 2);
    platform::kill_timer(main, 7);
    const int killed_at = ticks();
    clock.restart();
    while (clock.elapsed() < 60)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    EXPECT_EQ(ticks(), killed_at);

    std::vector<std::string> many;
    for (int i = 0; i < 300; ++i)
        many.push_back("line " + std::to_string(i));
    platform::list_add_lines(main, main_window::ticket_list, many);
    platform::list_set_top_line(main, main_window::ticket_list, 120);
    EXPECT_EQ(platform::list_top_line(main, main_window::ticket_list), 120);
    platform::list_reset(main, main_window::ticket_list);
    platform::list_add_lines(main, main_window::ticket_list, many);
    platform::list_set_top_line(main, main_window::ticket_list, 120);
    EXPECT_EQ(platform::list_top_line(main, main_window::ticket_list), 120);
}
