// Ticket codes: base 32, the generator, and both candidate series against a real file.
#include "tests/tickets/ticket_scenario.h"
#include "tickets/ticket_codes.h"

#include <ctime>

namespace {

using namespace headless;
using ticket_tests::TicketScenario;
using tickets::to_base32;

TEST(TicketCodes, Base32AndTheGenerator)
{
    EXPECT_EQ(to_base32(0), "0");
    EXPECT_EQ(to_base32(9), "9");
    EXPECT_EQ(to_base32(31), "V");
    EXPECT_EQ(to_base32(32), "10");
    EXPECT_EQ(to_base32(126) + to_base32(341) + to_base32(12345), "3UALC1P");
    EXPECT_EQ(to_base32(32767), "VVV");
    EXPECT_EQ(to_base32(32768), "1000");
    EXPECT_EQ(to_base32(1048575), "VVVV");
    // The classic generator seeded with 1 draws 16838 first.
    EXPECT_EQ(tickets::code_random_value(1), 16838);
    for (unsigned seed : {0u, 12345u, 0xFFFFFFFFu, 1765000000u}) {
        EXPECT_GE(tickets::code_random_value(seed), 0);
        EXPECT_LE(tickets::code_random_value(seed), 32767);
    }
}

class Codes : public TicketScenario {
  protected:
    static std::time_t at(int year, int month, int day)
    {
        std::tm t{};
        t.tm_year = year - 1900;
        t.tm_mon = month - 1;
        t.tm_mday = day;
        t.tm_hour = 12;
        t.tm_isdst = -1;
        return std::mktime(&t);
    }

    std::string code_at(std::time_t now, int* result)
    {
        std::string code;
        on_program_thread([&] { *result = tickets::make_ticket_code_at(now, &code); });
        return code;
    }

    void take(const std::string& code) { add_ticket(2, code, "2026-01-01 00:00:00", "s", "d"); }
};

TEST_F(Codes, FirstSeriesThenFallback)
{
    open_as_admin();
    const std::time_t now = at(2026, 12, 7);
    const unsigned r =
        static_cast<unsigned>(tickets::code_random_value(static_cast<unsigned>(now)));
    int result = 0;

    // Empty table: the first candidate.
    EXPECT_EQ(code_at(now, &result), "3UAL" + to_base32(r));
    EXPECT_EQ(result, 1);
    // The same second again: taken, so r + 1.
    take("3UAL" + to_base32(r));
    EXPECT_EQ(code_at(now, &result), "3UAL" + to_base32(r + 1));

    // All four taken: the day part counts from 0 and N from 32567 + generations + max id.
    take("3UAL" + to_base32(r + 1));
    take("3UAL" + to_base32(r + 2));
    take("3UAL" + to_base32(r + 3));
    const unsigned base = 3 + 32567 + 4;
    EXPECT_EQ(code_at(now, &result), "3UAK" + to_base32(base));
    EXPECT_EQ(result, 1);
    // An ended, removed row still takes its code.
    execute("update ticket set enddate='x',date_e='x' where id=4");
    take("3UAK" + to_base32(base + 2)); // generation 4 and max id 5 start at base + 2
    EXPECT_EQ(code_at(now, &result), "3UAK" + to_base32(base + 3));

    int counter = 0;
    on_program_thread([&] { counter = tickets::code_counter; });
    EXPECT_EQ(counter, 4);

    // A check that fails (the table went away under the program) ends the generation; it
    // does not count the candidate as free.
    execute("alter table ticket rename to old_ticket");
    EXPECT_EQ(code_at(now, &result), "");
    EXPECT_EQ(result, -1);
}

TEST_F(Codes, FirstOfJanuary)
{
    open_as_admin();
    const std::time_t now = at(2027, 1, 1);
    const unsigned r =
        static_cast<unsigned>(tickets::code_random_value(static_cast<unsigned>(now)));
    int result = 0;
    EXPECT_EQ(code_at(now, &result), "3V1" + to_base32(r));
    for (unsigned k = 0; k < 4; ++k)
        take("3V1" + to_base32(r + k));
    EXPECT_EQ(code_at(now, &result), "3V0" + to_base32(2 + 32567 + 4));
    EXPECT_EQ(result, 1);
}

} // namespace
