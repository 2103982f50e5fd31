// A PostgreSQL server of the test's own with one empty database "vendrel"; the test fails,
// and says why, when PostgreSQL is missing or will not start.
#pragma once

#include "harness/pg_server.h"

#include <gtest/gtest.h>

namespace testing_support {

class PostgresqlServer : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(pg_testing::start_pg_server(&pg)) << "PostgreSQL: " << pg.error;
        uri = pg_testing::make_pg_database(pg, "vendrel");
        ASSERT_FALSE(uri.empty());
    }
    void TearDown() override { pg_testing::stop_pg_server(&pg); }
    pg_testing::Rows pg_rows(const std::string& sql) const
    {
        return pg_testing::pg_query(pg, "vendrel", sql);
    }
    pg_testing::PgServer pg;
    std::string uri;
};

} // namespace testing_support
