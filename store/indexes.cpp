// The program's indexes and their creation at open. Which indexes there are follows from the
// statements the dialogs send, each read through the query planner on a decade-sized file:
// every statement but the search's contains-match finds its rows through an index.
#include "store/indexes.h"

#include "store/sql.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace store {

const IndexDefinition program_indexes[] = {
    // The main list: the open tickets of a group, read in begin order without a sort; and
    // the count of them when a list is cut.
    {"ticket_open_by_group", "ticket",
     "create index if not exists ticket_open_by_group on ticket (personid_t,begindate) "
     "where enddate is null"},
    // A ticket's rows by code: the free-code check of a new ticket and its insert, which
    // writes only while no row carries the code.
    {"ticket_code", "ticket", "create index if not exists ticket_code on ticket (code)"},
    // The search by date: the rows begun from a moment on.
    {"ticket_begindate", "ticket",
     "create index if not exists ticket_begindate on ticket (begindate)"},
    // Subjects by name: the login, every lookup of a subject or group by its name, the name
    // checks of new and renamed subjects, a removal; and, holding every column it needs,
    // the "All subjects" list in name order.
    {"person_name", "person", "create index if not exists person_name on person (name,date_e)"},
    // Links by each of their two parties: the ticket groups of the logged-in person and the
    // links of a subject.
    {"subjectlink_personid", "subjectlink",
     "create index if not exists subjectlink_personid on subjectlink (personid)"},
    {"subjectlink_personid2", "subjectlink",
     "create index if not exists subjectlink_personid2 on subjectlink (personid2)"},
};
const int program_index_count = static_cast<int>(std::size(program_indexes));

const IndexDefinition one_open_row_rule = {
    "ticket_one_open_row", "ticket",
    "create unique index if not exists ticket_one_open_row on ticket (code) "
    "where enddate is null and date_e is null"};
const IndexDefinition open_rows_by_code = {
    "ticket_open_code", "ticket",
    "create index if not exists ticket_open_code on ticket (code) "
    "where enddate is null and date_e is null"};

namespace {

bool has(const std::vector<std::string>& names, const char* name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

int failed(IndexReport* report, const std::string& sql, const Outcome& outcome)
{
    report->statement = sql;
    report->code = outcome.code;
    return -1;
}

// The number of codes that more than one open, not removed row carries: what the rule forbids.
constexpr const char* codes_open_twice =
    "select count(*) as n from (select code from ticket where enddate is null and date_e is "
    "null and code is not null group by code having count(*)>1) as c";

} // namespace

int create_indexes(IndexProgress progress, void* context, IndexReport* report)
{
    *report = IndexReport{};
    // The listing and the transaction are SQLite's own; the index statements are not.
    const std::string listing = "select name from sqlite_master where type in ('table','index')";
    std::vector<std::string> names;
    const Outcome listed = run_collecting(listing, "name", &names);
    if (!listed.ok())
        return failed(report, listing, listed);

    std::vector<const IndexDefinition*> missing;
    for (const IndexDefinition& index : program_indexes)
        if (has(names, index.table) && !has(names, index.name))
            missing.push_back(&index);
    const bool without_rule =
        has(names, one_open_row_rule.table) && !has(names, one_open_row_rule.name);
    if (missing.empty() && !without_rule)
        return 0;

    // Writers wait until the indexes are there, so no second open row slips in between the
    // count and the rule.
    const Outcome begun = run_statement("BEGIN IMMEDIATE");
    if (!begun.ok())
        return failed(report, "BEGIN IMMEDIATE", begun);
    const auto abandon = [report](const std::string& sql, const Outcome& outcome) {
        run_statement("ROLLBACK");
        return failed(report, sql, outcome);
    };
    bool rule_made = false;
    if (without_rule) {
        const Outcome counted = run_statement(codes_open_twice, [report](DbStatement* row) {
            report->codes_open_twice = column_number(row, "n");
            return false;
        });
        if (!counted.ok())
            return abandon(codes_open_twice, counted);
        if (report->codes_open_twice == 0) {
            missing.push_back(&one_open_row_rule);
            rule_made = true;
        } else if (!has(names, open_rows_by_code.name)) {
            missing.push_back(&open_rows_by_code);
        }
    }
    if (missing.empty()) {
        run_statement("COMMIT");
        return 0;
    }

    if (progress)
        progress(IndexStage::building, static_cast<int>(missing.size()), context);
    for (const IndexDefinition* index : missing) {
        const Outcome made = run_statement(index->statement);
        if (!made.ok())
            return abandon(index->statement, made);
    }
    // Once the rule holds, its stand-in serves nothing the rule does not.
    if (rule_made && has(names, open_rows_by_code.name)) {
        const std::string drop = std::string("drop index if exists ") + open_rows_by_code.name;
        const Outcome dropped = run_statement(drop);
        if (!dropped.ok())
            return abandon(drop, dropped);
    }
    const Outcome committed = run_statement("COMMIT");
    if (!committed.ok())
        return abandon("COMMIT", committed);
    report->built = static_cast<int>(missing.size());
    if (progress)
        progress(IndexStage::done, report->built, context);
    return 0;
}

} // namespace store
