// The screenshot tool: runs the real program on the Qt backend in a temporary home, works
// through it as a person would (first login, a few tickets, every dialog, one question
// box) and writes a PNG of each window into the folder given on the command line. The
// offscreen platform draws no window frames, so each picture gets a plain title bar with
// the window's icon and caption.
#include "app/startup.h"
#include "resources/ids.h"
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

using namespace ids;

QString folder;
std::vector<std::string> written;
constexpr std::size_t picture_count = 14; // the names passed to save_window below

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
        click(main_dialog, main_window::create),
        gui::wait_for(ticket_dialog),
        gui::once([=] {
            platform::Window d = dialog(ticket_dialog);
            gui::type(d, ticket::customer, t.customer);
            gui::type(d, ticket::subject, t.subject);
            gui::type(d, ticket::state, t.state);
            platform::set_item_text(d, ticket::description, t.description);
            gui::choose_entry(d, ticket::group_box, t.group);
        }),
    };
    if (picture)
        steps.push_back(shoot(ticket_dialog, "ticket-create"));
    steps.push_back(click(ticket_dialog, ticket::save));
    steps.push_back(gone(ticket_dialog));
    return steps;
}

std::vector<gui::Step> scenario(const std::string& database)
{
    using program::then;
    std::vector<gui::Step> steps =
        then({gui::wait_for(main_dialog)}, program::log_in("admin", "admin", 2));
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
    steps = then(steps, {click(main_dialog, main_window::login), gui::wait_for(login_dialog),
                         gui::once([] {
                             gui::type(dialog(login_dialog), login::user, "admin");
                             gui::type(dialog(login_dialog), login::password, "admin");
                         }),
                         shoot(login_dialog, "login"), click(login_dialog, login::log_in),
                         gone(login_dialog)});
    for (const Ticket& t : tickets)
        steps = then(steps, create_ticket(t, &t == &tickets[0]));

    steps =
        then(steps,
             {gui::once([] { gui::click_line(dialog(main_dialog), main_window::ticket_list, 1); }),
              shoot(main_dialog, "main")});

    // Two earlier versions of that ticket, by another writer, for its history.
    steps = then(steps, {gui::once([database] {
                     program::execute(
                         database,
                         "insert into ticket (code,personid_t,personid_u,customer,subject,state,"
                         "description,begindate,enddate,date_b) select code,personid_t,4,"
                         "customer,'No mail','new','Nothing arrives.','2026-01-07 08:12:00',"
                         "'2026-01-07 10:30:00','2026-01-07 08:12:00' from ticket where "
                         "subject='No mail since 9 o''clock' and enddate is null;"
                         "insert into ticket (code,personid_t,personid_u,customer,subject,state,"
                         "description,begindate,enddate,date_b) select code,personid_t,1,"
                         "customer,'No mail since 9 o''clock','new','Nothing arrives.',"
                         "'2026-01-07 10:30:00',begindate,'2026-01-07 10:30:00' from ticket "
                         "where subject='No mail since 9 o''clock' and enddate is null");
                 })});

    // A ticket seen, its history, and the question before ending it (answered Cancel).
    steps = then(steps, {click(main_dialog, main_window::see), gui::wait_for(ticket_dialog),
                         shoot(ticket_dialog, "ticket-see"), click(ticket_dialog, ticket::history),
                         gui::wait_for(history_dialog), gui::once([] {
                             gui::click_line(dialog(history_dialog), history::versions, 1);
                         }),
                         shoot(history_dialog, "history"), click(history_dialog, ids::cancel),
                         gone(history_dialog), click(ticket_dialog, ticket::save_and_end),
                         [] { return box_on_screen() != nullptr; },
                         gui::once([] { save_window(box_on_screen(), "message-box"); }),
                         gui::once([] { box_on_screen()->button(QMessageBox::Cancel)->click(); }),
                         click(ticket_dialog, ids::cancel), gone(ticket_dialog)});

    steps = then(
        steps,
        {click(main_dialog, main_window::search), gui::wait_for(search_dialog),
         gui::once([] { gui::type(dialog(search_dialog), search::subject, "printer"); }),
         shoot(search_dialog, "search"), click(search_dialog, search::run),
         // A search that finds more than the list holds says so under the list.
         gui::once([database] {
             program::execute(
                 database,
                 "with recursive n(i) as (select 1 union all select i+1 from n where i<2100) "
                 "insert into ticket (code,personid_t,customer,subject,state,description,"
                 "begindate,date_b) select printf('3UB%04d',i),2,'Reception',"
                 "'Archived request '||i,'done','Kept for the records.',"
                 "printf('2025-%02d-%02d 09:00:00',1+i%12,1+i%28),'2025-01-01 00:00:00' from n");
             platform::set_item_text(dialog(search_dialog), search::subject, "");
         }),
         click(search_dialog, search::run), shoot(main_dialog, "main-cut"),
         click(search_dialog, ids::cancel), gone(search_dialog)});

    // The subject dialogs, opened from the list with Ann Archer selected.
    steps = then(
        steps,
        {click(main_dialog, main_window::subjects),
         gui::wait_for(subject_list_dialog),
         gui::once([] {
             platform::Window list = dialog(subject_list_dialog);
             const int ann = platform::list_select_prefix(list, subject_list::names, -1, "Ann");
             if (ann >= 0)
                 gui::click_line(list, subject_list::names, ann);
         }),
         shoot(subject_list_dialog, "subjects"),
         click(subject_list_dialog, subject_list::create),
         gui::wait_for(subject_new_dialog),
         gui::once([] { gui::type(dialog(subject_new_dialog), subject_new::name, "Dan Evans"); }),
         shoot(subject_new_dialog, "subject-new"),
         click(subject_new_dialog, ids::cancel),
         gone(subject_new_dialog),
         click(subject_list_dialog, subject_list::update),
         gui::wait_for(subject_update_dialog),
         shoot(subject_update_dialog, "subject-update"),
         click(subject_update_dialog, subject_update::password),
         gui::wait_for(password_dialog),
         gui::once([] {
             gui::type(dialog(password_dialog), password::first, "secret");
             gui::type(dialog(password_dialog), password::second, "secret");
         }),
         shoot(password_dialog, "password"),
         click(password_dialog, ids::cancel),
         gone(password_dialog),
         click(subject_update_dialog, subject_update::links),
         gui::wait_for(links_dialog),
         gui::once([] {
             platform::Window links = dialog(links_dialog);
             if (platform::list_count(links, links::link_list) > 0)
                 gui::click_line(links, links::link_list, 0);
         }),
         shoot(links_dialog, "links"),
         click(links_dialog, ids::cancel),
         gone(links_dialog),
         click(subject_update_dialog, subject_update::extra),
         gui::wait_for(extra_dialog),
         shoot(extra_dialog, "extra"),
         click(extra_dialog, ids::cancel),
         gone(extra_dialog),
         click(subject_update_dialog, ids::cancel),
         gone(subject_update_dialog),
         click(subject_list_dialog, ids::cancel),
         gone(subject_list_dialog),
         click(main_dialog, ids::cancel)});
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
