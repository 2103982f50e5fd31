// Every dialog template builds into real widgets: each control with its kind, caption,
// styles and tab order, laid out inside its dialog with captions that fit.
#include "resources/ids.h"
#include "resources/templates.h"
#include "tests/qt/gui.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace ids;
using namespace resources;

namespace {

class QtTemplates : public ::testing::Test {
  protected:
    void TearDown() override { gui::reset(); }

    // Every template built as a modeless dialog, as the test walks through them.
    template <typename Check> void for_each_dialog(Check check)
    {
        int count = 0;
        const DialogTemplate* const* all = all_dialog_templates(&count);
        ASSERT_EQ(count, 11);
        for (int i = 0; i < count; ++i) {
            SCOPED_TRACE(all[i]->id);
            platform::Window dialog =
                platform::create_modeless_dialog(all[i]->id, nullptr, gui::procedure, 0);
            check(*all[i], dialog);
            platform::end_dialog(dialog, 0);
        }
    }
};

bool kind_matches(const ControlTemplate& c, QWidget* w)
{
    switch (c.kind) {
    case ControlKind::push_button:
        return qobject_cast<QPushButton*>(w);
    case ControlKind::edit:
        return (c.style & style_multi_line) ? qobject_cast<QPlainTextEdit*>(w) != nullptr
                                            : qobject_cast<QLineEdit*>(w) != nullptr;
    case ControlKind::static_text:
        return qobject_cast<QLabel*>(w);
    case ControlKind::list_box:
        return qobject_cast<QListWidget*>(w);
    case ControlKind::combo_box:
        return qobject_cast<QComboBox*>(w);
    }
    return false;
}

// The widgets of a dialog's controls in template order (labels without an id included).
std::vector<QWidget*> control_widgets(platform::Window dialog)
{
    QWidget* window = qt_backend::dialog_widget(dialog);
    std::vector<QWidget*> widgets;
    for (QObject* child : window->children())
        if (auto* w = qobject_cast<QWidget*>(child); w && !w->isWindow())
            widgets.push_back(w);
    return widgets;
}

} // namespace

TEST_F(QtTemplates, EveryControlIsBuiltWithItsKindCaptionAndStyles)
{
    for_each_dialog([](const DialogTemplate& t, platform::Window dialog) {
        QWidget* window = qt_backend::dialog_widget(dialog);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->windowTitle().toStdString(), t.caption);
        const std::vector<QWidget*> widgets = control_widgets(dialog);
        ASSERT_EQ(static_cast<int>(widgets.size()), t.control_count);
        for (int i = 0; i < t.control_count; ++i) {
            const ControlTemplate& c = t.controls[i];
            SCOPED_TRACE(c.id);
            QWidget* w = widgets[i];
            EXPECT_TRUE(kind_matches(c, w)) << w->metaObject()->className();
            if (c.id >= 0) {
                EXPECT_EQ(qt_backend::control_widget(dialog, c.id), w);
            }
            if ((c.kind == ControlKind::push_button || c.kind == ControlKind::static_text) &&
                c.id >= 0) {
                EXPECT_EQ(platform::item_text(dialog, c.id), c.caption);
            }
            if (auto* edit = qobject_cast<QLineEdit*>(w)) {
                EXPECT_EQ(edit->isReadOnly(), (c.style & style_read_only) != 0);
                EXPECT_EQ(edit->echoMode() == QLineEdit::Password, (c.style & style_password) != 0);
            }
            if (auto* button = qobject_cast<QPushButton*>(w)) {
                EXPECT_FALSE(button->autoDefault());
            }
        }
    });
}

