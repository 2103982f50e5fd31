// Logging in through the login dialog, and the new database made at the first
// administrator login, checked in the file through a second connection.
#include "app/dialogs.h"
#include "resources/ids.h"
#include "store/schema.h"
#include "store/session.h"
#include "tests/support/scenario.h"
#include "util/date_time.h"
#include "util/md5.h"

#include <ctime>

namespace {

using testing_support::Rows;
using testing_support::Scenario;
using namespace headless;
using namespace ids;

std::string digest_of(const std::string& text)
{
    char out[33];
    util::md5_hex_of_text(text.c_str(), out);
    return out;
}

int logged_in_person()
{
    int id = 0;
    on_program_thread([&] { id = store::current_person_id; });
    return id;
}

class Login : public Scenario {
  protected:
    // A person row written the way another tool would, with the password's digest.
    void add_person(const std::string& name, const char* password, const char* role = "1",
                    const char* removed = "NULL")
    {
        const std::string digest = password ? "'" + digest_of(password) + "'" : "NULL";
        std::string quoted;
        for (char c : name)
            quoted += c == '\'' ? std::string("''") : std::string(1, c);
        execute("INSERT INTO person (name,password,role,date_b,date_e) values ('" + quoted + "'," +
                digest + "," + role + ",'2026-01-01 00:00:00'," + removed + ")");
    }
};

TEST_F(Login, FirstAdministratorLoginCreatesTheDatabase)
{
    start();
    const std::time_t before = std::time(nullptr);
    platform::Window login = log_in("admin", "");
    EXPECT_EQ(box_texts(),
              (std::vector<std::string>{"Generate new Database - no table for users found",
                                        "Generating new Database done"}));
    EXPECT_EQ(find_dialog(login_dialog), nullptr);
    (void)login;
    EXPECT_EQ(logged_in_person(), 1);

    const Rows tables =
        query("select name, sql from sqlite_master where type='table' order by rowid");
    ASSERT_EQ(tables.size(), 4u);
    EXPECT_EQ(tables[0][1], "CREATE TABLE vendrelversion (id integer primary key,version text)");
    EXPECT_EQ(
        tables[1][1],
        "CREATE TABLE person (id integer primary key,code text,name text,password text,"
        "telephonenumber text,mobilenumber text,smsnumber text,email text,firstname text,"
        "surname text,title text,gender text,birthdate text,anniversary text,knownfrom text,"
        "hobbies text,birthplace text,baptismaldate text,baptismalplace text,systemnumber text,"
        "application text,baptismalname text,nickname text,alias text,emailp text,emailc text,"
        "telephonenumberp text,telephonenumberc text,mobilenumberp text,mobilenumberc text,"
        "faxnumberp text,faxnumberc text,address text,subaddress text,place text,pnumber text,"
        "ac1 text,ac2 text,ac3 text,ac4 text,gen1 text,gen2 text,gen3 text,gen4 text,"
        "description text,role integer,date_b text,date_e text)");
    EXPECT_EQ(tables[2][1],
              "CREATE TABLE subjectlink (id integer primary key,code text,begindate text,"
              "enddate text,personid integer,personid2 integer,linklevelkind integer,"
              "reason text,description text,date_b text,date_e text)");
    EXPECT_EQ(tables[3][1], "CREATE TABLE ticket (id integer primary key,code text,state text,"
                            "personid_c integer,customer text,subject text,description text,"
                            "personid_u integer,personid_t integer,actions text,begindate text,"
                            "enddate text,date_b text,date_e text)");

    EXPECT_EQ(query("select id, version from vendrelversion"), (Rows{{"1", "1.1"}}));
    const Rows admin = query("select id, name, password, role, date_b, date_e from person");
    ASSERT_EQ(admin.size(), 1u);
    EXPECT_EQ(admin[0][0], "1");
    EXPECT_EQ(admin[0][1], "admin");
    EXPECT_EQ(admin[0][2], "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(admin[0][3], "1");
    EXPECT_EQ(admin[0][5], "NULL");
    // The creation stamp is the local time of the login, in the stored form.
    char low[20], high[20];
    const std::time_t after = std::time(nullptr);
    util::format_time_stamp(low, util::local_time_of(before));
    util::format_time_stamp(high, util::local_time_of(after));
    EXPECT_GE(admin[0][4], std::string(low));
    EXPECT_LE(admin[0][4], std::string(high));
    EXPECT_TRUE(query("select id from subjectlink").empty());
    EXPECT_TRUE(query("select id from ticket").empty());

    // The password typed then is the administrator's from now on.
    log_in("admin", "wrong");
    EXPECT_EQ(box_texts(), std::vector<std::string>{"Wrong username/password"});
    press_escape(find_dialog(login_dialog));
    log_in("admin", "");
    EXPECT_TRUE(box_texts().empty());
    EXPECT_EQ(find_dialog(login_dialog), nullptr);
}

TEST_F(Login, EveryRefusalOfTheLoginTable)
{
    start();
    create_database();
    add_person("ann", "secret");
    add_person("O'Brien", "pw");
    add_person("gone", "pw", "1", "'2026-02-01 00:00:00'");
    add_person("Brightwell", "pw", "2");
    add_person("nopass", nullptr);
    add_person("norole", "pw", "NULL");

    struct Attempt {
        const char* user;
        const char* password;
        std::vector<std::string> boxes;
        bool dialog_open;
        int person; // logged in afterwards
    };
    const std::string nopass_statement =
        "SELECT id,password from person where name='nopass' and (role=1 or role is null) "
        "and date_e is null";
    const Attempt attempts[] = {
        {"ann", "wrong", {"Wrong username/password"}, true, 1},
        {"nobody", "x", {"Unknown user"}, true, 1},
        {"gone", "pw", {"Unknown user"}, true, 1},
        {"Brightwell", "pw", {"Unknown user"}, true, 1},
        {"ANN", "secret", {"Unknown user"}, true, 1},
        {"x' or '1'='1", "x", {"Unknown user"}, true, 1},
        {"nopass", "", {nopass_statement}, true, 1},
        {"12345678901234567890123", "x", {"Unknown user"}, true, 1},
        {"123456789012345678901234", "x", {"Login"}, true, 1},
        {"ann", "123456789012345678901234", {"Login"}, true, 1},
        {"ann", "secret", {}, false, 2},
        {"O'Brien", "pw", {}, false, 3},
        {"norole", "pw", {}, false, 7},
        {"ann", "nope", {"Wrong username/password"}, true, 7},
    };
    for (const Attempt& attempt : attempts) {
        SCOPED_TRACE(std::string(attempt.user) + " / " + attempt.password);
        log_in(attempt.user, attempt.password);
        const auto boxes = take_boxes();
        std::vector<std::string> texts;
        for (const ShownBox& box : boxes)
            texts.push_back(box.text);
        EXPECT_EQ(texts, attempt.boxes);
        EXPECT_EQ(find_dialog(login_dialog) != nullptr, attempt.dialog_open);
        EXPECT_EQ(logged_in_person(), attempt.person);
        if (!boxes.empty()) {
            EXPECT_EQ(boxes[0].owner_template, login_dialog);
            if (attempt.boxes[0] == "Login") {
                EXPECT_EQ(boxes[0].caption, "Username Password invalid");
            } else if (attempt.boxes[0] == nopass_statement) {
                EXPECT_EQ(boxes[0].caption, "No password set");
            }
        }
        if (platform::Window open = find_dialog(login_dialog))
            press_escape(open);
    }
}

TEST_F(Login, AnAdministratorLoginResumesACreationThatFailed)
{
    start();
    // Something else already holds the name of the person table.
    execute("create view person as select 1 as x");
    log_in("admin", "pw");
    EXPECT_EQ(box_texts(), (std::vector<std::string>{
                               "Generate new Database - no table for users found",
                               "Cannot prepare statement - table person",
                               "create table person (id integer primary key,code text,name "
                               "text,password text,telephonenumber text,mobilenumber text,"
                               "smsnumber text,email text,firstname text,surname text,title "
                               "text,gender text,birthdate text,anniversary text,knownfrom "
                               "text,hobbies text,birthplace text,baptismaldate text,"
                               "baptismalplace text,systemnumber text,application text,"
                               "baptismalname text,nickname text,alias text,emailp text,"
                               "emailc text,telephonenumberp text,telephonenumberc text,"
                               "mobilenumberp text,mobilenumberc text,faxnumberp text,"
                               "faxnumberc text,address text,subaddress text,place text,"
                               "pnumber text,ac1 text,ac2 text,ac3 text,ac4 text,gen1 text,"
                               "gen2 text,gen3 text,gen4 text,description text,role integer,"
                               "date_b text,date_e text)"}));
    EXPECT_NE(find_dialog(login_dialog), nullptr) << "the dialog stays open";
    EXPECT_EQ(logged_in_person(), -1);
    EXPECT_EQ(query("select version from vendrelversion"), (Rows{{"1.1"}}));

    execute("drop view person");
    press_escape(find_dialog(login_dialog));
    log_in("admin", "pw");
    EXPECT_EQ(box_texts(),
              (std::vector<std::string>{"Generate new Database - no table for users found",
                                        "Generating new Database done"}));
    EXPECT_EQ(logged_in_person(), 1);
    EXPECT_EQ(query("select count(*) from vendrelversion"), (Rows{{"1"}}));
    EXPECT_EQ(query("select id, name from person"), (Rows{{"1", "admin"}}));
    EXPECT_EQ(query("select count(*) from sqlite_master where type='table'"), (Rows{{"4"}}));
}

// A person table that cannot answer the login is a damaged database, not a new one: the
// administrator is not let in without a password, and nothing is created.
TEST_F(Login, ADamagedPersonTableLetsNobodyIn)
{
    execute("create table person (id integer primary key,name text)");
    start();
    log_in("admin", "anything");
    EXPECT_EQ(box_texts(), std::vector<std::string>{"Database login error"});
    EXPECT_EQ(find_dialog(login_dialog), nullptr);
    EXPECT_EQ(logged_in_person(), -1);
    EXPECT_EQ(query("select count(*) from sqlite_master"), (Rows{{"1"}}));
}

TEST_F(Login, OnlyWhatIsMissingIsCreated)
{
    // Only the version table: no second version row.
    execute("create table vendrelversion (id integer primary key,version text);"
            "insert into vendrelversion (version) values ('0.9')");
    start();
    log_in("admin", "a");
    EXPECT_EQ(query("select version from vendrelversion"), (Rows{{"0.9"}}));
    EXPECT_EQ(query("select name from person"), (Rows{{"admin"}}));
    EXPECT_EQ(query("select count(*) from sqlite_master where type='table'"), (Rows{{"4"}}));
}

TEST_F(Login, RowsAreWrittenOnlyWithTheirTables)
{
    // A person table without tickets: no administrator row, the two missing tables made.
    execute("create table vendrelversion (id integer primary key,version text);"
            "create table person (id integer primary key,name text,password text,role "
            "integer,date_b text,date_e text)");
    start();
    int result = 0;
    store::SchemaFailure failure;
    on_program_thread([&] { result = store::create_schema("pw", &failure); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(logged_in_person(), 1);
    EXPECT_TRUE(query("select * from person").empty());
    EXPECT_TRUE(query("select * from vendrelversion").empty());
    EXPECT_EQ(query("select name from sqlite_master where type='table' order by rowid"),
              (Rows{{"vendrelversion"}, {"person"}, {"subjectlink"}, {"ticket"}}));

    // All four present: nothing is made or written.
    const Rows made = query("select name from sqlite_master");
    on_program_thread([&] { result = store::create_schema("pw", &failure); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(query("select name from sqlite_master"), made);
    EXPECT_TRUE(shown_boxes().empty());
}

TEST_F(Login, AFailedTableKeepsWhatWasMadeBeforeIt)
{
    execute("create view subjectlink as select 1 as x");
    start();
    int result = 0;
    store::SchemaFailure failure;
    on_program_thread([&] { result = store::create_schema("pw", &failure); });
    EXPECT_EQ(result, -1);
    EXPECT_STREQ(failure.telling.message, "Cannot prepare statement for subjectlink");
    EXPECT_TRUE(box_texts().empty()) << "the login tells it, not the database layer";
    EXPECT_EQ(logged_in_person(), -1);
    EXPECT_EQ(query("select name from person"), (Rows{{"admin"}}));
    EXPECT_EQ(query("select count(*) from sqlite_master where name='ticket'"), (Rows{{"0"}}));
}

} // namespace
