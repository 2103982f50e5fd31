// The reader of typed dates: every result code, the forms it accepts, and that no input can
// make it read or write where it should not.
#include "util/date_time.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <iterator>
#include <memory>
#include <random>
#include <set>
#include <string>

namespace {

const char sentinel[20] = "untouched sentinel";

const std::set<int> all_codes = {1,   0,   -1,  -2,  -3,  -4,  -5,  -6,   -7,   -8,  -9,
                                 -10, -11, -20, -22, -23, -24, -25, -26,  -27,  -29, -30,
                                 -32, -33, -34, -36, -37, -38, -40, -100, -200, -400};

std::string today()
{
    const std::time_t now = std::time(nullptr);
    const std::tm t = util::local_time_of(now);
    char text[11];
    std::strftime(text, sizeof text, "%Y-%m-%d", &t);
    return text;
}

struct Parsed {
    int code;
    std::string out;
};

Parsed parse(const std::string& text)
{
    char out[20];
    std::memcpy(out, sentinel, sizeof out);
    const int code = util::parse_date_time(text.c_str(), out);
    return {code, out};
}

// "T" in an expected output stands for today's date. A negative code must leave out alone.
TEST(ParseDateTime, EveryResultCode)
{
    const struct {
        std::string text;
        int code;
        const char* out;
    } rows[] = {
        // Both date forms and separators, the time before or after the date.
        {"2013-03-15", 1, "2013-03-15 00:00:00"},
        {"15-03-2013", 1, "2013-03-15 00:00:00"},
        {"15/3/2013", 1, "2013-03-15 00:00:00"},
        {"2013/05-01", 1, "2013-05-01 00:00:00"},
        {" \t2013-3-5 7:05", 1, "2013-03-05 07:05:00"},
        {"7:05:09 2013-3-5", 1, "2013-03-05 07:05:09"},
        {"7:05 15-03-2013", 1, "2013-03-15 07:05:00"},
        {"15-03-2013 7:05:09", 1, "2013-03-15 07:05:09"},
        {"2013-03-15 \t 23:59:59", 1, "2013-03-15 23:59:59"},
        {"12:30", 1, "T 12:30:00"},
        {"12:30:15", 1, "T 12:30:15"},
        {"12:30 \t", 1, "T 12:30:00"},
        {"12:30:15  ", 1, "T 12:30:15"},
        {"7:005", 1, "T 07:05:00"},
        {"2100-02-29", 1, "2100-02-29 00:00:00"},
        // One trailing character is ignored; more trailing blanks only after D-M-YYYY.
        {"2013-03-15.", 1, "2013-03-15 00:00:00"},
        {"2013-03-15 ", 1, "2013-03-15 00:00:00"},
        {"15-03-2013  ", 1, "2013-03-15 00:00:00"},
        {"12:00 2013-03-15x", 1, "2013-03-15 12:00:00"},
        {"", 0, ""},
        {" \t\n\v\f\r", 0, ""},

        {"x", -1, nullptr},
        {"\xff", -1, nullptr},
        {"123:00", -2, nullptr},
        {"24:00", -3, nullptr},
        {"12:", -4, nullptr},
        {"12:123:00", -5, nullptr},
        {"12:30:", -6, nullptr},
        {"12:30:123", -7, nullptr},
        {"12:30:15.", -8, nullptr},
        {"12:30:15 x", -9, nullptr},
        {"12:30x", -10, nullptr},
        {"12:30 x", -11, nullptr},
        {"12", -20, nullptr},
        {"12.03.2013", -20, nullptr},
        {"12:00 13:00", -20, nullptr},
        {"2013-03-15 12", -20, nullptr},
        {"123-03-2013", -22, nullptr},
        {"2013-", -23, nullptr},
        {"2013-123-01", -24, nullptr},
        {"2013-03", -25, nullptr},
        {"2013-03-", -26, nullptr},
        // Four digits first and last: refused however the date stops.
        {"2013-03-2013", -27, nullptr},
        {"0031-03-2013.", -27, nullptr},
        {"15-03-2013ab", -29, nullptr},
        {"2013-03-2013  ", -30, nullptr},
        {"2013-03-2013 12:00", -30, nullptr},
        {"15-03-2013 x", -32, nullptr},
        {"2013-03-12345", -33, nullptr},
        {"15-03-13", -34, nullptr},
        {"2013-03-15ab", -36, nullptr},
        {"2013-03-15  ", -37, nullptr},
        {"12:00 2013-03-15 2013-03-16", -38, nullptr},
        {"2013-03-15 2013-03-16", -40, nullptr},
        {"2013-03-15 12:00 2013-03-16", -40, nullptr},
        {"12:00 15-03-2013 13:00", -100, nullptr},
        {std::string(81, ' '), -200, nullptr},
        {"23:60", -400, nullptr},
        {"7:99999999999999999999", -400, nullptr},
        {"2013-02-29", -400, nullptr},
        {"2013-05-00", -400, nullptr},
        {"2013-13-01", -400, nullptr},
        {"2013-02-30 12:00", -400, nullptr},
    };

    std::set<int> seen;
    const std::string day_before = today();
    for (const auto& row : rows) {
        seen.insert(row.code);
        const Parsed got = parse(row.text);
        EXPECT_EQ(got.code, row.code) << '"' << row.text << '"';
        if (row.code < 0) {
            EXPECT_EQ(got.out, sentinel) << '"' << row.text << '"';
            continue;
        }
        std::string want = row.out;
        if (want.starts_with("T ")) // around midnight the parser may have seen either day
            want = (got.out.starts_with(day_before) ? day_before : today()) + want.substr(1);
        EXPECT_EQ(got.out, want) << '"' << row.text << '"';
    }
    EXPECT_EQ(seen, all_codes);
}

TEST(ParseDateTime, LengthLimitIsEightyCharacters)
{
    const std::string date = "15-03-2013";
    EXPECT_EQ(parse(std::string(70, ' ') + date).code, 1);
    EXPECT_EQ(parse(date + std::string(70, ' ')).code, 1);
    EXPECT_EQ(parse(std::string(71, ' ') + date).code, -200);
    EXPECT_EQ(parse(std::string(100000, '1')).code, -200);

    // Nothing past the 81st character is looked at, so a text cut off there is safe even
    // without its NUL (a sanitizer build catches any read beyond).
    std::unique_ptr<char[]> unterminated(new char[81]);
    std::memset(unterminated.get(), '7', 81);
    char out[20];
    std::memcpy(out, sentinel, sizeof out);
    EXPECT_EQ(util::parse_date_time(unterminated.get(), out), -200);
    EXPECT_STREQ(out, sentinel);
}

TEST(ValidateDateTime, Fields)
{
    const struct {
        int year, month, day, hour, minute, second;
        int result;
    } cases[] = {
        {-1, -1, -1, 23, 59, 59, 0},   {-1, -1, -1, 24, 59, 59, -1},
        {-1, -1, -1, 0, 60, 0, -1},    {-1, -1, -1, 0, 0, 60, -1},
        {-1, -1, -1, -1, -1, -1, 0},   {2013, -1, 0, -1, -1, -1, -1},
        {2013, -1, 31, -1, -1, -1, 0}, {2013, -1, 32, -1, -1, -1, -1},
        {2013, 4, -1, -1, -1, -1, 0},  {2013, 0, 1, -1, -1, -1, -1},
        {2013, 13, 1, -1, -1, -1, -1}, {2013, 4, 0, -1, -1, -1, -1},
        {1900, 2, 29, -1, -1, -1, 0},  {2100, 2, 29, -1, -1, -1, 0},
        {2012, 2, 29, -1, -1, -1, 0},  {2013, 2, 29, -1, -1, -1, -1},
        {2012, 2, 30, -1, -1, -1, -1}, {2013, 6, -5, -1, -1, -1, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(util::validate_date_time(c.year, c.month, c.day, c.hour, c.minute, c.second),
                  c.result)
            << c.year << '-' << c.month << '-' << c.day << ' ' << c.hour << ':' << c.minute << ':'
            << c.second;

    const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int month = 1; month <= 12; ++month) {
        EXPECT_EQ(util::validate_date_time(2013, month, lengths[month - 1], 0, 0, 0), 0) << month;
        EXPECT_EQ(util::validate_date_time(2013, month, lengths[month - 1] + 1, 0, 0, 0), -1)
            << month;
    }
}

// Random texts and mutations of good ones: the code is always one of the table, a refusal
// leaves out alone, and a success is a valid time stamp.
TEST(ParseDateTime, RandomInputsStayWithinTheContract)
{
    const char alphabet[] = "0123456789012345678901234567890123456789--//::  \t\n.x\xff\x80";
    const char* const seeds[] = {"2013-03-15 12:30:15", "15/3/2013 7:05", "7:05:09 2013-3-5",
                                 "12:00 15-03-2013",    "2012-02-29",     "23:59"};
    std::mt19937 random(20130315);
    auto pick = [&](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    auto any_char = [&] { return alphabet[pick(sizeof alphabet - 1)]; };

    for (int round = 0; round < 300000; ++round) {
        std::string text;
        if (round % 2 == 0) {
            for (std::size_t length = pick(round % 100 == 0 ? 120 : 30); length > 0; --length)
                text += any_char();
        } else {
            text = seeds[pick(std::size(seeds))];
            for (std::size_t edits = 1 + pick(3); edits > 0; --edits) {
                const std::size_t at = pick(text.size() + 1);
                if (at == text.size() || pick(3) == 0)
                    text.insert(at, 1, any_char());
                else if (pick(2) == 0)
                    text.erase(at, 1);
                else
                    text[at] = any_char();
            }
        }

        const Parsed got = parse(text);
        ASSERT_TRUE(all_codes.count(got.code)) << got.code << " for \"" << text << '"';
        if (got.code < 0) {
            ASSERT_EQ(got.out, sentinel) << '"' << text << '"';
        } else if (got.code == 0) {
            ASSERT_EQ(got.out, "") << '"' << text << '"';
        } else {
            int year, month, day, hour, minute, second;
            ASSERT_EQ(got.out.size(), 19u) << '"' << text << '"';
            ASSERT_EQ(std::sscanf(got.out.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &year, &month, &day,
                                  &hour, &minute, &second),
                      6)
                << got.out;
            ASSERT_EQ(util::validate_date_time(year, month, day, hour, minute, second), 0)
                << got.out << " from \"" << text << '"';
        }
    }
}

} // namespace
