// The PostgreSQL store in this process: the tables made as for SQLite, the values given back
// as the SQLite store gives them, the search's LIKE, and the rule of one open row.
#include "store/db_driver.h"
#include "store/schema.h"
#include "store/session.h"
#include "store/sql.h"
#include "tests/support/pg_fixture.h"

#include <optional>

namespace {

class PgStore : public testing_support::PostgresqlServer {
  protected:
    void SetUp() override
    {
        PostgresqlServer::SetUp();
        if (HasFatalFailure())
            return;
        std::string reason;
        ASSERT_EQ(store::bind_postgresql_driver(uri, &reason), 0) << reason;
        store::SchemaFailure failure;
        ASSERT_EQ(store::create_schema("admin", &failure), 0) << failure.statement;
    }
    void TearDown() override
    {
        store::close(store::db_handle);
        PostgresqlServer::TearDown();
    }
    // The first row of sql, each named column's text or nothing for NULL.
    std::vector<std::optional<std::string>> first_row(const std::string& sql,
                                                      const std::vector<const char*>& names)
    {
        std::vector<std::optional<std::string>> values;
        const store::Outcome outcome = store::run_statement(sql, [&](store::DbStatement* row) {
            for (const char* name : names)
                values.push_back(store::column_text_of(row, name));
            return false;
        });
        EXPECT_TRUE(outcome.ok()) << sql;
        return values;
    }
};

TEST_F(PgStore, GivesValuesAsTheSqliteStoreDoesAndSearchesWithoutCase)
{
    EXPECT_EQ(pg_rows("select id, name, role from person"),
              (pg_testing::Rows{{"1", "admin", "1"}}));
    EXPECT_TRUE(store::run_statement("insert into ticket (code,subject,customer,personid_t) "
                                     "values ('A1','Printer Ab\\c','',7)")
                    .ok());
    using Row = std::vector<std::optional<std::string>>;
    // Names as SQLite gives them, integers as decimal text, NULL apart from the empty text.
    EXPECT_EQ(first_row("select ID, customer, enddate, personid_t, count(*) from TICKET group by "
                        "id",
                        {"id", "customer", "enddate", "personid_t", "count(*)"}),
              (Row{"1", "", std::nullopt, "7", "1"}));
    EXPECT_EQ(first_row("select max(id) as m from ticket where subject like '%aB\\C%'", {"m"}),
              (Row{"1"}));
    EXPECT_EQ(first_row("select count(*) as n from ticket where subject like 'printer'", {"n"}),
              (Row{"0"}));
    // A missing table fails at prepare, as the probes of a new database expect.
    EXPECT_FALSE(store::statement_prepares("select id from nothing"));
    EXPECT_TRUE(store::statement_prepares("select id from ticket"));
    // The index of the data-volume work is there, the rule of one open row among them.
    EXPECT_EQ(pg_rows("select count(*) from pg_indexes where indexname in "
                      "('ticket_one_open_row','ticket_open_by_group','person_name')"),
              (pg_testing::Rows{{"3"}}));
    const store::Outcome second =
        store::run_statement("insert into ticket (code,subject) values ('A1','again')");
    EXPECT_EQ(second.failure, store::Failure::step);
    EXPECT_EQ(second.code, store::db_constraint);
    // Ids come from the database (a refused insert used one up), and from nobody else.
    EXPECT_TRUE(store::run_statement("insert into ticket (code) values ('A2')").ok());
    EXPECT_EQ(first_row("select id from ticket where code='A2'", {"id"}), (Row{"3"}));
    EXPECT_FALSE(store::run_statement("insert into ticket (id,code) values (99,'A3')").ok());
    EXPECT_FALSE(store::run_statement("update ticket set id=99 where code='A2'").ok());
}

TEST_F(PgStore, RowsComeAsSteppedAndAnotherStatementMeanwhileLosesNone)
{
    pg_rows("insert into ticket (code) select 'T' || g from generate_series(1, 5000) g");
    // A read stepped half-way while another statement runs keeps all its rows.
    store::DbStatement* listing = nullptr;
    const std::string sql = "select code from ticket order by id";
    ASSERT_EQ(store::prepare(store::db_handle, sql.c_str(), int(sql.size()), &listing, nullptr),
              store::db_ok);
    ASSERT_EQ(store::step(listing), store::db_row);
    EXPECT_STREQ(store::column_by_name(listing, "code"), "T1");
    EXPECT_EQ(store::run_statement("update ticket set state='seen' where code='T2'").code,
              store::db_ok);
    int rows = 1;
    while (store::step(listing) == store::db_row)
        ++rows;
    EXPECT_EQ(rows, 5000);
    store::finalize(listing);
    // A read left after its first row is cut short; a write so left is still kept whole.
    EXPECT_TRUE(store::run_statement(sql, [](store::DbStatement*) { return false; }).ok());
    EXPECT_TRUE(store::run_statement("insert into ticket (code) values ('W1'),('W2') returning id",
                                     [](store::DbStatement*) { return false; })
                    .ok());
    EXPECT_EQ(pg_rows("select count(*) from ticket where code like 'W%' or state='seen'"),
              (pg_testing::Rows{{"3"}}));
}

TEST(PgStoreBinding, AStoreThatCannotBeReachedSaysWhy)
{
    std::string reason;
    EXPECT_EQ(store::bind_postgresql_driver("postgresql://nobody@127.0.0.1:1/none", &reason), -1);
    EXPECT_NE(reason.find("cannot connect to the PostgreSQL database"), std::string::npos)
        << reason;
    const char* const library = store::postgresql_library_name;
    store::postgresql_library_name = "libpq-missing.so.5";
    EXPECT_EQ(store::bind_postgresql_driver("dbname=x", &reason), -1);
    EXPECT_NE(reason.find("cannot be loaded"), std::string::npos) << reason;
    store::postgresql_library_name = library;
}

} // namespace
