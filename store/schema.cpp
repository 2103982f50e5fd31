// Creation of a new database: each table is probed by preparing a select on it, and a table
// that is missing is created, with its first row where it has one. The statements are kept
// exactly as other instances and tools expect to find them in the file.
#include "store/schema.h"

#include "store/db_driver.h"
#include "store/indexes.h"
#include "store/session.h"
#include "store/sql.h"
#include "util/date_time.h"
#include "util/md5.h"

#include <string>

namespace store {

namespace {

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

// Runs one statement that must finish at once. On failure describes it in *failure: a
// failed prepare as that statement's own telling, any other failure alike for all.
int run(const std::string& sql, const platform::Telling& on_prepare, SchemaFailure* failure)
{
    const Outcome outcome = run_statement(sql);
    if (outcome.ok())
        return 0;
    failure->statement = sql;
    failure->telling = outcome.failure == Failure::prepare
                           ? on_prepare
                           : platform::Telling{"Error creating database", platform::Shape::message};
    return -1;
}

} // namespace

int create_schema(const char* password, SchemaFailure* failure)
{
    const std::tm local = util::local_time_now();

    if (!statement_prepares("select id from vendrelversion")) {
        if (run(table_creation("vendrelversion"),
                {"Cannot prepare statement - table version",
                 platform::Shape::message_then_statement},
                failure) < 0)
            return -1;
        if (run(std::string("INSERT INTO vendrelversion (version) values (") + "'1.1')",
                {"Cannot prepare statement for version", platform::Shape::message_then_statement},
                failure) < 0)
            return -1;
    }
    if (!statement_prepares("select id from person")) {
        if (run(creation("person", person_columns),
                {"Cannot prepare statement - table person",
                 platform::Shape::message_then_statement},
                failure) < 0)
            return -1;
        char digest[33];
        util::hash_password(password, digest);
        char stamp[20];
        util::format_time_stamp(stamp, local);
        const std::string admin =
            std::string("INSERT INTO person (name,password,role,date_b,date_e) values (") + "'" +
            administrator_name + "','" + digest + "',1,'" + stamp + "',NULL)";
        if (run(admin,
                {"Cannot prepare statement for person",
                 platform::Shape::message_captioned_statement},
                failure) < 0)
            return -1;
    }
    if (!statement_prepares("select id from subjectlink")) {
        if (run(creation("subjectlink", subjectlink_columns),
                {"Cannot prepare statement for subjectlink", platform::Shape::message},
                failure) < 0)
            return -1;
    }
    if (!statement_prepares("select id from ticket")) {
        if (run(creation("ticket", ticket_columns),
                {"Cannot prepare statement for ticket",
                 platform::Shape::statement_captioned_message},
                failure) < 0)
            return -1;
    }
    // A file that had no tables at open gets its indexes now; one that had them, nothing.
    IndexReport indexes;
    create_indexes(nullptr, nullptr, &indexes);
    current_person_id = administrator_id;
    return 0;
}

std::string table_creation(const std::string& table)
{
    if (table == "vendrelversion")
        return "create table vendrelversion (id integer primary key,version text)";
    if (table == "person")
        return creation("person", person_columns);
    if (table == "subjectlink")
        return creation("subjectlink", subjectlink_columns);
    if (table == "ticket")
        return creation("ticket", ticket_columns);
    return std::string();
}

namespace {

template <std::size_t N> std::vector<std::string> with_id(const char* const (&columns)[N])
{
    std::vector<std::string> names{"id"};
    names.insert(names.end(), std::begin(columns), std::end(columns));
    return names;
}

} // namespace

std::vector<std::string> table_columns(const std::string& table)
{
    if (table == "vendrelversion")
        return {"id", "version"};
    if (table == "person")
        return with_id(person_columns);
    if (table == "subjectlink")
        return with_id(subjectlink_columns);
    if (table == "ticket")
        return with_id(ticket_columns);
    return {};
}

} // namespace store
