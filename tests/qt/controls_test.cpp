// The program's calls on controls: sorted lists and prefix searches by the shared text
// rules, 8-bit texts and "\r\n" line ends, combo boxes that select nothing by themselves,
// columns drawn at the list's tab stops, the flat button, the icon, and handles of
// dialogs that have gone.
#include "resources/templates.h"
#include "tests/qt/gui.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>

using platform::Window;

namespace {

class QtControls : public ::testing::Test {
  protected:
    void SetUp() override
    {
        main = platform::create_modeless_dialog(100, nullptr, gui::procedure, 0);
        links = platform::create_modeless_dialog(111, main, gui::procedure, 111);
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
    EXPECT_EQ(platform::list_add(links, 101, "beta"), 0);
    EXPECT_EQ(platform::list_add(links, 101, "Alpha"), 0);
    EXPECT_EQ(platform::list_add(links, 101, "alpha"), 1);
    EXPECT_EQ(platform::list_add(links, 101, "Gamma"), 3);
    EXPECT_EQ(platform::list_add(links, 101, "ALPHA2"), 2);
    EXPECT_EQ(lines(links, 101),
              (std::vector<std::string>{"Alpha", "alpha", "ALPHA2", "beta", "Gamma"}));

    // An unsorted list appends; insert goes where it is told, -1 or too far to the end,
    // and the selection stays on its line.
    platform::list_add(links, 100, "b");
    platform::list_add(links, 100, "a");
    platform::list_set_selection(links, 100, 1);
    EXPECT_EQ(platform::list_insert(links, 100, 0, "c"), 0);
    EXPECT_EQ(platform::list_insert(links, 100, -1, "d"), 3);
    EXPECT_EQ(platform::list_insert(links, 100, 9, "e"), 4);
    EXPECT_EQ(lines(links, 100), (std::vector<std::string>{"c", "b", "a", "d", "e"}));
    EXPECT_EQ(platform::list_selection(links, 100), 2);

    platform::list_set_selection(links, 100, 17);
    EXPECT_EQ(platform::list_selection(links, 100), -1);
    platform::list_reset(links, 100);
    EXPECT_EQ(platform::list_count(links, 100), 0);
    EXPECT_EQ(platform::list_selection(links, 100), -1);
}

TEST_F(QtControls, PrefixSearchesStartAfterTheGivenLineAndWrap)
{
    for (const char* kind : {"Child", "Parent", "Relation"})
        platform::list_add(links, 103, kind);
    EXPECT_EQ(platform::list_select_prefix(links, 103, -1, "par"), 1);
    EXPECT_EQ(platform::list_selection(links, 103), 1);
    EXPECT_EQ(platform::list_select_prefix(links, 103, -1, "nobody"), -1);
    EXPECT_EQ(platform::list_selection(links, 103), 1); // a miss leaves the selection

    for (const char* kind : {"Person", "Company", "Pupil", "Group"})
        platform::combo_add(main, 100, kind);
    EXPECT_EQ(platform::combo_find_prefix(main, 100, -1, "p"), 0);
    EXPECT_EQ(platform::combo_find_prefix(main, 100, 0, "p"), 2);
    EXPECT_EQ(platform::combo_find_prefix(main, 100, 2, "p"), 0); // wraps round
    EXPECT_EQ(platform::combo_find_prefix(main, 100, -1, "GROUP"), 3);
    EXPECT_EQ(platform::combo_find_prefix(main, 100, -1, "Groups"), -1);
    EXPECT_EQ(platform::combo_selection(main, 100), -1); // finding is not choosing
}

TEST_F(QtControls, ComboBoxesSelectOnlyWhatTheProgramSelects)
{
    EXPECT_EQ(platform::combo_add(main, 100, "Desk"), 0);
    EXPECT_EQ(platform::combo_selection(main, 100), -1);
    platform::combo_add(main, 100, "Field");
    platform::combo_set_selection(main, 100, 1);
    EXPECT_EQ(platform::combo_text(main, 100, platform::combo_selection(main, 100)), "Field");
    platform::combo_set_selection(main, 100, 5);
    EXPECT_EQ(platform::combo_selection(main, 100), -1);
    EXPECT_EQ(platform::combo_count(main, 100), 2);
    EXPECT_EQ(platform::combo_text(main, 100, 2), "");
    platform::combo_reset(main, 100);
    EXPECT_EQ(platform::combo_count(main, 100), 0);
    EXPECT_EQ(platform::combo_selection(main, 100), -1);
}

// Lengths are bytes of the 8-bit text; multi-line edits give "\r\n" line ends and take
// either; wrapped captions still read as the program set them.
TEST_F(QtControls, TextsAreEightBitWithCrLfLines)
{
    const std::string name = "M\xfcller";
    platform::set_item_text(links, 102, name);
    EXPECT_EQ(platform::item_text(links, 102), name);
    EXPECT_EQ(platform::item_text_length(links, 102), 6);

    platform::set_item_text(links, 106, "one\r\ntwo\r\n");
    auto* edit = qobject_cast<QPlainTextEdit*>(gui::widget(links, 106));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->blockCount(), 3);
    EXPECT_EQ(platform::item_text(links, 106), "one\r\ntwo\r\n");
    EXPECT_EQ(platform::item_text_length(links, 106), 10);

