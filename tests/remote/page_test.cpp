// The page operation on the wire: its bytes for a small page, long results over several
// pages, empty results, NULL beside the text "error", a 60,000-byte value, a row too big for
// any page, a step that fails mid-way, and another connection's statement.
#include "remote/pages.h"
#include "remote/wire.h"
#include "store/schema.h"
#include "store/sql.h"
#include "tests/remote/server_fixture.h"

#include <string>
#include <vector>

namespace {

using remote_testing::ask;
using remote_testing::connect_raw;
using remote_testing::prepare_on;
using remote_testing::Reply;

class Pages : public remote_testing::ServerProtocol {
  protected:
    void SetUp() override
    {
        ServerProtocol::SetUp();
        store::SchemaFailure failure;
        ASSERT_EQ(store::create_schema("admin", &failure), 0);
        client = connect_raw(port);
        ASSERT_NE(client, platform::invalid_socket);
    }
    void TearDown() override
    {
        platform::close_socket(client);
        ServerProtocol::TearDown();
    }
    // The next page of number, read back as the client reads it.
    remote::Page page_of(int number)
    {
        const Reply reply = ask(client, 'r', number, "");
        EXPECT_TRUE(reply.complete);
        EXPECT_EQ(reply.operation_byte, 'r');
        EXPECT_EQ(reply.value, number);
        remote::Page page;
        EXPECT_EQ(remote::decode_page(reply.payload.data(), int(reply.payload.size()), &page), 0);
        return page;
    }
    platform::Socket client = platform::invalid_socket;
};

std::string value_of(const remote::Page& page, int row, int column)
{
    const int at = page.values[static_cast<std::size_t>(row * page.columns + column)];
    return at < 0 ? "NULL" : std::string(page.texts.data() + at);
}

TEST_F(Pages, ASmallPageKeepsNullApartFromTheTextErrorByteForByte)
{
    const int number = prepare_on(client, "select 'error' as a, NULL as b");
    const Reply reply = ask(client, 'r', number, "");
    EXPECT_EQ(reply.header, std::string("\0\0\0\0\0\x19\0r\0", 9) + char(number));
    EXPECT_EQ(reply.payload, std::string("\0\x65\0\x02\0\x01"
                                         "\0\x01"
                                         "a\0\x01"
                                         "b"
                                         "\0\x05"
                                         "error\xff\xff",
                                         21));

    // A result without rows still names its columns; another connection's statement, or a
    // number never given, is a page of nothing that ends with the misuse code.
    const int empty = prepare_on(client, "select id, code from ticket where id < 0");
    remote::Page page = page_of(empty);
    EXPECT_EQ(page.result, store::db_done);
    EXPECT_EQ(page.rows, 0);
    ASSERT_EQ(page.columns, 2);
    EXPECT_STREQ(page.texts.data() + page.names[1], "code");
    const platform::Socket other = connect_raw(port);
    for (int foreign : {empty, 999}) {
        const Reply answer = ask(other, 'r', foreign, "");
        EXPECT_EQ(answer.payload, std::string("\0\x15\0\0\0\0", 6)) << foreign;
    }
    platform::close_socket(other);
    // A request that breaks the operation's payload rule is refused as any other.
    EXPECT_EQ(ask(client, 'r', empty, "x").payload, "error");
}

TEST_F(Pages, ALongResultComesInWholeRowsOverSeveralPagesInOrder)
{
    ASSERT_TRUE(store::run_statement("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM "
                                     "n WHERE i<2000) INSERT INTO ticket (code, description) "
                                     "SELECT printf('T%05d', i), printf('%.100c', 'd') FROM n")
                    .ok());
    const int number = prepare_on(client, "select code, description, enddate from ticket");
    std::vector<std::string> codes;
    int pages = 0;
    for (remote::Page page;;) {
        page = page_of(number);
        ++pages;
        ASSERT_GT(page.rows, 0);
        for (int row = 0; row < page.rows; ++row) {
            codes.push_back(value_of(page, row, 0));
            EXPECT_EQ(value_of(page, row, 1).size(), 100u);
            EXPECT_EQ(value_of(page, row, 2), "NULL");
        }
        if (page.result != store::db_row) {
            EXPECT_EQ(page.result, store::db_done);
            break;
        }
    }
    EXPECT_EQ(pages, 4) << "224 KB of rows in pages of at most 64 KB";
    ASSERT_EQ(codes.size(), 2000u);
    for (std::size_t i = 0; i < codes.size(); ++i)
        ASSERT_EQ(codes[i], store::sql_format("T%05d", static_cast<int>(i) + 1));
}

TEST_F(Pages, BigValuesAndAStepThatFailsMidWay)
{
    // A value of 60,000 bytes fits a page with its row.
    remote::Page page = page_of(prepare_on(client, "select printf('%.60000c', 'x') as big, 1"));
    ASSERT_EQ(page.rows, 1);
    EXPECT_EQ(value_of(page, 0, 0), std::string(60000, 'x'));
    EXPECT_EQ(page.result, store::db_done);

    // A row too big for any page stays on the server as the current row, read by column.
    const int number = prepare_on(client, "select printf('%.40000c', 'a') as a, printf('%.40000c', "
                                          "'b') as b union all select 'c', 'd'");
    page = page_of(number);
    EXPECT_EQ(page.rows, 0);
    EXPECT_EQ(page.result, store::db_row);
    EXPECT_EQ(ask(client, 'V', number, "b").payload, std::string(40000, 'b'));
    EXPECT_EQ(ask(client, 'K', number, "").payload, "100");
    EXPECT_EQ(ask(client, 'V', number, "a").payload, "c");

    // The rows before a failing step come with the step's error.
    for (int i = 1; i <= 5; ++i)
        ASSERT_TRUE(
            store::run_statement(store::sql_format("insert into ticket (code) values ('%d')", i))
                .ok());
    page = page_of(prepare_on(client, "select case when id=3 then abs(-9223372036854775807-1) "
                                      "else id end as v from ticket order by id"));
    EXPECT_EQ(page.result, store::db_error);
    ASSERT_EQ(page.rows, 2);
    EXPECT_EQ(value_of(page, 1, 0), "2");
}

} // namespace
