// The history dialog: the chain of rows that share a ticket's code, read with one statement
// when the dialog opens and kept per window, so choosing a line reads nothing. The ticket
// dialog's button hands over the code; the app opens the dialog and routes its list.
#include "tickets/history.h"

#include "resources/ids.h"
#include "store/sql.h"
#include "tickets/ticket_texts.h"

#include <cstdlib>
#include <iterator>
#include <unordered_map>

namespace tickets {

namespace {

namespace control = ids::history;

// The code the next history dialog shows, from the ticket dialog that opens it.
std::string pending_code;

struct HistoryForm {
    std::string code;
    std::vector<TicketVersion> versions;
};
std::unordered_map<platform::Window, HistoryForm> history_forms;

std::string versions_statement(const std::string& code)
{
    return "select t.begindate, t.enddate, t.state, t.customer, t.personid_c, t.subject, "
           "t.actions, t.description, t.personid_t, u.name as writer, g.name as groupname, "
           "c.name as customername from ticket as t left join person as u on u.id=t.personid_u "
           "left join person as g on g.id=t.personid_t left join person as c on "
           "c.id=t.personid_c where t.code='" +
           store::sql_quote(code) + "' and t.date_e is null order by t.begindate, t.id";
}

// A person id of a column, or -1 for NULL or anything but a positive number.
int person_of(store::DbStatement* row, const char* column)
{
    const std::optional<std::string> text = store::column_text_of(row, column);
    if (!text || text->empty() || text->find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::atoi(text->c_str());
}

unsigned changes_between(const TicketVersion& before, const TicketVersion& after)
{
    unsigned changed = 0;
    if (before.state != after.state)
        changed |= changed_state;
    if (before.customer != after.customer || before.customer_person != after.customer_person)
        changed |= changed_customer;
    if (before.subject != after.subject)
        changed |= changed_subject;
    if (before.description != after.description)
        changed |= changed_description;
    if (before.actions != after.actions)
        changed |= changed_actions;
    if (before.group_id != after.group_id)
        changed |= changed_group;
    return changed;
}

struct FieldMark {
    unsigned bit;
    const char* name;
    int label;
    int field;
};
constexpr FieldMark fields[] = {
    {changed_group, "group", control::group_label, control::group},
    {changed_state, "state", control::state_label, control::state},
    {changed_customer, "customer", control::customer_label, control::customer},
    {changed_subject, "subject", control::subject_label, control::subject},
    {changed_actions, "actions", control::actions_label, control::actions},
    {changed_description, "description", control::description_label, control::description},
};
constexpr const char* label_texts[] = {"Group",   "State",   "Customer",
                                       "Subject", "Actions", "Description"};
static_assert(std::size(fields) == std::size(label_texts));

} // namespace

int read_ticket_versions(const std::string& code, std::vector<TicketVersion>* versions,
                         std::string* sql_out)
{
    versions->clear();
    const std::string sql = versions_statement(code);
    if (sql_out)
        *sql_out = sql;
    const store::Outcome outcome = store::run_statement(sql, [&](store::DbStatement* row) {
        TicketVersion v;
        v.begin = store::column_string(row, "begindate");
        v.end = store::column_string(row, "enddate");
        v.writer = store::column_string(row, "writer");
        v.state = store::column_string(row, "state");
        v.customer_person = person_of(row, "personid_c");
        v.customer = v.customer_person > 0 ? store::column_string(row, "customername")
                                           : store::column_string(row, "customer");
        v.subject = store::column_string(row, "subject");
        v.actions = store::column_string(row, "actions");
        v.description = store::column_string(row, "description");
        v.group_id = person_of(row, "personid_t");
        v.group = store::column_string(row, "groupname");
        if (!versions->empty())
            v.changed = changes_between(versions->back(), v);
        versions->push_back(std::move(v));
        return true;
    });
    if (outcome.failure == store::Failure::prepare)
        return -1;
    for (auto it = versions->rbegin(); it != versions->rend(); ++it) {
        if (it->end.empty()) {
            it->current = true;
            break;
        }
    }
    return static_cast<int>(versions->size());
}

std::string version_line(const TicketVersion& v, bool first)
{
    std::string changed;
    if (first) {
        changed = "created";
    } else {
        for (const FieldMark& f : fields)
            if (v.changed & f.bit)
                changed += (changed.empty() ? "" : ", ") + std::string(f.name);
        if (changed.empty())
            changed = "nothing";
    }
    const std::string end = !v.end.empty() ? v.end : v.current ? "current" : "open";
    return v.begin + '\t' + end + '\t' + v.writer + '\t' + v.state + '\t' + changed;
}

bool begin_history(platform::Window ticket_dialog)
{
    pending_code = platform::item_text(ticket_dialog, ids::ticket::code);
    return !pending_code.empty();
}

void open_history(platform::Window dialog)
{
    HistoryForm& form = history_forms[dialog] = HistoryForm{pending_code, {}};
    platform::list_set_tab_stops(dialog, control::versions, {82, 164, 214, 262});
    std::string sql;
    if (read_ticket_versions(form.code, &form.versions, &sql) < 0) {
        platform::message_box(dialog, sql, ticket_prepare_caption);
        return;
    }
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < form.versions.size(); ++i)
        lines.push_back(version_line(form.versions[i], i == 0));
    platform::list_add_lines(dialog, control::versions, lines);
    if (form.versions.empty())
        return;
    // The current version, or the newest when the ticket has ended.
    int shown = static_cast<int>(form.versions.size()) - 1;
    for (int i = 0; i < static_cast<int>(form.versions.size()); ++i)
        if (form.versions[static_cast<std::size_t>(i)].current)
            shown = i;
    platform::list_set_selection(dialog, control::versions, shown);
    show_history_version(dialog);
}

void forget_history(platform::Window dialog)
{
    history_forms.erase(dialog);
}

void show_history_version(platform::Window dialog)
{
    const auto found = history_forms.find(dialog);
    if (found == history_forms.end())
        return;
    const HistoryForm& form = found->second;
    const int line = platform::list_selection(dialog, control::versions);
    if (line < 0 || line >= static_cast<int>(form.versions.size()))
        return;
    const TicketVersion& v = form.versions[static_cast<std::size_t>(line)];
    const std::string* texts[] = {&v.group,   &v.state,   &v.customer,
                                  &v.subject, &v.actions, &v.description};
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        const bool marked = line > 0 && (v.changed & fields[i].bit);
        platform::set_item_text(dialog, fields[i].label,
                                std::string(label_texts[i]) + (marked ? " *" : ""));
        platform::set_item_text(dialog, fields[i].field, *texts[i]);
    }
}

} // namespace tickets