    const std::string contact = "Call the help desk on 0800 123 456\r\nor write";
    platform::set_item_text(main, 1010, contact);
    EXPECT_EQ(platform::item_text(main, 1010), contact);
    auto* button = qobject_cast<QPushButton*>(gui::widget(main, 1010));
    EXPECT_GE(button->text().count(QLatin1Char('\n')), 2); // wrapped, and the given break
    EXPECT_FALSE(button->text().contains(QLatin1Char('\r')));
    platform::set_button_style(main, 1010, platform::button_style_flat);
    platform::enable_item(main, 1010, false);
    EXPECT_TRUE(button->isFlat());
    EXPECT_FALSE(platform::item_enabled(main, 1010));
    EXPECT_EQ(platform::item_text(main, 101), ""); // lists have no text of their own
}

// Columns start at the stops given in dialog units; with none given, and past the last
// one, every 32 units.
TEST_F(QtControls, TabSeparatedColumnsAreDrawnAtTheStops)
{
    auto* list = qobject_cast<QListWidget*>(gui::widget(main, 101));
    ASSERT_NE(list, nullptr);
    platform::list_add(main, 101, "\tI");
    const int start = first_ink(list, 0);
    ASSERT_GT(start, 0);
    platform::list_reset(main, 101);
    platform::list_add(main, 101, "I");
    const int margin = first_ink(list, 0);
    const int at_default = start - margin;

    platform::list_set_tab_stops(main, 101, {38, 60, 80});
    platform::list_reset(main, 101);
    platform::list_add(main, 101, "\tI");
    const int at_38 = first_ink(list, 0) - margin;
    platform::list_reset(main, 101);
    platform::list_add(main, 101, "\t\tI");
    const int at_60 = first_ink(list, 0) - margin;

    EXPECT_NEAR(at_38 * 32.0 / at_default, 38.0, 1.0);
    EXPECT_NEAR(at_60 * 32.0 / at_default, 60.0, 1.0);
    EXPECT_EQ(platform::list_text(main, 101, 0), "\t\tI");

    // Past the last stop the tabs go on every 32 units.
    platform::list_reset(main, 101);
    platform::list_add(main, 101, "\t\t\t\tI");
    const int past = first_ink(list, 0) - margin;
    EXPECT_NEAR(past * 32.0 / at_default, 96.0, 1.0);
}

TEST_F(QtControls, IconShowsOnOpenAndLaterDialogs)
{
    platform::set_dialog_icon(main, ids::program_icon);
    EXPECT_FALSE(qt_backend::dialog_widget(main)->windowIcon().isNull());
    EXPECT_FALSE(qt_backend::dialog_widget(links)->windowIcon().isNull());
    EXPECT_FALSE(QApplication::windowIcon().isNull());
    Window later = platform::create_modeless_dialog(110, main, gui::procedure, 110);
    const QImage shown = qt_backend::dialog_widget(later)->windowIcon().pixmap(32).toImage();
    EXPECT_EQ(shown.size(), QSize(32, 32));
    EXPECT_GT(qAlpha(shown.pixel(16, 16)), 0);
    EXPECT_EQ(qAlpha(shown.pixel(0, 0)), 0); // the picture's transparent corner
}

// A handle kept after its dialog has gone does nothing and answers like an empty control.
TEST_F(QtControls, HandlesOfEndedDialogsAreHarmless)
{
    platform::end_dialog(links, 3);
    platform::end_dialog(links, 4); // a second end changes nothing
    QApplication::processEvents();
    EXPECT_EQ(qt_backend::dialog_widget(links), nullptr);
    platform::set_item_text(links, 102, "x");
    EXPECT_EQ(platform::item_text(links, 102), "");
    EXPECT_EQ(platform::list_add(links, 101, "x"), -1);
    EXPECT_EQ(platform::list_selection(links, 101), -1);
    EXPECT_FALSE(platform::item_enabled(links, 102));
    EXPECT_EQ(platform::dialog_template(links), 111);
    platform::set_focus(links, 102);
    EXPECT_EQ(qt_backend::open_dialogs(), std::vector<Window>{main});
}
