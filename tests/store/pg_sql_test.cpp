// The rewrite of statements for PostgreSQL: each rule once, quoted text untouched, and what
// PostgreSQL would read otherwise than SQLite refused.
#include "store/pg_sql.h"

#include <gtest/gtest.h>

namespace {

std::string rewritten(const std::string& sql, bool hide_digest = false)
{
    store::PgRewrite options;
    options.hide_digest = hide_digest;
    std::string out;
    std::string why;
    if (!store::rewrite_for_postgresql(sql, options, &out, &why))
        return "refused: " + why;
    return out;
}

TEST(PostgresqlRewrite, RewritesTheTokensTheProgramNeedsAndNothingQuoted)
{
    const struct {
        const char* sql;
        const char* expected;
    } cases[] = {
        {"create table t (id integer primary key,name text)",
         "create table t ( id integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY , name text "
         "COLLATE \"C\" )"},
        {"select * from ticket where subject like '%Ab%' and code like 'x' || 'y'",
         "select * from ticket where subject ILIKE '%Ab%' ESCAPE '' and code ILIKE 'x' || 'y'"},
        {"select a from t where a NOT LIKE 'q\\%' escape '\\'",
         "select a from t where a NOT ILIKE 'q\\%' escape '\\'"},
        {"select 'it''s like -- /* this' as \"Like\" from [T] where `b`==ifnull(c,'')",
         "select 'it''s like -- /* this' as \"like\" from \"t\" where \"b\" = coalesce ( c , '' )"},
        {"BEGIN IMMEDIATE", "BEGIN"},
        {"select 1 /* a comment */ -- and another\n;", "select 1"},
        // One string to SQLite, which PostgreSQL would end early as an escape string: apart,
        // E is a name and the string the same.
        {"select E'\\'' , 1 --'", "select E '\\'' , 1 --'"},
        {"select x'00'", "refused: a blob literal"},
        {"select 1; drop table person", "refused: a second statement"},
        {"select ?", "refused: a parameter"},
        {"select $$a$$", "refused: a parameter"},
        {"select 1 ^ 2", "refused: the character ^"},
        {"select 'open", "refused: an unterminated string"},
        {"select name from sqlite_master where type='index'",
         "select name from ( SELECT tablename AS name , 'table' AS type FROM pg_tables WHERE "
         "schemaname = current_schema ( ) UNION ALL SELECT indexname , 'index' FROM pg_indexes "
         "WHERE schemaname = current_schema ( ) ) AS sqlite_master where type = 'index'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rewritten(c.sql), c.expected) << c.sql;
}

TEST(PostgresqlRewrite, AStatementThatMayNotReadTheDigestRunsOverAStandIn)
{
    const std::string plain = rewritten("select * from person", true);
    EXPECT_EQ(plain.rfind("WITH person AS ( SELECT id , code , name , NULL :: text AS password , "
                          "telephonenumber",
                          0),
              0u)
        << plain;
    EXPECT_NE(plain.find(" FROM person ) select * from person"), std::string::npos) << plain;
    const std::string with = rewritten("with x as (select 1) select * from x, person", true);
    EXPECT_EQ(with.rfind("WITH person AS (", 0), 0u) << with;
    EXPECT_NE(with.find(" FROM person ) , x as ( select 1 ) select"), std::string::npos) << with;
}

} // namespace
