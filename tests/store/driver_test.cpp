// The database table bound to the library loaded at run time: where the file goes, reading
// columns by name, and what unbound slots do.
#include "platform/platform.h"
#include "store/db_driver.h"
#include "store/sql.h"
#include "harness/home.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

class Driver : public ::testing::Test {
  protected:
    void SetUp() override
    {
        home = testing_support::make_temp_home("vendrel-store");
        ASSERT_FALSE(home.empty());
    }
    void TearDown() override { std::filesystem::remove_all(home); }
    std::string home;
};

TEST_F(Driver, ColumnsAreFoundByTheirExactNameLeftmostFirst)
{
    ASSERT_EQ(store::bind_local_driver("data_vendrel.dat"), 0);
    store::db_driver.column_by_name = store::local_column_by_name;
    EXPECT_TRUE(std::filesystem::exists(home + "/Documents/data_vendrel.dat"));

    const store::Outcome outcome =
        store::run_statement("select 'left' as id, 'right' as id, NULL as empty, 7 as n",
                             [](store::DbStatement* statement) {
                                 EXPECT_STREQ(store::column_by_name(statement, "id"), "left");
                                 EXPECT_EQ(store::column_by_name(statement, "ID"), nullptr);
                                 EXPECT_EQ(store::column_by_name(statement, "empty"), nullptr);
                                 EXPECT_EQ(store::column_by_name(statement, "missing"), nullptr);
                                 EXPECT_EQ(store::column_number(statement, "n"), 7);
                                 EXPECT_EQ(store::column_string(statement, "empty"), "");
                                 return true;
                             });
    EXPECT_TRUE(outcome.ok());
    EXPECT_EQ(outcome.rows, 1);
    // Every statement is finalized, so the connection closes at the first try.
    EXPECT_EQ(store::close(store::db_handle), store::db_ok);
}

TEST_F(Driver, TheDocumentsFolderComesFromTheUserDirsFile)
{
    if (platform::path_separator() != '/')
        GTEST_SKIP() << "the user-dirs file belongs to the desktops of POSIX systems";
    std::filesystem::create_directories(home + "/.config");
    std::ofstream(home + "/.config/user-dirs.dirs")
        << "# written by the desktop\nXDG_DOCUMENTS_DIR=\"$HOME/Papers/Work\"\n";
    EXPECT_EQ(platform::documents_folder(), home + "/Papers/Work");
    EXPECT_TRUE(std::filesystem::is_directory(home + "/Papers/Work"));
    ASSERT_EQ(store::bind_local_driver("data_vendrel.dat"), 0);
    EXPECT_TRUE(std::filesystem::exists(home + "/Papers/Work/data_vendrel.dat"));
    store::close(store::db_handle);
}

TEST_F(Driver, UnboundSlotsFailWithoutCrashing)
{
    store::sqlite_library_name = "libvendrel-no-such-library.so";
    EXPECT_EQ(store::bind_local_driver("data_vendrel.dat"), -1);
    EXPECT_EQ(store::run_statement("select 1").failure, store::Failure::prepare);
    EXPECT_NE(store::step(nullptr), store::db_row);
    EXPECT_EQ(store::column_by_name(nullptr, "id"), nullptr);
    EXPECT_EQ(store::column_text(nullptr, 0), nullptr);
    EXPECT_EQ(store::close(nullptr), store::db_ok)
        << "nothing to close must not hang the close box";
}

TEST(Sql, QuotingDoublesSingleQuotesOnly)
{
    EXPECT_EQ(store::sql_quote("O'Brien"), "O''Brien");
    EXPECT_EQ(store::sql_quote("x' or '1'='1"), "x'' or ''1''=''1");
    EXPECT_EQ(store::sql_quote("plain %_ text"), "plain %_ text");
    EXPECT_EQ(store::sql_format("id=%d and name='%s'", 5, "a"), "id=5 and name='a'");
}

} // namespace
