// Time stamps ("YYYY-MM-DD hh:mm:ss", compared as text by the database), the check of date
// and time fields, and the reading of dates and times typed by users. Callers own every
// output buffer and decide how to report a refusal.
#pragma once

#include <ctime>
#include <string>

namespace util {

// Writes the 19-character time stamp of t (year + 1900, month + 1) and a NUL. Fields are
// printed as they are; a field too wide for the stamp is cut off at 19 characters.
void format_time_stamp(char out[20], const std::tm& t);

// The local broken-down time of a calendar time, and of now.
std::tm local_time_of(std::time_t seconds);
std::tm local_time_now();

// The current local time as a time stamp text.
std::string time_stamp_now();

// 0 when the fields form a valid date and time, -1 otherwise. Month, day, hour, minute and
// second may be -1 for "not given"; the year only decides leap years (every fourth year,
// without the century rule).
int validate_date_time(int year, int month, int day, int hour, int minute, int second);

// Reads a typed date and/or time (see the codes below) into a time stamp text.
//   1  out holds the time stamp; a missing date is today's, a missing time 00:00:00
//   0  the text is empty or blank; out is the empty text
//  <0  the text is refused; out is left exactly as it was
// text must be NUL-terminated; it is never read beyond its NUL or its 81st character.
int parse_date_time(const char* text, char out[20]);

// Refusals of parse_date_time; no other negative values occur.
enum : int {
    date_not_digit = -1,        // first non-blank character is not a digit
    date_hour_digits = -2,      // hour of more than 2 digits
    date_hour_range = -3,       // hour of 24 or more
    date_no_minute = -4,        // no digit after the first ':'
    date_minute_digits = -5,    // H:M:S with a minute of more than 2 digits
    date_no_second = -6,        // no digit after the second ':'
    date_second_digits = -7,    // second of more than 2 digits
    date_after_second = -8,     // second followed by neither end nor white space
    date_after_hms = -9,        // H:M:S, white space, then not a digit
    date_after_minute = -10,    // H:M minute followed by neither end nor white space
    date_after_hm = -11,        // H:M, white space, then not a digit
    date_no_separator = -20,    // run that starts no part: not followed by '-' or '/'
    date_first_digits = -22,    // first run of a date of 3 or more than 4 digits
    date_no_month = -23,        // no digit after the first date separator
    date_month_digits = -24,    // month of more than 2 digits
    date_after_month = -25,     // month followed by neither '-' nor '/'
    date_no_last = -26,         // no digit after the second date separator
    date_two_years_end = -27,   // four-digit first and last run, nothing or one character after
    date_after_year = -29,      // D-M-YYYY followed by 2+ characters, first not blank
    date_two_years_blank = -30, // four-digit first and last run, then white space
    date_after_dmy = -32,       // D-M-YYYY, white space, then neither end nor digit
    date_last_digits = -33,     // last run of a date of 3 or more than 4 digits
    date_short_year = -34,      // two-digit year (last run 1-2 digits, first not 4)
    date_after_day = -36,       // YYYY-M-D followed by 2+ characters, first not blank
    date_after_ymd = -37,       // YYYY-M-D, white space, then not a digit (or the end)
    date_ymd_after_time = -38,  // time, YYYY-M-D, then white space and more
    date_second_date = -40,     // a second date part
    date_second_time = -100,    // a second time part
    date_too_long = -200,       // more than 80 characters
    date_invalid = -400,        // fields refused by validate_date_time
};

} // namespace util
