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
#include <vector>

namespace tickets {

TicketDialogMode ticket_dialog_mode = TicketDialogMode::create;

namespace {

namespace control = ids::ticket;

constexpr const char* no_message_group = "No message group found";
constexpr const char* error_caption = "Error";
constexpr const char* not_found_caption = "Cannot find record";

// The customer person chosen for the dialog, -1 for none. Nothing in the program chooses
// one, so a save writes the customer as text only.
int chosen_customer_person = -1;

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

void select_group_named(platform::Window dialog, const std::string& name)
{
    const int count = platform::combo_count(dialog, control::group_box);
    for (int i = 0; i < count; ++i) {
        if (platform::combo_text(dialog, control::group_box, i) == name) {
            platform::combo_set_selection(dialog, control::group_box, i);
            return;
        }
    }
}

// Fills the fields from the ticket row with id; returns its group id, or -1 after a message.
int load_ticket_row(platform::Window dialog, int id)
{
    const std::string sql =
        store::sql_format("select * from ticket where id=%d and date_e is null", id);
    int group_id = -1;
    const store::Outcome outcome = store::run_statement(sql, [&](store::DbStatement* row) {
        platform::set_item_text(dialog, control::code, store::column_string(row, "code"));
        group_id = store::column_number(row, "personid_t");
        chosen_customer_person = customer_person_of(row);
        if (chosen_customer_person < 0)
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
    return group_id;
}

// Runs an insert or update of a save. 1 when it finished, -1 after its message.
int run_write(platform::Window dialog, const std::string& sql)
{
    const store::Outcome outcome = store::run_statement(sql);
    if (outcome.ok())
        return 1;
    platform::message_box(dialog, sql,
                          outcome.failure == store::Failure::prepare ? ticket_prepare_caption
                                                                     : error_caption);
    return -1;
}

// The code of the ticket being saved into *code: read in see mode, freshly made in create
// mode (and shown, so a later refusal leaves it there). 0, or -1 after a message.
int code_for_save(platform::Window dialog, std::string* code)
{
    if (ticket_dialog_mode == TicketDialogMode::see)
        return platform::read_field(dialog, control::code, code_limit, code_too_long, code);
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

std::string insert_statement(const std::string& code, int group_id, const TicketTexts& texts,
                             const std::string& stamp, bool end)
{
    const std::string c = store::sql_quote(code);
    const std::string customer = store::sql_quote(texts.customer);
    const std::string subject = store::sql_quote(texts.subject);
    const std::string state = store::sql_quote(texts.state);
    const std::string description = store::sql_quote(texts.description);
    if (end)
        return store::sql_format(
            "insert into ticket (code,personid_t,personid_u,customer,subject,state,description,"
            "begindate,enddate,date_b) values ('%s',%d,%d,'%s','%s','%s','%s','%s','%s','%s')",
            c.c_str(), group_id, store::current_person_id, customer.c_str(), subject.c_str(),
            state.c_str(), description.c_str(), stamp.c_str(), stamp.c_str(), stamp.c_str());
    return store::sql_format(
        "insert into ticket (code,personid_t,personid_u,customer,subject,state,description,"
        "begindate,date_b) values ('%s',%d,%d,'%s','%s','%s','%s','%s','%s')",
        c.c_str(), group_id, store::current_person_id, customer.c_str(), subject.c_str(),
        state.c_str(), description.c_str(), stamp.c_str(), stamp.c_str());
}

// The id of the open row of code; -1 after a message.
int open_row_of(platform::Window dialog, const std::string& code)
{
    const std::string sql =
        "select id from ticket where code='" + store::sql_quote(code) + "' and enddate is null";
    std::string id;
    const int found = look_up(sql, "id", &id);
    if (found <= 0) {
        platform::message_box(dialog, sql, found < 0 ? ticket_prepare_caption : "Cannot find");
        return -1;
    }
    return std::atoi(id.c_str());
}

} // namespace

void begin_ticket_dialog(TicketDialogMode mode)
{
    ticket_dialog_mode = mode;
    chosen_customer_person = -1;
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
    disable_features(dialog);
    platform::set_item_text(dialog, control::save, "Save (C)");
    platform::set_item_text(dialog, control::save_and_end, "End (C)");
    if (fill_ticket_groups(dialog, TicketDialogMode::create) == 0)
        platform::message_box(dialog,
                              "Cannot create ticket\r\nMust have a ticketgroup with extra1=1",
                              no_message_group);
}

void open_ticket_see(platform::Window dialog, platform::Window main_window)
{
    disable_features(dialog);
    platform::set_item_text(dialog, control::save, "Save (F)");
    platform::set_item_text(dialog, control::save_and_end, "End (F)");
    if (fill_ticket_groups(dialog, TicketDialogMode::see) == 0) {
        platform::message_box(dialog, "Cannot see ticket", no_message_group);
        return;
    }
    const int line = platform::list_selection(main_window, ids::main_window::ticket_list);
    if (line < 0 || line >= max_ticket_lines) {
        platform::message_box(dialog, "Cannot determine selection");
        return;
    }
    const int group_id = load_ticket_row(dialog, ticket_line_ids[line]);
    if (group_id < 0)
        return;

    std::string name;
    if (load(dialog, store::sql_format("select name from person where id=%d", group_id), "name",
             &name) < 0)
        return;
    // A group the user has left is not offered; the first one stays chosen and a save
    // moves the ticket there.
    select_group_named(dialog, name);

    if (chosen_customer_person < 0)
        return;
    if (load(dialog,
             store::sql_format("select name from person where id=%d and date_e is null",
                               chosen_customer_person),
             "name", &name) > 0)
        platform::set_item_text(dialog, control::customer, name);
}

int save_ticket(platform::Window dialog, bool end, platform::Window main_window)
{
    // One stamp for every column and statement of this save.
    const std::string stamp = util::time_stamp_now();

    std::string code;
    if (code_for_save(dialog, &code) < 0)
        return -1;
    const int group_id = chosen_group_id(dialog);
    if (group_id < 0)
        return -1;
    TicketTexts texts;
    if (read_ticket_texts(dialog, &texts) < 0)
        return -1;

    const std::string insert = insert_statement(code, group_id, texts, stamp, end);
    std::string final_statement = insert;
    if (ticket_dialog_mode == TicketDialogMode::see) {
        const int previous = open_row_of(dialog, code);
        if (previous < 0 || run_write(dialog, insert) < 0)
            return -1;
        final_statement = store::sql_format("update ticket set enddate='%s' where id=%d",
                                            store::sql_quote(stamp).c_str(), previous);
    }
    if (run_write(dialog, final_statement) < 0)
        return -1;
    platform::end_dialog(dialog, 1);
    main_list_count = refresh_ticket_list(main_window);
    return 1;
}

void confirm_end_ticket(platform::Window dialog, platform::Window main_window)
{
    if (platform::message_box(dialog, "Realy end", "End Record", platform::Buttons::ok_cancel) ==
        platform::answer_ok)
        save_ticket(dialog, true, main_window);
}

} // namespace tickets
