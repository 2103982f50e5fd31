// Ticket codes: year since 1900, day of the year and a number, each in base 32, tried
// against table ticket until one is free. The first series draws its number from a
// generator seeded with the clock; when its four candidates are taken, a second series
// counts on from the highest ticket id. The ticket dialog shows the failure.
#include "tickets/ticket_codes.h"

#include "store/sql.h"
#include "util/date_time.h"

#include <cstdint>

namespace tickets {

int code_counter = 0;

namespace {

constexpr int first_series = 4;
constexpr int fallback_series = 11;
constexpr int fallback_offset = 32567;

constexpr int code_free = 1;
constexpr int code_taken = 0;
constexpr int code_failed = -1;

// Whether any row, ended or removed ones included, carries candidate. Only a finished step
// counts as free: a failing step must not hand out a code that may be in use.
int check_candidate(const std::string& candidate)
{
    const store::Outcome outcome = store::run_statement("SELECT id FROM ticket where code='" +
                                                            store::sql_quote(candidate) + "'",
                                                        [](store::DbStatement*) { return false; });
    if (outcome.rows > 0)
        return code_taken;
    return outcome.ok() ? code_free : code_failed;
}

// Tries count candidates year, day and base + k in base 32; 1 with the free one in *code,
// 0 when all are taken, -1 on a failure.
int try_series(unsigned year, unsigned day, unsigned base, int count, std::string* code)
{
    for (int k = 0; k < count; ++k) {
        const std::string candidate =
            store::sql_format("%s%s%s", to_base32(year).c_str(), to_base32(day).c_str(),
                              to_base32(base + static_cast<unsigned>(k)).c_str());
        const int checked = check_candidate(candidate);
        if (checked == code_free) {
            *code = candidate;
            return 1;
        }
        if (checked == code_failed)
            return -1;
    }
    return 0;
}

// The highest ticket id into *highest; 0, or -1 when it cannot be read.
int highest_ticket_id(int* highest)
{
    const store::Outcome outcome =
        store::run_statement("SELECT max(id) as m FROM ticket", [highest](store::DbStatement* row) {
            *highest = store::column_number(row, "m");
            return false;
        });
    return outcome.rows > 0 ? 0 : -1;
}

} // namespace

std::string to_base32(unsigned value)
{
    static constexpr char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUV";
    std::string text;
    do {
        text.insert(text.begin(), digits[value % 32]);
        value /= 32;
    } while (value != 0);
    return text;
}

int code_random_value(unsigned seed)
{
    // The classic linear congruential generator, arithmetic modulo 2^32.
    const std::uint32_t state = static_cast<std::uint32_t>(seed) * 1103515245u + 12345u;
    return static_cast<int>((state >> 16) & 0x7FFF);
}

int make_ticket_code_at(std::time_t now, std::string* code)
{
    const std::tm local = util::local_time_of(now);
    const unsigned year = static_cast<unsigned>(local.tm_year);
    const unsigned day = static_cast<unsigned>(local.tm_yday);
    const unsigned r = static_cast<unsigned>(code_random_value(static_cast<unsigned>(now)));
    ++code_counter;

    const int first = try_series(year, day + 1, r, first_series, code);
    if (first != 0)
        return first;

    int highest = 0;
    if (highest_ticket_id(&highest) < 0)
        return -1;
    // The fallback day part counts from 0, one below the first series.
    const unsigned base = static_cast<unsigned>(code_counter + fallback_offset + highest);
    return try_series(year, day, base, fallback_series, code) == 1 ? 1 : -1;
}

int make_ticket_code(std::string* code)
{
    return make_ticket_code_at(std::time(nullptr), code);
}

} // namespace tickets