// Tab reaches the controls with a tab stop in template order, and nothing else.
TEST_F(QtTemplates, TabOrderIsTheTemplateOrder)
{
    for_each_dialog([](const DialogTemplate& t, platform::Window dialog) {
        const std::vector<QWidget*> widgets = control_widgets(dialog);
        std::vector<QWidget*> expected;
        for (int i = 0; i < t.control_count; ++i)
            if (t.controls[i].kind != ControlKind::static_text &&
                !(t.controls[i].style & style_no_tab_stop))
                expected.push_back(widgets[i]);
        ASSERT_FALSE(expected.empty());

        std::vector<QWidget*> visited;
        QWidget* w = expected.front();
        do {
            if ((w->focusPolicy() & Qt::TabFocus) &&
                std::find(widgets.begin(), widgets.end(), w) != widgets.end())
                visited.push_back(w);
            w = w->nextInFocusChain();
        } while (w != expected.front() && visited.size() <= widgets.size());
        EXPECT_EQ(visited, expected);
    });
}

// Controls stay inside their dialog, and every caption fits its control (wrapped ones in
// their height), with the dialog font's metrics.
TEST_F(QtTemplates, LayoutKeepsControlsInsideAndCaptionsUnclipped)
{
    for_each_dialog([](const DialogTemplate& t, platform::Window dialog) {
        QWidget* window = qt_backend::dialog_widget(dialog);
        const std::vector<QWidget*> widgets = control_widgets(dialog);
        for (int i = 0; i < t.control_count; ++i) {
            const ControlTemplate& c = t.controls[i];
            SCOPED_TRACE(c.caption);
            QWidget* w = widgets[i];
            EXPECT_TRUE(window->rect().contains(w->geometry())) << c.id;
            if (!c.caption || !*c.caption)
                continue;
            const QFontMetrics metrics(w->font());
            if (auto* button = qobject_cast<QPushButton*>(w)) {
                const QRect needed =
                    metrics.boundingRect(QRect(0, 0, 10000, 10000), Qt::AlignLeft, button->text());
                EXPECT_LE(needed.width(), button->width() - 4);
                EXPECT_LE(needed.height(), button->height());
            } else if (auto* label = qobject_cast<QLabel*>(w)) {
                EXPECT_LE(metrics.horizontalAdvance(label->text()), label->width());
                EXPECT_LE(metrics.height(), label->height());
            }
        }
    });
}

// After a handled initialisation the first control with a tab stop has the focus, even
// when the procedure gave it to the dialog; an unhandled one leaves the focus alone.
TEST_F(QtTemplates, InitialisationFocusesTheFirstTabStop)
{
    gui::set_reaction([](platform::Window dialog, const gui::Message& m, intptr_t* answer) {
        if (m.message != platform::msg_init_dialog)
            return false;
        platform::set_focus(dialog, 0);
        if (m.dialog == ticket_dialog) {
            platform::enable_item(dialog, ticket::files, false); // disabled controls are skipped
            platform::set_focus(dialog, ticket::state);
        }
        *answer = m.dialog == ticket_dialog ? 0 : 1;
        return true;
    });
    platform::Window main =
        platform::create_modeless_dialog(main_dialog, nullptr, gui::procedure, 0);
    platform::Window login =
        platform::create_modeless_dialog(login_dialog, main, gui::procedure, login_dialog);
    platform::Window search =
        platform::create_modeless_dialog(search_dialog, main, gui::procedure, search_dialog);
    platform::Window ticket =
        platform::create_modeless_dialog(ticket_dialog, main, gui::procedure, ticket_dialog);
    EXPECT_EQ(gui::focused(main), ids::cancel);     // Quit
    EXPECT_EQ(gui::focused(login), login::user);    // user name
    EXPECT_EQ(gui::focused(search), search::code);  // code, past its label
    EXPECT_EQ(gui::focused(ticket), ticket::state); // where the procedure put it
    const std::vector<gui::Message> seen = gui::messages();
    ASSERT_GE(seen.size(), 4u);
    EXPECT_EQ(seen[1].message, platform::msg_init_dialog);
    EXPECT_EQ(seen[1].lparam, login_dialog);
}
