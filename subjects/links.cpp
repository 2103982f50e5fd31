// The links dialog: lists the live links of the current subject, each seen from that
// subject's side, and adds, shows, updates and ends links. Links are never deleted; ending
// one stamps its date_e. The current subject is looked up again at every action, and every
// action that succeeds refills the list, so a row index is only good until the next one.
#include "subjects/links.h"

#include "platform/fields.h"
#include "resources/ids.h"
#include "store/sql.h"
#include "subjects/forms.h"
#include "subjects/messages.h"
#include "subjects/statements.h"
#include "subjects/subject_details.h"
#include "util/date_time.h"
#include "util/text.h"

#include <cstring>
#include <iterator>
#include <unordered_map>
#include <vector>

namespace subjects {

namespace {

std::unordered_map<platform::Window, LinkList> link_lists;

namespace control = ids::links;

// The longest line of the link list; a longer description is cut to fit.
constexpr std::size_t max_line_length = 256;

// Indexed by kind - 1.
constexpr const char* link_kind_names[] = {"Child", "Parent", "Relation"};
static_assert(std::size(link_kind_names) == link_relation, "one name per link kind");

constexpr platform::Telling link_prepare_failure = {text::cannot_prepare_link,
                                                    platform::Shape::message_then_statement_box};

// The kind as the other side of the link sees it: child and parent change places.
int mirrored(int kind)
{
    return kind == link_child ? link_parent : kind == link_parent ? link_child : kind;
}

// The id of the link on the selected line of the link list, or -1 when none is selected.
int selected_link_id(platform::Window dialog)
{
    const int line = platform::list_selection(dialog, control::link_list);
    if (line < 0 || line >= max_link_lines)
        return -1;
    return link_list_of(dialog).ids[line];
}

// The second party of a link, or -1 when the link cannot be read.
int second_party_of(int link)
{
    int second = -1;
    store::run_statement(store::sql_format("SELECT personid2 from subjectlink where id=%d", link),
                         [&second](store::DbStatement* row) {
                             second = store::column_number(row, "personid2");
                             return false;
                         });
    return second;
}

// A live link of the subject whose links are listed, as its line needs it.
struct ListedLink {
    int id;
    int other; // the other party
    bool subject_is_second_party;
    int kind;
    std::string reason;
    std::string description;
};

std::string list_line(const ListedLink& link, const std::string& other_name)
{
    std::string line = link.reason;
    line += '\t';
    line += link_kind_seen(link.kind, link.subject_is_second_party);
    line += '\t';
    line += other_name;
    if (line.size() + link.description.size() < max_line_length) {
        line += '\t';
        line += link.description;
    } else if (line.size() < max_line_length) {
        line += '\t';
        line += util::cut_utf8(link.description, max_line_length - line.size());
    }
    return line;
}

} // namespace

LinkList& link_list_of(platform::Window dialog)
{
    return link_lists[dialog];
}

int link_kind_from_text(const char* text)
{
    if (!text)
        return -1;
    for (int kind = link_child; kind <= link_relation; ++kind)
        if (std::strcmp(text, link_kind_names[kind - 1]) == 0)
            return kind;
    return -1;
}

const char* link_kind_seen(int kind, bool subject_is_second_party)
{
    if (kind != link_child && kind != link_parent)
        return link_kind_names[link_relation - 1];
    return link_kind_names[(subject_is_second_party ? mirrored(kind) : kind) - 1];
}

int fill_link_list(platform::Window dialog, int subject_id)
{
    const std::string sql = store::sql_format(
        "SELECT * from subjectlink where (personid=%d or personid2=%d) and date_e is null "
        "order by begindate",
        subject_id, subject_id);
    std::vector<ListedLink> links;
    const store::Outcome outcome =
        run_told(dialog, sql, select_failure, [&links, subject_id](store::DbStatement* row) {
            const bool second_party = store::column_number(row, "personid2") == subject_id;
            links.push_back({store::column_number(row, "id"),
                             store::column_number(row, second_party ? "personid" : "personid2"),
                             second_party, store::column_number(row, "linklevelkind"),
                             store::column_string(row, "reason"),
                             store::column_string(row, "description")});
            return true;
        });
    if (outcome.failure == store::Failure::prepare)
        return -1;
    platform::list_reset(dialog, control::link_list);
    platform::list_set_tab_stops(dialog, control::link_list, {40, 80, 120});
    int* link_ids = link_list_of(dialog).ids;
    link_ids[0] = -1;
    std::vector<std::string> lines;
    for (const ListedLink& link : links) {
        const int line = static_cast<int>(lines.size());
        if (line >= max_link_lines)
            break;
        std::string other_name;
        // A link to a removed subject stays live in the table but is not shown.
        if (!subject_name_by_id(link.other, &other_name))
            continue;
        link_ids[line] = link.id;
        lines.push_back(list_line(link, other_name));
        link_ids[line + 1] = -1;
    }
    platform::list_add_lines(dialog, control::link_list, lines);
    return 0;
}

int check_link_fields(platform::Window dialog, LinkFields* fields)
{
    if (platform::read_field(dialog, control::reason, 80, "Reason too long", &fields->reason) < 0)
        return -1;
    const int entry = platform::list_selection(dialog, control::kind);
    if (entry < 0) {
        platform::message_box(dialog, "Select a relationkind");
        return -1;
    }
    fields->kind = link_kind_from_text(platform::list_text(dialog, control::kind, entry).c_str());
    if (fields->kind < 0) {
        platform::message_box(dialog, "Unknown relationkind");
        return -1;
    }
    std::string begin;
    std::string end;
    if (platform::read_field(dialog, control::begin_date, 20, "BeginDate too long", &begin) < 0 ||
        platform::read_field(dialog, control::end_date, 20, "EndDate too long", &end) < 0 ||
        platform::read_field(dialog, control::description, 1020, text::description_too_long,
                             &fields->description) < 0)
        return -1;

    char date[20] = "";
    int parsed = util::parse_date_time(begin.c_str(), date);
    if (parsed <= 0) {
        platform::message_box(dialog, store::sql_format("Wrong begindate %d", parsed));
        return -1;
    }
    fields->begin_date = date;
    date[0] = '\0';
    parsed = util::parse_date_time(end.c_str(), date);
    if (parsed < 0) {
        platform::message_box(dialog, store::sql_format("Wrong enddate %d", parsed));
        return -1;
    }
    fields->end_date = date;
    return 0;
}

void init_links_dialog(platform::Window dialog)
{
    link_list_of(dialog).seen = -1;
    const int subject = form_subject(dialog);
    if (subject < 0 || fill_link_list(dialog, subject) < 0)
        return;

    // Every live subject but this one, so that nothing can be linked to itself.
    const std::string sql = store::sql_format(
        "SELECT name from person where id<>%d and date_e is null order by name", subject);
    std::vector<std::string> names;
    const store::Outcome outcome = store::run_collecting(sql, "name", &names);
    if (outcome.failure == store::Failure::prepare) {
        platform::tell(dialog,
                       {text::cannot_prepare_select, platform::Shape::message_then_statement}, sql);
        return;
    }
    platform::list_reset(dialog, control::candidates);
    platform::list_add_lines(dialog, control::candidates, names);

    platform::list_reset(dialog, control::kind);
    for (const char* name : link_kind_names)
        platform::list_add(dialog, control::kind, name);
}

void add_link(platform::Window dialog)
{
    const std::string stamp = util::time_stamp_now();
    const int subject = form_subject(dialog);
    if (subject < 0)
        return;
    LinkFields fields;
    if (check_link_fields(dialog, &fields) < 0)
        return;
    const int entry = platform::list_selection(dialog, control::candidates);
    if (entry < 0) {
        platform::message_box(dialog, "Select a subject");
        return;
    }
    const int other = subject_id_by_name(platform::list_text(dialog, control::candidates, entry));
    if (other < 0) {
        platform::message_box(dialog, "Subject not found in database");
        return;
    }

    const std::string begin = store::sql_quote(fields.begin_date);
    const std::string end = store::sql_quote(fields.end_date);
    const std::string reason = store::sql_quote(fields.reason);
    const std::string description = store::sql_quote(fields.description);
    const std::string sql =
        fields.end_date.empty()
            ? store::sql_format(
                  "INSERT INTO subjectlink (begindate,personid,personid2,linklevelkind,reason,"
                  "description,date_b) values('%s',%d,%d,%d,'%s','%s','%s')",
                  begin.c_str(), subject, other, fields.kind, reason.c_str(), description.c_str(),
                  stamp.c_str())
            : store::sql_format(
                  "INSERT INTO subjectlink (begindate,enddate,personid,personid2,linklevelkind,"
                  "reason,description,date_b) values('%s','%s',%d,%d,%d,'%s','%s','%s')",
                  begin.c_str(), end.c_str(), subject, other, fields.kind, reason.c_str(),
                  description.c_str(), stamp.c_str());
    const char* const failed = "Inserting failed for subjectlink";
    if (execute_reported(dialog, sql, link_prepare_failure, failed) == 0)
        fill_link_list(dialog, subject);
}

void update_link(platform::Window dialog)
{
    const int subject = form_subject(dialog);
    if (subject < 0)
        return;
    LinkList& list = link_list_of(dialog);
    const int link = list.seen != -1 ? list.seen : selected_link_id(dialog);
    if (link == -1) {
        platform::message_box(dialog, "Select a subjectlink");
        return;
    }
    int other = -1;
    const int entry = platform::list_selection(dialog, control::candidates);
    if (entry >= 0) {
        other = subject_id_by_name(platform::list_text(dialog, control::candidates, entry));
        if (other < 0) {
            platform::message_box(dialog, "Subject not found in database");
            return;
        }
    }
    LinkFields fields;
    if (check_link_fields(dialog, &fields) < 0)
        return;
    // The fields show the link from this subject's side. From the second party the kind is
    // written back mirrored, so an unchanged Update keeps the stored value, and a chosen
    // subject replaces the other party, never this subject itself.
    const int second = second_party_of(link);
    if (second < 0) {
        platform::message_box(dialog, "Updating failed for subjectlink");
        return;
    }
    const bool second_party = second == subject;

    std::string sql =
        "UPDATE subjectlink SET begindate='" + store::sql_quote(fields.begin_date) + "'";
    if (!fields.end_date.empty())
        sql += ",enddate='" + store::sql_quote(fields.end_date) + "'";
    if (other >= 0)
        sql += store::sql_format(second_party ? ",personid=%d" : ",personid2=%d", other);
    sql +=
        store::sql_format(",linklevelkind=%d", second_party ? mirrored(fields.kind) : fields.kind);
    sql += ",reason='" + store::sql_quote(fields.reason) + "'";
    sql += ",description='" + store::sql_quote(fields.description) + "' where ";
    sql += store::sql_format("id=%d", link);
    if (execute_reported(dialog, sql, link_prepare_failure, "Updating failed for subjectlink") != 0)
        return;
    if (fill_link_list(dialog, subject) == 0)
        list.seen = -1;
}

void see_link(platform::Window dialog)
{
    const int line = platform::list_selection(dialog, control::link_list);
    if (line < 0 || line >= max_link_lines) {
        platform::message_box(dialog, "Select an item for see");
        return;
    }
    // Kept before anything can fail: Update works on the link last asked for.
    const int seen = link_list_of(dialog).seen = link_list_of(dialog).ids[line];
    const int subject = form_subject(dialog);
    if (subject < 0)
        return;

    const std::string sql = store::sql_format("SELECT * from subjectlink where id=%d", seen);
    const store::Outcome outcome =
        run_told(dialog, sql, link_prepare_failure, [dialog, subject](store::DbStatement* row) {
            const bool second_party = store::column_number(row, "personid2") == subject;
            platform::set_item_text(dialog, control::reason, store::column_string(row, "reason"));
            platform::list_select_prefix(
                dialog, control::kind, -1,
                link_kind_seen(store::column_number(row, "linklevelkind"), second_party));
            platform::set_item_text(dialog, control::begin_date,
                                    store::column_string(row, "begindate"));
            platform::set_item_text(dialog, control::end_date,
                                    store::column_string(row, "enddate"));
            platform::set_item_text(dialog, control::description,
                                    store::column_string(row, "description"));
            return false;
        });
    if (outcome.failure == store::Failure::prepare)
        return;
    if (outcome.rows == 0) {
        platform::message_box(dialog, "See failed for subjectlink");
        return;
    }
    fill_link_list(dialog, subject);
}

void end_link(platform::Window dialog)
{
    const std::string stamp = util::time_stamp_now();
    const int link = selected_link_id(dialog);
    if (link == -1) {
        platform::message_box(dialog, "Select an item for see");
        return;
    }
    const std::string sql =
        store::sql_format("UPDATE subjectlink set date_e='%s' where id=%d", stamp.c_str(), link);
    if (execute_reported(dialog, sql, link_prepare_failure, "End failed for subjectlink") != 0)
        return;
    const int subject = form_subject(dialog);
    if (subject >= 0)
        fill_link_list(dialog, subject);
}

void set_begin_date_now(platform::Window dialog)
{
    platform::set_item_text(dialog, control::begin_date, util::time_stamp_now());
}

} // namespace subjects
