// Creation of a new database: each table is probed by preparing a select on it, and a table
// that is missing is created, with its first row where it has one. The statements are kept
// exactly as other instances and tools expect to find them in the file.
#include "store/schema.h"

#include "store/db_driver.h"
#include "store/session.h"
#include "store/sql.h"
#include "util/date_time.h"
#include "util/md5.h"

#include <string>

namespace store {

namespace {

// How a failed prepare of one statement is reported.
enum class Report {
    text_then_statement,    // a box with the message, then a box with the statement
    text_statement_caption, // one box: the message, with the statement as caption
    text_only,              // one box with the message
    statement_text_caption, // one box: the statement, with the message as caption
};

struct Failure {
    const char* message;
    Report report;
};

// clang-format off
constexpr const char* person_columns[] = {
    "code", "name", "password", "telephonenumber", "mobilenumber", "smsnumber", "email",
    "firstname", "surname", "title", "gender", "birthdate", "anniversary", "knownfrom",
    "hobbies", "birthplace", "baptismaldate", "baptismalplace", "systemnumber", "application",
    "baptismalname", "nickname", "alias", "emailp", "emailc", "telephonenumberp",
    "telephonenumberc", "mobilenumberp", "mobilenumberc", "faxnumberp", "faxnumberc",
    "address", "subaddress", "place", "pnumber", "ac1", "ac2", "ac3", "ac4", "gen1", "gen2",
    "gen3", "gen4", "description", "role", "date_b", "date_e"};
// clang-format on
static_assert(sizeof person_columns / sizeof person_columns[0] == 47, "person has 48 columns");

constexpr const char* subjectlink_columns[] = {
    "code",          "begindate", "enddate",     "personid", "personid2",
    "linklevelkind", "reason",    "description", "date_b",   "date_e"};

constexpr const char* ticket_columns[] = {
    "code",       "state",   "personid_c", "customer", "subject", "description", "personid_u",
    "personid_t", "actions", "begindate",  "enddate",  "date_b",  "date_e"};

bool is_integer_column(const char* name)
{
    static const std::string integers[] = {"role",       "personid",   "personid2", "linklevelkind",
                                           "personid_c", "personid_u", "personid_t"};
    for (const std::string& column : integers)
        if (column == name)
            return true;
    return false;
}

// "create table NAME (id integer primary key,col type,...)" with no other blanks.
template <std::size_t N> std::string creation(const char* table, const char* const (&columns)[N])
{
    std::string sql = std::string("create table ") + table + " (" + "id integer primary key";
    for (const char* column : columns)
        sql += std::string(",") + column + (is_integer_column(column) ? " integer" : " text");
    return sql + ")";
}

// Runs one statement that must finish at once; reports a failure as told and returns -1.
int run(platform::Window dialog, const std::string& sql, const Failure& failure)
{
    DbStatement* statement = nullptr;
    if (prepare_sql(sql, &statement) != db_ok) {
        switch (failure.report) {
        case Report::text_then_statement:
            platform::message_box(dialog, failure.message);
            platform::message_box(dialog, sql);
            break;
        case Report::text_statement_caption:
            platform::message_box(dialog, failure.message, sql.c_str());
            break;
        case Report::text_only:
            platform::message_box(dialog, failure.message);
            break;
        case Report::statement_text_caption:
            platform::message_box(dialog, sql, failure.message);
            break;
        }
        finalize(statement);
        return -1;
    }
    if (step(statement) != db_done) {
        platform::message_box(dialog, "Error creating database");
        finalize(statement);
        return -1;
    }
    finalize(statement);
    return 0;
}

bool table_present(const char* probe)
{
    DbStatement* statement = nullptr;
    const bool present = prepare_sql(probe, &statement) == db_ok;
    finalize(statement);
    return present;
}

} // namespace

int create_schema(platform::Window dialog, const char* password)
{
    const std::tm local = util::local_time_now();

    if (!table_present("select id from vendrelversion")) {
        if (run(dialog, "create table vendrelversion (id integer primary key,version text)",
                {"Cannot prepare statement - table version", Report::text_then_statement}) < 0)
            return -1;
        if (run(dialog, std::string("INSERT INTO vendrelversion (version) values (") + "'1.1')",
                {"Cannot prepare statement for version", Report::text_then_statement}) < 0)
            return -1;
    }
    if (!table_present("select id from person")) {
        if (run(dialog, creation("person", person_columns),
                {"Cannot prepare statement - table person", Report::text_then_statement}) < 0)
            return -1;
        char digest[33];
        util::hash_password(password, digest);
        char stamp[20];
        util::format_time_stamp(stamp, local);
        const std::string admin =
            std::string("INSERT INTO person (name,password,role,date_b,date_e) values (") +
            "'admin','" + digest + "',1,'" + stamp + "',NULL)";
        if (run(dialog, admin,
                {"Cannot prepare statement for person", Report::text_statement_caption}) < 0)
            return -1;
    }
    if (!table_present("select id from subjectlink")) {
        if (run(dialog, creation("subjectlink", subjectlink_columns),
                {"Cannot prepare statement for subjectlink", Report::text_only}) < 0)
            return -1;
    }
    if (!table_present("select id from ticket")) {
        if (run(dialog, creation("ticket", ticket_columns),
                {"Cannot prepare statement for ticket", Report::statement_text_caption}) < 0)
            return -1;
    }
    current_person_id = 1;
    return 0;
}

} // namespace store
