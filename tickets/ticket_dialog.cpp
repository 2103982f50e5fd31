// The ticket dialog: creating a ticket, loading the one on the selected line of the main
// list, saving a new version of it and ending it. A save never changes a stored row except to
// end it, so a ticket is a chain of rows sharing one code, at most one of them open. The app
// opens and closes the dialog; codes come from ticket_codes, the main list from main_lists.
#include "tickets/ticket_dialog.h"

#include "platform/fields.h"
#include "resources/ids.h"
#include "store/session.h"
#include "store/sql.h"
#include "tickets/main_lists.h"
#include "tickets/ticket_codes.h"
#include "tickets/ticket_texts.h"
#include "util/date_time.h"

#include <cstdlib>
#include <unordered_map>
#include <vector>

namespace tickets {

namespace {

namespace control = ids::ticket;

constexpr const char* no_message_group = "No message group found";
constexpr const char* error_caption = "Error";
constexpr const char* not_found_caption = "Cannot find record";
constexpr const char* no_selection = "Cannot determine selection";

std::unordered_map<platform::Window, TicketForm> ticket_forms;

void disable_features(platform::Window dialog)
{
    if (!(store::feature_flags & store::feature_mail))
        platform::enable_item(dialog, control::mail, false);
    if (!(store::feature_flags & store::feature_files))
        platform::enable_item(dialog, control::files, false);
    if (!(store::feature_flags & store::feature_get))
        platform::enable_item(dialog, control::get, false);
}

// A one-row load of the see mode; shows its own message when it fails. Returns 1 or -1.
int load(platform::Window dialog, const std::string& sql, const char* column, std::string* value)
{
    const int found = look_up(sql, column, value);
    if (found < 0)
        platform::message_box(dialog, sql, error_caption);
    else if (found == 0)
        platform::message_box(dialog, sql, not_found_caption);
    return found > 0 ? 1 : -1;
}

// A customer person id of a ticket row, or -1 when the row names none. Only a positive
// decimal number counts, so a NULL reported as some other text is no person either.
int customer_person_of(store::DbStatement* row)
{
    const char* text = store::column_by_name(row, "personid_c");
    if (!text || *text == '\0')
        return -1;
    for (const char* p = text; *p; ++p)
        if (*p < '0' || *p > '9')
            return -1;
    const int id = std::atoi(text);
    return id > 0 ? id : -1;
}

// Selects the group box entry called name; false when there is none.
bool select_group_named(platform::Window dialog, const std::string& name)
{
    const int count = platform::combo_count(dialog, control::group_box);
    for (int i = 0; i < count; ++i) {
        if (platform::combo_text(dialog, control::group_box, i) == name) {
            platform::combo_set_selection(dialog, control::group_box, i);
            return true;
        }
    }
    return false;
}

void tell_newer_version(platform::Window dialog)
{
    ticket_form(dialog).newer_told = true;
    platform::set_item_text(dialog, control::newer, changed_meanwhile);
}

// Fills the fields from the ticket row with id, which must carry the code expected (the one
// the main list shows on the line); returns its group id, or -1 after a message.
int load_ticket_row(platform::Window dialog, int id, const std::string& expected_code)
{
    const std::string sql =
        store::sql_format("select * from ticket where id=%d and date_e is null", id);
    int group_id = -1;
    std::string code;
    bool ended = false;
    const store::Outcome outcome = store::run_statement(sql, [&](store::DbStatement* row) {
        code = store::column_string(row, "code");
        if (!expected_code.empty() && code != expected_code)
            return false;
        ended = !store::column_string(row, "enddate").empty();
        platform::set_item_text(dialog, control::code, code);
        group_id = store::column_number(row, "personid_t");
        ticket_form(dialog).customer_person = customer_person_of(row);
        if (ticket_form(dialog).customer_person < 0)
            platform::set_item_text(dialog, control::customer,
                                    store::column_string(row, "customer"));
        platform::set_item_text(dialog, control::subject, store::column_string(row, "subject"));
        platform::set_item_text(dialog, control::state, store::column_string(row, "state"));
        platform::set_item_text(dialog, control::description,
                                store::column_string(row, "description"));
        return false;
    });
    if (outcome.failure == store::Failure::prepare) {
        platform::message_box(dialog, sql, error_caption);
        return -1;
    }
    if (outcome.rows == 0) {
        platform::message_box(dialog, sql, not_found_caption);
        return -1;
    }
    if (!expected_code.empty() && code != expected_code) {
        platform::message_box(dialog, no_selection);
        return -1;
    }
    // A list filled before another instance saved the ticket again shows an older version.
    if (ended)
        tell_newer_version(dialog);
    return group_id;
}

// Whether the rule of one open row per ticket refused what a statement would write: another
// instance opened a row of that ticket first.
bool refused_by_rule(const store::Outcome& outcome)
{
    return outcome.failure == store::Failure::step && outcome.code == store::db_constraint;
}

// Runs an insert of a save. 1 when it finished, 0 when the rule of one open row refused it
// (nothing is shown then: the caller knows what it means), -1 after its message.
int run_write(platform::Window dialog, const std::string& sql)
{
    const store::Outcome outcome = store::run_statement(sql);
    if (outcome.ok())
        return 1;
    if (refused_by_rule(outcome))
        return 0;
    platform::message_box(dialog, sql,
                          outcome.failure == store::Failure::prepare ? ticket_prepare_caption
                                                                     : error_caption);
    return -1;
}

// A fresh code for a new ticket into *code, shown in the dialog (a later refusal leaves it
// there). 0, or -1 after a message.
int new_code(platform::Window dialog, std::string* code)
{
    if (make_ticket_code(code) < 0) {
        platform::message_box(dialog, "Cannot generate code for ticket, please try again");
        return -1;
    }
    platform::set_item_text(dialog, control::code, *code);
    return 0;
}

// The id of the group chosen in the dialog; -1 after a message.
int chosen_group_id(platform::Window dialog)
{
    const int chosen = platform::combo_selection(dialog, control::group_box);
    if (chosen < 0) {
        platform::message_box(dialog, "Select a ticketgroup");
        return -1;
    }
    // The ticket's own group, offered because the user is not in it, is known by its id.
    const TicketForm& form = ticket_form(dialog);
    if (chosen == form.own_group_entry)
        return form.own_group_id;
    const std::string sql =
        "SELECT id FROM PERSON WHERE name='" +
        store::sql_quote(platform::combo_text(dialog, control::group_box, chosen)) +
        "' and date_e is null";
    std::string id;
    const int found = look_up(sql, "id", &id);
    if (found < 0) {
        platform::message_box(dialog, sql, ticket_prepare_caption);
        return -1;
    }
    if (found == 0) {
        platform::message_box(dialog, "TicketGroup not found");
        return -1;
    }
    return std::atoi(id.c_str());
}

struct TicketTexts {
    std::string customer, subject, state, description;
};

// Reads the typed fields in order; the first too long one is refused with its message.
int read_ticket_texts(platform::Window dialog, TicketTexts* texts)
{
    using platform::read_field;
    if (read_field(dialog, control::customer, customer_limit, customer_too_long, &texts->customer) <
            0 ||
        read_field(dialog, control::subject, subject_limit, subject_too_long, &texts->subject) <
            0 ||
        read_field(dialog, control::state, state_limit, "State too long", &texts->state) < 0 ||
        read_field(dialog, control::description, description_limit, description_too_long,
                   &texts->description) < 0)
        return -1;
    return 0;
}

// A ticket row of a save: its columns, and its values in the same order. With end set the
// row is born ended.
struct TicketRow {
    std::string columns;
    std::string values;
};

TicketRow ticket_row(const std::string& code, int group_id, const TicketTexts& texts,
                     const std::string& stamp, bool end)
{
    TicketRow row;
    row.columns = end ? "code,personid_t,personid_u,customer,subject,state,description,"
                        "begindate,enddate,date_b"
                      : "code,personid_t,personid_u,customer,subject,state,description,"
                        "begindate,date_b";
    row.values = store::sql_format(
        "'%s',%d,%d,'%s','%s','%s','%s'", store::sql_quote(code).c_str(), group_id,
        store::current_person_id, store::sql_quote(texts.customer).c_str(),
        store::sql_quote(texts.subject).c_str(), store::sql_quote(texts.state).c_str(),
        store::sql_quote(texts.description).c_str());
    const std::string quoted_stamp = ",'" + store::sql_quote(stamp) + "'";
    for (int times = end ? 3 : 2; times > 0; --times)
        row.values += quoted_stamp;
    return row;
}

// A new version of a ticket that exists.
std::string version_statement(const TicketRow& row)
{
    return "insert into ticket (" + row.columns + ") values (" + row.values + ")";
}

// The first row of a new ticket, written only while no row carries its code: the check and
// the insert are one statement, so two instances that made the same code in the same second
// cannot both write it. It returns the new row's id when it wrote one.
std::string new_ticket_statement(const TicketRow& row, const std::string& code)
{
    return "insert into ticket (" + row.columns + ") select " + row.values +
           " where not exists (select id from ticket where code='" + store::sql_quote(code) +
           "') returning id";
}

// Runs a statement that writes at most one row and says so by returning its id. 1 when it
// wrote, 0 when it did not (the rule of one open row refusing it included), -1 after its
// message.
int write_returning(platform::Window dialog, const std::string& sql)
{
    const store::Outcome outcome =
        store::run_statement(sql, [](store::DbStatement*) { return false; });
    if (outcome.failure == store::Failure::none)
        return outcome.rows > 0 ? 1 : 0;
    if (refused_by_rule(outcome))
        return 0;
    platform::message_box(dialog, sql,
                          outcome.failure == store::Failure::prepare ? ticket_prepare_caption
                                                                     : error_caption);
    return -1;
}

// Create mode: writes the first row of a new ticket under a code no row carries; when another
// instance takes the code first (its row is there, or the rule of one open row refuses ours
// because it is being written), the next one is made and tried. 1, or -1 after a message.
int save_new_ticket(platform::Window dialog, std::string code, int group_id,
                    const TicketTexts& texts, const std::string& stamp, bool end)
{
    for (int attempt = 0; attempt < code_attempts; ++attempt) {
        if (attempt > 0 && new_code(dialog, &code) < 0)
            return -1;
        const int written = write_returning(
            dialog, new_ticket_statement(ticket_row(code, group_id, texts, stamp, end), code));
        if (written != 0)
            return written;
    }
    platform::message_box(dialog, "Cannot generate code for ticket, please try again");
    return -1;
}

// See mode: ends exactly the row the dialog shows, and only while it is still the open one;
// then writes the new version. Deciding with one statement keeps it right with many clients
// on one server connection. 1, or -1 after a message (the dialog keeps what was typed).
int save_new_version(platform::Window dialog, const std::string& code, int group_id,
                     const TicketTexts& texts, const std::string& stamp, bool end)
{
    const int shown = ticket_form(dialog).loaded_row;
    const int ended = write_returning(
        dialog, store::sql_format("update ticket set enddate='%s' where id=%d and enddate is "
                                  "null returning id",
                                  store::sql_quote(stamp).c_str(), shown));
    if (ended < 0)
        return -1;
    if (ended == 0) {
        platform::message_box(dialog, changed_meanwhile);
        return -1;
    }
    const int written =
        run_write(dialog, version_statement(ticket_row(code, group_id, texts, stamp, end)));
    if (written <= 0) {
        // Without its new version the ticket would vanish: the shown row is open again. When
        // the rule refused the version, another instance has opened a row of the ticket, and
        // the rule keeps this one ended, as the ticket is open there.
        store::run_statement(
            store::sql_format("update ticket set enddate=NULL where id=%d and enddate='%s'", shown,
                              store::sql_quote(stamp).c_str()));
        if (written == 0)
            platform::message_box(dialog, changed_meanwhile);
        return -1;
    }
    return 1;
}

} // namespace

TicketForm& ticket_form(platform::Window dialog)
{
    return ticket_forms[dialog];
}

int fill_ticket_groups(platform::Window dialog, TicketDialogMode mode)
{
    const std::string sql = group_names_statement(
        mode == TicketDialogMode::create ? eligible_group_tail : every_group_tail);
    std::vector<std::string> names;
    if (store::run_collecting(sql, "name", &names).failure == store::Failure::prepare) {
        if (mode == TicketDialogMode::create)
            platform::message_box(dialog, no_group_message);
        else
            platform::message_box(dialog, sql, error_caption);
        return -1;
    }
    for (const std::string& name : names)
        platform::combo_add(dialog, control::group_box, name);
    if (!names.empty())
        platform::combo_set_selection(dialog, control::group_box, 0);
    return static_cast<int>(names.size());
}

void open_ticket_create(platform::Window dialog)
{
    ticket_form(dialog) = TicketForm{TicketDialogMode::create};
    disable_features(dialog);
    platform::set_item_text(dialog, control::save, "Save (C)");
    platform::set_item_text(dialog, control::save_and_end, "End (C)");
    platform::enable_item(dialog, control::history, false); // no versions before the first save
    if (fill_ticket_groups(dialog, TicketDialogMode::create) == 0)
        platform::message_box(dialog,
                              "Cannot create ticket\r\nMust have a ticketgroup with extra1=1",
                              no_message_group);
}

void open_ticket_see(platform::Window dialog, platform::Window main_window)
{
    TicketForm& form = ticket_form(dialog) = TicketForm{TicketDialogMode::see};
    disable_features(dialog);
    platform::set_item_text(dialog, control::save, "Save (F)");
    platform::set_item_text(dialog, control::save_and_end, "End (F)");
    if (fill_ticket_groups(dialog, TicketDialogMode::see) == 0) {
        platform::message_box(dialog, "Cannot see ticket", no_message_group);
        return;
    }
    const int line = platform::list_selection(main_window, ids::main_window::ticket_list);
    if (line < 0 || line >= max_ticket_lines) {
        platform::message_box(dialog, no_selection);
        return;
    }
    const int group_id = load_ticket_row(dialog, ticket_line_ids[line], ticket_line_code(line));
    if (group_id < 0)
        return;
    form.loaded_row = ticket_line_ids[line];

    std::string name;
    if (load(dialog, store::sql_format("select name from person where id=%d", group_id), "name",
             &name) < 0)
        return;
    // A ticket of a group the user is not in (found by a search) keeps its group: the group
    // is offered as one more entry, chosen, so an unchanged save leaves it where it is.
    if (!select_group_named(dialog, name)) {
        form.own_group_entry = platform::combo_add(dialog, control::group_box, name);
        form.own_group_id = group_id;
        platform::combo_set_selection(dialog, control::group_box, form.own_group_entry);
    }

    if (form.customer_person < 0)
        return;
    if (load(dialog,
             store::sql_format("select name from person where id=%d and date_e is null",
                               form.customer_person),
             "name", &name) > 0)
        platform::set_item_text(dialog, control::customer, name);
}

int save_ticket(platform::Window dialog, bool end, platform::Window main_window)
{
    // One stamp for every column and statement of this save.
    const std::string stamp = util::time_stamp_now();
    const bool see = ticket_form(dialog).mode == TicketDialogMode::see;

    std::string code;
    const int coded =
        see ? platform::read_field(dialog, control::code, code_limit, code_too_long, &code)
            : new_code(dialog, &code);
    if (coded < 0)
        return -1;
    const int group_id = chosen_group_id(dialog);
    if (group_id < 0)
        return -1;
    TicketTexts texts;
    if (read_ticket_texts(dialog, &texts) < 0)
        return -1;

    if ((see ? save_new_version(dialog, code, group_id, texts, stamp, end)
             : save_new_ticket(dialog, code, group_id, texts, stamp, end)) < 0)
        return -1;
    platform::end_dialog(dialog, 1);
    main_list_count = refresh_ticket_list(main_window);
    return 1;
}

void check_newer_version(platform::Window dialog)
{
    const TicketForm& form = ticket_form(dialog);
    if (form.mode != TicketDialogMode::see || form.loaded_row < 0 || form.newer_told)
        return;
    std::string enddate;
    const int found =
        look_up(store::sql_format("select enddate from ticket where id=%d and date_e is null",
                                  form.loaded_row),
                "enddate", &enddate);
    // A failure says nothing: the save still checks for itself.
    if (found == 0 || (found > 0 && !enddate.empty()))
        tell_newer_version(dialog);
}

void confirm_end_ticket(platform::Window dialog, platform::Window main_window)
{
    if (platform::message_box(dialog, "Realy end", "End Record", platform::Buttons::ok_cancel) ==
        platform::answer_ok)
        save_ticket(dialog, true, main_window);
}

} // namespace tickets
