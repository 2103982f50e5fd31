// vendrel init as an administrator runs it for a service, a process of its own with the
// password on its standard input: the first database made as the first login makes it, and
// the refusals that leave a database or an empty password alone.
#include "harness/home.h"
#include "harness/peer.h"
#include "tests/support/scenario.h"
#include "util/md5.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using testing_support::query;
using testing_support::Rows;

TEST(Init, MakesTheFirstDatabaseFromOneLineAndNeverTouchesOneThatHasTables)
{
    const std::string home = testing_support::make_temp_home("vendrel-init");
    ASSERT_FALSE(home.empty());
    int runs = 0;
    const auto init = [&](const std::string& input, const std::vector<std::string>& words) {
        const std::string input_file = home + "/input" + std::to_string(++runs);
        std::ofstream(input_file, std::ios::binary) << input;
        std::vector<std::string> arguments{"init"};
        arguments.insert(arguments.end(), words.begin(), words.end());
        return remote_testing::run_program(home, arguments, home + "/init.err", 30000,
                                           input_file);
    };
    const auto errors = [&] {
        std::stringstream text;
        text << std::ifstream(home + "/init.err").rdbuf();
        return text.str();
    };
    const std::string file = home + "/service.dat";

    // Refused, and no file left behind: an empty line, no line, a password the login dialog
    // could never take.
    for (const std::string& input : {std::string("\r\n"), std::string(), std::string(24, 'p')}) {
        EXPECT_EQ(init(input, {"--database", file}), 1);
        EXPECT_FALSE(std::filesystem::exists(file)) << errors();
    }

    // A line ending in CR LF: the password is the line without it.
    ASSERT_EQ(init("s3cret\r\n", {"--database", file}), 0) << errors();
    char digest[33];
    util::hash_password("s3cret", digest);
    EXPECT_EQ(query(file, "select id,name,password,role from person"),
              (Rows{{"1", "admin", digest, "1"}}));
    EXPECT_EQ(query(file, "select version from vendrelversion"), (Rows{{"1.1"}}));
    EXPECT_EQ(query(file, "select count(*) from ticket"), (Rows{{"0"}}));
    EXPECT_EQ(query(file, "select count(*) from sqlite_master where name='ticket_one_open_row'"),
              (Rows{{"1"}}));

    // A database that has its tables stays as it was, the user's own included.
    EXPECT_EQ(init("other\n", {"--database", file}), 1);
    EXPECT_NE(errors().find("has its tables already"), std::string::npos) << errors();
    EXPECT_EQ(query(file, "select password from person"), (Rows{{digest}}));
    EXPECT_EQ(init("mine\n", {}), 0) << errors();
    EXPECT_EQ(query(home + "/Documents/data_vendrel.dat", "select name from person"),
              (Rows{{"admin"}}));
    EXPECT_EQ(init("\n", {"--force"}), 2);
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
}

} // namespace
