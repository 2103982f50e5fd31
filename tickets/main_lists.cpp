// The main window's group box and its ticket list: which groups the logged-in person
// belongs to, the open tickets of the chosen group (or of all of them), the ticket id behind
// each line and the See button. The ticket dialog and the search fill the same list through
// add_ticket_lines; the app routes the commands and records counts it is handed.
#include "tickets/main_lists.h"

#include "resources/ids.h"
#include "store/sql.h"
#include "tickets/ticket_texts.h"
#include "util/text.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace tickets {

int ticket_line_ids[max_ticket_lines + 1] = {-1};
int main_list_count = 0;
bool main_list_shows_open_tickets = false;
unsigned main_list_fills = 0;

namespace {

// The code of the ticket on each line, beside ticket_line_ids.
std::vector<std::string> ticket_line_codes;

int line_of_code(const std::string& code)
{
    if (code.empty())
        return -1;
    for (std::size_t i = 0; i < ticket_line_codes.size(); ++i)
        if (ticket_line_codes[i] == code)
            return static_cast<int>(i);
    return -1;
}

namespace control = ids::main_window;

constexpr const char* person_prepare_caption = "Cannot prepare statement - person";

// Longest description shown on a line; longer ones are cut to this many characters.
constexpr std::size_t shown_description = 79;

std::string open_tickets_statement(int group_id)
{
    return store::sql_format(
        "select * from ticket where personid_t=%d and enddate is null order by begindate",
        group_id);
}

// "73415" as "73,415".
std::string with_thousands(int value)
{
    std::string digits = std::to_string(value);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0 && digits[at - 1] != '-'; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

// The rows the list's statement (over table ticket) gives in all, counted by the database;
// -1 when they cannot be counted.
int count_ticket_rows(const std::string& statement)
{
    static const std::string listing = "select * from ticket";
    if (statement.compare(0, listing.size(), listing) != 0)
        return -1;
    int total = -1;
    store::run_statement("select count(*) as n from ticket" + statement.substr(listing.size()),
                         [&total](store::DbStatement* row) {
                             total = store::column_number(row, "n");
                             return false;
                         });
    return total;
}

// The list of the group whose name is chosen in the group box.
int refresh_chosen_group(platform::Window main_window, const std::string& name)
{
    const std::string sql =
        "select id from person where name='" + store::sql_quote(name) + "' and date_e is null";
    std::string id;
    const int found = look_up(sql, "id", &id);
    if (found < 0) {
        platform::message_box(main_window, sql, person_prepare_caption);
        return -1;
    }
    if (found == 0) {
        platform::message_box(main_window, sql, "Missing row");
        return -1;
    }
    const std::string tickets = open_tickets_statement(std::atoi(id.c_str()));
    bool left_out = false;
    const int count = add_ticket_lines(main_window, tickets, 0, &left_out);
    if (left_out)
        tell_list_cut(main_window, {tickets}, nullptr);
    platform::enable_item(main_window, control::see, count > 0);
    return count;
}

// The lists of every group of the person, group after group in name order. A group whose
// statement fails adds nothing and the others are still listed.
int refresh_all_groups(platform::Window main_window)
{
    const std::string sql = group_ids_statement();
    std::vector<std::string> group_ids;
    if (store::run_collecting(sql, "id", &group_ids).failure == store::Failure::prepare) {
        platform::message_box(main_window, sql, person_prepare_caption);
        return -1;
    }
    int count = 0;
    bool left_out = false;
    for (const std::string& group_id : group_ids) {
        bool group_left_out = false;
        const int next =
            add_ticket_lines(main_window, open_tickets_statement(std::atoi(group_id.c_str())),
                             count, &group_left_out);
        if (next > 0)
            count = next;
        left_out = left_out || group_left_out;
    }
    if (left_out) {
        std::vector<std::string> statements;
        for (const std::string& group_id : group_ids)
            statements.push_back(open_tickets_statement(std::atoi(group_id.c_str())));
        tell_list_cut(main_window, statements, "choose a group");
    }
    platform::enable_item(main_window, control::see, count > 0);
    return count;
}

// The line of a row of table ticket, or -1.
int line_of_row(int id)
{
    for (int line = 0; line < main_list_count && line < max_ticket_lines; ++line)
        if (ticket_line_ids[line] == id)
            return line;
    return -1;
}

// How many lines from the top a refill looks at to keep the list where it was.
constexpr std::size_t kept_top_rows = 64;

} // namespace

void reset_ticket_list(platform::Window main_window)
{
    platform::list_reset(main_window, control::ticket_list);
    platform::list_set_tab_stops(main_window, control::ticket_list, {38, 60, 80});
    platform::set_item_text(main_window, control::notice, "");
}

int add_ticket_lines(platform::Window window, const std::string& statement, int first,
                     bool* left_out)
{
    int line = first;
    bool full = false;
    std::vector<std::string> lines;
    // A step that is not a row ends the list quietly, as the end of the rows does. One row
    // past a full list is stepped, to know whether any was left out.
    const store::Outcome outcome = store::run_statement(statement, [&](store::DbStatement* row) {
        if (line >= max_ticket_lines) {
            full = true;
            return false;
        }
        ticket_line_ids[line] = store::column_number(row, "id");
        ticket_line_codes.resize(static_cast<std::size_t>(line));
        ticket_line_codes.push_back(store::column_string(row, "code"));
        const std::string description =
            util::cut_utf8(store::column_string(row, "description"), shown_description);
        // NULL columns of rows written by other programs read as empty texts.
        lines.push_back(store::column_string(row, "begindate") + '\t' +
                        store::column_string(row, "code") + '\t' +
                        store::column_string(row, "subject") + '\t' + description);
        ++line;
        return true;
    });
    if (outcome.failure == store::Failure::prepare) {
        platform::message_box(window, statement, ticket_prepare_caption);
        return -1;
    }
    platform::list_add_lines(window, control::ticket_list, lines);
    ticket_line_ids[line] = -1;
    ticket_line_codes.resize(static_cast<std::size_t>(line));
    if (left_out)
        *left_out = full;
    return line;
}

void tell_list_cut(platform::Window main_window, const std::vector<std::string>& statements,
                   const char* advice)
{
    int total = 0;
    for (const std::string& statement : statements) {
        const int rows = count_ticket_rows(statement);
        total = rows < 0 || total < 0 ? -1 : total + rows;
    }
    const std::string shown = std::to_string(max_ticket_lines);
    std::string text = total > max_ticket_lines ? shown + " of " + with_thousands(total) + " shown"
                                                : "Only the first " + shown + " shown";
    if (advice)
        text += std::string(" - ") + advice;
    platform::set_item_text(main_window, control::notice, text);
}

int refresh_ticket_list(platform::Window main_window)
{
    reset_ticket_list(main_window);
    main_list_shows_open_tickets = true;
    ++main_list_fills;
    const int chosen = platform::combo_selection(main_window, control::group_box);
    const std::string name =
        chosen >= 0 ? platform::combo_text(main_window, control::group_box, chosen) : std::string();
    return name.empty() ? refresh_all_groups(main_window) : refresh_chosen_group(main_window, name);
}

std::string ticket_line_code(int line)
{
    return line >= 0 && line < static_cast<int>(ticket_line_codes.size())
               ? ticket_line_codes[static_cast<std::size_t>(line)]
               : std::string();
}

int follow_ticket_list(platform::Window main_window)
{
    const std::string selected =
        ticket_line_code(platform::list_selection(main_window, control::ticket_list));
    // The rows of the lines from the top on: the first of them still listed unchanged (a
    // ticket saved again has a new row, at the end) keeps its place on the screen.
    const int old_top = platform::list_top_line(main_window, control::ticket_list);
    std::vector<int> from_top;
    for (int line = std::max(old_top, 0);
         line < main_list_count && line < max_ticket_lines && from_top.size() < kept_top_rows;
         ++line)
        from_top.push_back(ticket_line_ids[line]);
    main_list_count = refresh_ticket_list(main_window);
    const int line = line_of_code(selected);
    if (line >= 0)
        platform::list_set_selection(main_window, control::ticket_list, line);
    int top_line = old_top;
    for (std::size_t i = 0; i < from_top.size(); ++i) {
        const int now = line_of_row(from_top[i]);
        if (now >= 0) {
            top_line = now - static_cast<int>(i);
            break;
        }
    }
    if (top_line > 0)
        platform::list_set_top_line(main_window, control::ticket_list, top_line);
    return main_list_count;
}

int open_tickets_mark(std::string* mark)
{
    // Every save inserts a row, so the highest id moves with each create and new version;
    // an end that only closes a row changes the number of open ones.
    const store::Outcome outcome = store::run_statement(
        "select (select max(id) from ticket) as m, (select count(*) from ticket where enddate "
        "is null) as n",
        [mark](store::DbStatement* row) {
            *mark = store::column_string(row, "m") + '/' + store::column_string(row, "n");
            return false;
        });
    return outcome.ok() && outcome.rows == 1 ? 0 : -1;
}

int fill_main_groups(platform::Window main_window)
{
    const std::string sql = group_names_statement(every_group_tail);
    platform::combo_reset(main_window, control::group_box);
    std::vector<std::string> names;
    if (store::run_collecting(sql, "name", &names).failure == store::Failure::prepare) {
        platform::message_box(main_window, no_group_message);
        return -1;
    }
    for (const std::string& name : names)
        platform::combo_add(main_window, control::group_box, name);
    main_list_count = refresh_ticket_list(main_window);
    return 0;
}

} // namespace tickets
