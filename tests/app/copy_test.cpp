// vendrel copy from a file to PostgreSQL and back, row for row with their ids; a target with
// tables refused, and init refused on it too.
#include "harness/home.h"
#include "harness/peer.h"
#include "tests/support/pg_fixture.h"
#include "tests/support/scenario.h"

#include <filesystem>
#include <fstream>

namespace {

class Copy : public testing_support::PostgresqlServer {
  protected:
    void SetUp() override
    {
        PostgresqlServer::SetUp();
        if (HasFatalFailure())
            return;
        home = testing_support::make_temp_home("vendrel-copy");
        ASSERT_FALSE(home.empty());
        file = home + "/Documents/data_vendrel.dat";
        remote_testing::create_database_in(home);
    }
    int run(const std::vector<std::string>& words)
    {
        return remote_testing::run_program(home, words, home + "/copy.err", 60000,
                                           home + "/input");
    }
    std::string errors()
    {
        std::ifstream in(home + "/copy.err");
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    std::string home;
    std::string file;
};

TEST_F(Copy, CopiesAFileToPostgresqlAndBackRowForRow)
{
    testing_support::execute(
        file, "insert into ticket (id,code,subject,customer,personid_t) values "
              "(5,'A1','It''s broken','',3),(9,'A2',NULL,'x',NULL);"
              "insert into subjectlink (personid,personid2,reason) values (1,2,'Member');"
              "insert into person (name,role) values ('Front desk',5)");
    std::ofstream(home + "/input") << "admin\n";
    ASSERT_EQ(run({"copy", "--from", file, "--to", uri}), 0) << errors();
    for (const char* table : {"vendrelversion", "person", "subjectlink", "ticket"}) {
        const std::string sql = std::string("select * from ") + table + " order by id";
        EXPECT_EQ(pg_rows(sql), testing_support::query(file, sql)) << table;
    }
    // The database numbers on past the ids copied.
    EXPECT_EQ(pg_rows("insert into ticket (code) values ('A3') returning id"),
              (pg_testing::Rows{{"10"}}));
    pg_rows("delete from ticket where code='A3'");

    // Nothing is copied over tables, nor made by init.
    EXPECT_EQ(run({"copy", "--from", file, "--to", uri}), 1);
    EXPECT_NE(errors().find("holds tables already; nothing was changed"), std::string::npos)
        << errors();
    EXPECT_EQ(run({"init", "--store", uri}), 1);
    EXPECT_NE(errors().find("has the table person already"), std::string::npos) << errors();

    const std::string back = home + "/back.dat";
    ASSERT_EQ(run({"copy", "--from", uri, "--to", back}), 0) << errors();
    for (const char* table : {"vendrelversion", "person", "subjectlink", "ticket"}) {
        const std::string sql = std::string("select * from ") + table + " order by id";
        EXPECT_EQ(testing_support::query(back, sql), testing_support::query(file, sql)) << table;
    }
    EXPECT_EQ(testing_support::query(back, "select count(*) from sqlite_master where "
                                           "name='ticket_one_open_row'"),
              (testing_support::Rows{{"1"}}));
    EXPECT_EQ(run({"copy", "--from", file, "--to", home + "/other.dat"}), 2);
}

} // namespace
