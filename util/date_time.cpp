// Time stamps and the reader of typed dates. The reader works on a bounded private copy, so a
// text of any length or content is read only up to its 81st character and never written.
#include "util/date_time.h"

#include <cstdio>
#include <cstring>

namespace util {
namespace {

constexpr std::size_t max_typed_length = 80;

bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

bool is_date_separator(char c)
{
    return c == '-' || c == '/';
}

const char* skip_blanks(const char* p)
{
    while (is_blank(*p))
        ++p;
    return p;
}

// A maximal sequence of digits. The value saturates: only the H:M minute may be long, and
// any value that large is refused by validation anyway.
struct Run {
    const char* end;
    int digits;
    int value;
};

Run read_run(const char* p)
{
    Run run{p, 0, 0};
    for (; is_digit(*run.end); ++run.end, ++run.digits)
        if (run.value < 100000)
            run.value = run.value * 10 + (*run.end - '0');
    return run;
}

// What has been read so far. Fields stay -1 while not given.
struct Typed {
    int year = -1, month = -1, day = -1;
    int hour = -1, minute = -1, second = -1;
    bool has_date = false;
    bool has_time = false;
};

// A part either ends the text (done), leaves p on the digit that starts the next part, or
// refuses the text with a negative code.
constexpr int part_done = 0;
constexpr int part_next = 1;

// p is just past the hour run.
int read_time(const Run& hour, const char*& p, Typed& typed)
{
    if (hour.digits > 2)
        return date_hour_digits;
    if (hour.value >= 24)
        return date_hour_range;
    if (!is_digit(p[1]))
        return date_no_minute;
    const Run minute = read_run(p + 1);
    typed.has_time = true;
    typed.hour = hour.value;
    typed.minute = minute.value;
    p = minute.end;

    if (*p != ':') {
        // H:M; a minute such as 005 is allowed and only its value is checked.
        if (*p == '\0')
            return part_done;
        if (!is_blank(*p))
            return date_after_minute;
        p = skip_blanks(p);
        if (*p == '\0')
            return part_done;
        return is_digit(*p) ? part_next : date_after_hm;
    }

    if (minute.digits > 2)
        return date_minute_digits;
    if (!is_digit(p[1]))
        return date_no_second;
    const Run second = read_run(p + 1);
    if (second.digits > 2)
        return date_second_digits;
    typed.second = second.value;
    p = second.end;
    if (*p == '\0')
        return part_done;
    if (!is_blank(*p))
        return date_after_second;
    p = skip_blanks(p);
    if (*p == '\0')
        return part_done;
    return is_digit(*p) ? part_next : date_after_hms;
}

// After a D-M-YYYY date (or a refused date with a four-digit first run as well). A text whose
// first and last runs are both four digits says nothing about which one is the year, so it is
// refused wherever it stops: also with one trailing character or with a time after it.
int after_day_first(bool year_first, const char*& p)
{
    if (*p == '\0')
        return year_first ? date_two_years_end : part_done;
    if (p[1] == '\0') {
        if (year_first)
            return is_blank(*p) ? date_two_years_blank : date_two_years_end;
        return part_done; // one trailing character, such as a full stop, is ignored
    }
    if (!is_blank(*p))
        return date_after_year;
    p = skip_blanks(p);
    if (*p == '\0')
        return year_first ? date_two_years_blank : part_done;
    if (!is_digit(*p))
        return date_after_dmy;
    return year_first ? date_two_years_blank : part_next;
}

// After a YYYY-M-D date. Only a time may follow it, and only when none was given before.
int after_year_first(bool after_time, const char*& p)
{
    if (*p == '\0' || p[1] == '\0')
        return part_done; // one trailing character, such as a full stop, is ignored
    if (!is_blank(*p))
        return date_after_day;
    if (after_time)
        return date_ymd_after_time;
    p = skip_blanks(p);
    return is_digit(*p) ? part_next : date_after_ymd;
}

// p is on the first separator, just past the first run.
int read_date(const Run& first, const char*& p, Typed& typed)
{
    const bool year_first = first.digits == 4;
    if (!year_first && first.digits > 2)
        return date_first_digits;
    if (!is_digit(p[1]))
        return date_no_month;
    const Run month = read_run(p + 1);
    if (month.digits > 2)
        return date_month_digits;
    if (!is_date_separator(*month.end))
        return date_after_month;
    if (!is_digit(month.end[1]))
        return date_no_last;
    const Run last = read_run(month.end + 1);
    p = last.end;
    const bool after_time = typed.has_time;
    typed.has_date = true;
    typed.month = month.value;

    if (last.digits == 4) {
        typed.day = first.value;
        typed.year = last.value;
        return after_day_first(year_first, p);
    }
    if (last.digits > 2)
        return date_last_digits;
    if (!year_first)
        return date_short_year;
    typed.year = first.value;
    typed.day = last.value;
    return after_year_first(after_time, p);
}

// Reads the parts of a text that starts with a digit into typed; 0 when the text was taken
// completely, else a refusal.
int read_parts(const char* p, Typed& typed)
{
    bool time_just_read = false;
    for (;;) {
        const Run run = read_run(p);
        p = run.end;
        int result;
        if (*p == ':' && !time_just_read) {
            if (typed.has_time)
                return date_second_time;
            result = read_time(run, p, typed);
            time_just_read = true;
        } else {
            if (!is_date_separator(*p))
                return date_no_separator;
            if (typed.has_date)
                return date_second_date;
            result = read_date(run, p, typed);
            time_just_read = false;
        }
        if (result != part_next)
            return result;
    }
}

} // namespace

void format_time_stamp(char out[20], const std::tm& t)
{
    // Every field is at least as wide as its place in the stamp, so the first 19 characters
    // of the full rendering are the stamp.
    char full[80];
    std::snprintf(full, sizeof full, "%04lld-%02lld-%02d %02d:%02d:%02d", t.tm_year + 1900LL,
                  t.tm_mon + 1LL, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    std::memcpy(out, full, 19);
    out[19] = '\0';
}

std::tm local_time_of(std::time_t seconds)
{
    std::tm t{};
#ifdef _WIN32
    localtime_s(&t, &seconds);
#else
    localtime_r(&seconds, &t);
#endif
    return t;
}

std::tm local_time_now()
{
    return local_time_of(std::time(nullptr));
}

std::string time_stamp_now()
{
    char stamp[20];
    format_time_stamp(stamp, local_time_now());
    return stamp;
}

int validate_date_time(int year, int month, int day, int hour, int minute, int second)
{
    const bool leap = year % 4 == 0;
    // A day is either not given (-1) or a day of the month; nothing produces other negatives.
    if (day < -1 || day == 0)
        return -1;
    if (month >= 0) {
        static const int length[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        if (month < 1 || month > 12)
            return -1;
        const int days = month == 2 && leap ? 29 : length[month - 1];
        if (day > days)
            return -1;
    } else if (day > 31) {
        return -1;
    }
    if (hour > 23 || minute > 59 || second > 59)
        return -1;
    return 0;
}

int parse_date_time(const char* text, char out[20])
{
    if (text == nullptr)
        text = "";
    // Bounded: a typed text may be far longer than anything worth reading.
    std::size_t length = 0;
    while (length <= max_typed_length && text[length] != '\0')
        ++length;
    if (length > max_typed_length)
        return date_too_long;
    char copy[max_typed_length + 1];
    std::memcpy(copy, text, length);
    copy[length] = '\0';

    const char* p = skip_blanks(copy);
    if (*p == '\0') {
        out[0] = '\0';
        return 0;
    }
    if (!is_digit(*p))
        return date_not_digit;

    Typed typed;
    if (const int refused = read_parts(p, typed); refused != 0)
        return refused;
    if (validate_date_time(typed.year, typed.month, typed.day, typed.hour, typed.minute,
                           typed.second) != 0)
        return date_invalid;

    std::tm t = local_time_now();
    if (typed.has_date) {
        t.tm_year = typed.year - 1900;
        t.tm_mon = typed.month - 1;
        t.tm_mday = typed.day;
        t.tm_hour = t.tm_min = t.tm_sec = 0;
    }
    if (typed.has_time) {
        t.tm_hour = typed.hour;
        t.tm_min = typed.minute;
        t.tm_sec = typed.second < 0 ? 0 : typed.second;
    }
    format_time_stamp(out, t);
    return 1;
}

} // namespace util
