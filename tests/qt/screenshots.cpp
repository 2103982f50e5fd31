// The screenshot tool: runs the real program on the Qt backend in a temporary home, works
// through it as a person would (first login, a few tickets, every dialog, one question
// box) and writes a PNG of each window into the folder given on the command line. The
// offscreen platform draws no window frames, so each picture gets a plain title bar with
// the window's icon and caption.
#include "app/startup.h"
#include "tests/qt/program.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>

#include <cstdio>
#include <set>

namespace {

QString folder;
std::vector<std::string> written;
constexpr std::size_t picture_count = 12; // the names passed to save_window below

void save_window(QWidget* window, const char* name)
{
    if (!window) {
        std::fprintf(stderr, "screenshots: no window for %s\n", name);
        return;
    }
    const QPixmap body = window->grab();
    const QFontMetrics metrics(window->font());
    const int bar = metrics.height() + 12;
    QPixmap picture(body.width() + 2, body.height() + bar + 1);
    picture.fill(QColor(0x4a, 0x55, 0x68));
    QPainter painter(&picture);
    painter.fillRect(1, 1, body.width(), bar - 1, QColor(0x2f, 0x3a, 0x4d));
    const QIcon icon = window->windowIcon();
    int text_x = 9;
    if (!icon.isNull()) {
        painter.drawPixmap(7, (bar - 16) / 2, icon.pixmap(16, 16));
        text_x = 29;
    }
    QFont bold = window->font();
    bold.setBold(true);
    painter.setFont(bold);
    painter.setPen(Qt::white);
    painter.drawText(QRect(text_x, 1, body.width() - text_x, bar - 1), Qt::AlignVCenter,
                     window->windowTitle());
    painter.drawPixmap(1, bar, body);
    painter.end();
    const QString path = folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
    if (picture.save(path))
        written.push_back(name);
    else
        std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
}

gui::Step shoot(int template_id, const char* name)
{
    return gui::once([=] {
        save_window(qt_backend::dialog_widget(qt_backend::find_dialog(template_id)), name);
    });
}

platform::Window dialog(int template_id)
{
    return qt_backend::find_dialog(template_id);
}

gui::Step click(int template_id, int control_id)
{
    return gui::once([=] { gui::click(dialog(template_id), control_id); });
}

// A step that waits until a dialog of template_id has gone.
gui::Step gone(int template_id)
{
    return [=] { return dialog(template_id) == nullptr; };
}

QMessageBox* box_on_screen()
{
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

struct Ticket {
    const char* customer;
    const char* subject;
    const char* state;
    const char* description;
    int group; // entry of the group box
};

const Ticket tickets[] = {
    {"Reception", "Printer on 2nd floor jams", "new",
     "The printer by the stairs jams on every second page.\r\nToner was changed on Monday.", 0},
    {"Accounts", "No mail since 9 o'clock", "waiting",
     "The mail program says the server is offline.", 0},
    {"Warehouse", "Scanner battery worn out", "ordered", "Handheld scanner 3 lasts an hour.", 1},
    {"Sales", "New starter needs a badge", "new", "Dan Evans starts on the 1st.", 0},
};

std::vector<gui::Step> create_ticket(const Ticket& t, bool picture)
{
    std::vector<gui::Step> steps = {
        click(100, 1002),
        gui::wait_for(102),
        gui::once([=] {
            platform::Window d = dialog(102);
            gui::type(d, 102, t.customer);
            gui::type(d, 103, t.subject);
            gui::type(d, 105, t.state);
            platform::set_item_text(d, 106, t.description);
            gui::choose_entry(d, 101, t.group);
        }),
    };
    if (picture)
        steps.push_back(shoot(102, "ticket-create"));
    steps.push_back(click(102, 1208));
    steps.push_back(gone(102));
    return steps;
}

std::vector<gui::Step> scenario(const std::string& database)
{
    using program::then;
    std::vector<gui::Step> steps = then({gui::wait_for(100)}, program::log_in("admin", "admin", 2));
    steps = then(
        steps, {gui::once([database] {
            program::execute(
                database,
                "insert into person (name,role,ac1,date_b) values "
                "('Front desk',5,'1','2026-01-05 08:00:00'),"
                "('Field service',5,'1','2026-01-05 08:00:00');"
                "insert into person (name,role,telephonenumber,email,place,date_b) values "
                "('Ann Archer',1,'0161 496 0734','ann@example.org','Leeds','2026-01-05 08:00:00'),"
                "('Bob Baker',1,'0161 496 0251','bob@example.org','York','2026-01-05 08:00:00'),"
                "('Harbour Tools Ltd',2,'0161 496 0000','info@example.com','Hull','2026-01-05 "
                "08:00:00');"
                "insert into subjectlink "
                "(personid,personid2,linklevelkind,reason,begindate,date_b) values "
                "(1,2,3,'Member','2026-01-05 08:00:00','2026-01-05 08:00:00'),"
                "(1,3,3,'Member','2026-01-05 08:00:00','2026-01-05 08:00:00'),"
                "(4,6,1,'Works for','2026-01-06 09:00:00','2026-01-06 09:00:00'),"
                "(4,5,3,'Friend','2026-02-11 17:30:00','2026-02-11 17:30:00')");
        })});

    // The second login, with the login dialog on the picture before Login is pressed.
    steps = then(steps, {click(100, 1004), gui::wait_for(101), gui::once([] {
                             gui::type(dialog(101), 102, "admin");
                             gui::type(dialog(101), 103, "admin");
                         }),
                         shoot(101, "login"), click(101, 1101), gone(101)});
    for (const Ticket& t : tickets)
        steps = then(steps, create_ticket(t, &t == &tickets[0]));

    steps =
        then(steps, {gui::once([] { gui::click_line(dialog(100), 101, 1); }), shoot(100, "main")});

    // A ticket seen, and the question before ending it (answered Cancel).
    steps = then(steps, {click(100, 1003), gui::wait_for(102), shoot(102, "ticket-see"),
                         click(102, 1215), [] { return box_on_screen() != nullptr; },
                         gui::once([] { save_window(box_on_screen(), "message-box"); }),
                         gui::once([] { box_on_screen()->button(QMessageBox::Cancel)->click(); }),
                         click(102, 2), gone(102)});

    steps = then(steps, {click(100, 1001), gui::wait_for(103),
                         gui::once([] { gui::type(dialog(103), 103, "printer"); }),
                         shoot(103, "search"), click(103, 1050), click(103, 2), gone(103)});

    // The subject dialogs, opened from the list with Ann Archer selected.
    steps = then(steps, {click(100, 1006),
                         gui::wait_for(106),
                         gui::once([] {
                             platform::Window list = dialog(106);
                             const int ann = platform::list_select_prefix(list, 100, -1, "Ann");
                             if (ann >= 0)
                                 gui::click_line(list, 100, ann);
                         }),
                         shoot(106, "subjects"),
                         click(106, 1301),
                         gui::wait_for(107),
                         gui::once([] { gui::type(dialog(107), 100, "Dan Evans"); }),
                         shoot(107, "subject-new"),
                         click(107, 2),
                         gone(107),
                         click(106, 1302),
                         gui::wait_for(108),
                         shoot(108, "subject-update"),
                         click(108, 1306),
                         gui::wait_for(110),
                         gui::once([] {
                             gui::type(dialog(110), 100, "secret");
                             gui::type(dialog(110), 101, "secret");
                         }),
                         shoot(110, "password"),
                         click(110, 2),
                         gone(110),
                         click(108, 1307),
                         gui::wait_for(111),
                         gui::once([] {
                             platform::Window links = dialog(111);
                             if (platform::list_count(links, 100) > 0)
                                 gui::click_line(links, 100, 0);
                         }),
                         shoot(111, "links"),
                         click(111, 2),
                         gone(111),
                         click(108, 1308),
                         gui::wait_for(112),
                         shoot(112, "extra"),
                         click(112, 2),
                         gone(112),
                         click(108, 2),
                         gone(108),
                         click(106, 2),
                         gone(106),
                         click(100, 2)});
    return steps;
}

// The offscreen platform says so whenever a window asks for something it cannot do.
void quieter(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!message.startsWith(QStringLiteral("This plugin does not support")))
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(quieter);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    folder = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "screenshots: cannot make %s\n", argv[1]);
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    int qt_argc = 1;
    platform::start(qt_argc, argv);

    const std::string home = program::make_home();
    gui::play(scenario(program::database_in(home)));
    app::program_entry("");
    const bool finished = gui::script_done();
    program::remove_home(home);

    for (const std::string& name : written)
        std::printf("%s/%s.png\n", qPrintable(folder), name.c_str());
    const std::set<std::string> distinct(written.begin(), written.end());
    if (!finished || distinct.size() != picture_count) {
        std::fprintf(stderr, "screenshots: stopped early, %zu of %zu pictures written\n",
                     distinct.size(), picture_count);
        return 1;
    }
    return 0;
}
