// The ticket search window: reads its criteria, assembles one statement over every row of
// table ticket that is not removed, and shows the rows in the main window's list. Several
// windows may be open at once; each keeps nothing between searches. The list itself, its
// ids and count, belong to main_lists.
#include "tickets/search.h"

#include "platform/fields.h"
#include "resources/ids.h"
#include "store/sql.h"
#include "tickets/main_lists.h"
#include "tickets/ticket_texts.h"
#include "util/date_time.h"

namespace tickets {
namespace {

namespace field = ids::search;

struct Criteria {
    std::string code, date, customer, subject, description;
};

int read_criteria(platform::Window window, Criteria* c)
{
    using platform::read_field;
    if (read_field(window, field::code, code_limit, code_too_long, &c->code) < 0 ||
        read_field(window, field::date, search_date_limit, "Date too long", &c->date) < 0 ||
        read_field(window, field::customer, customer_limit, customer_too_long, &c->customer) < 0 ||
        read_field(window, field::subject, search_text_limit, subject_too_long, &c->subject) < 0 ||
        read_field(window, field::description, search_text_limit, description_too_long,
                   &c->description) < 0)
        return -1;
    return 0;
}

// An empty field, or one that begins with a slash, is no criterion.
bool applies(const std::string& text)
{
    return !text.empty() && text[0] != '/';
}

// Appends " where" before the first condition and " and" before every later one.
void join(std::string* sql, bool* first)
{
    *sql += *first ? " where" : " and";
    *first = false;
}

// A contains match of column; quotes are doubled, LIKE wildcards typed stay wildcards.
void add_contains(std::string* sql, bool* first, const char* format, const std::string& text)
{
    if (!applies(text))
        return;
    join(sql, first);
    *sql += store::sql_format(format, store::sql_quote(text).c_str());
}

} // namespace

int search_tickets(platform::Window search_window, platform::Window main_window)
{
    Criteria criteria;
    if (read_criteria(search_window, &criteria) < 0)
        return -1;

    std::string sql = "select * from ticket";
    bool first = true;
    add_contains(&sql, &first, " code like '%%%s%%'", criteria.code);
    if (applies(criteria.date)) {
        char stamp[20] = "";
        if (util::parse_date_time(criteria.date.c_str(), stamp) < 0) {
            platform::message_box(search_window, "Wrong date");
            return -1;
        }
        join(&sql, &first);
        const std::string quoted = store::sql_quote(stamp);
        sql += store::sql_format(" begindate >= '%s' and (enddate <= '%s' or enddate is null)",
                                 quoted.c_str(), quoted.c_str());
    }
    add_contains(&sql, &first, " customer like '%%%s%%'", criteria.customer);
    add_contains(&sql, &first, " subject like '%%%s%%'", criteria.subject);
    add_contains(&sql, &first, " description like '%%%s%%'", criteria.description);
    sql += first ? " where date_e is null" : " and date_e is null";

    reset_ticket_list(main_window);
    main_list_shows_open_tickets = false; // stays as asked for until the next refresh
    bool left_out = false;
    main_list_count = add_ticket_lines(main_window, sql, 0, &left_out);
    if (left_out)
        tell_list_cut(main_window, {sql}, "refine the search");
    return 0;
}

} // namespace tickets
