// Codes of new tickets: date and a pseudo-random number in base 32, checked against every
// row of table ticket before use.
#pragma once

#include <ctime>
#include <string>

namespace tickets {

// Generations so far; only the fallback series reads it.
extern int code_counter;

// value written in base 32 (digits 0-9 and A-V), without leading zeros.
std::string to_base32(unsigned value);

// The value in 0..32767 that a generation seeded with seed draws first.
int code_random_value(unsigned seed);

// A code no ticket row carries yet into *code; 1, or -1 when none could be found.
int make_ticket_code(std::string* code);

// make_ticket_code for the moment now (seconds of calendar time); make_ticket_code passes
// the clock.
int make_ticket_code_at(std::time_t now, std::string* code);

} // namespace tickets
