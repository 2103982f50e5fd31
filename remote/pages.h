// Pages of rows: the payload of the page operation, written by the server from a client's
// statement and read back by the client driver into the rows it answers steps and column
// reads from. Which requests carry them is the wire's business.
#pragma once

#include "remote/handles.h"

#include <cstdint>
#include <vector>

namespace remote {

constexpr int page_header_size = 6;
constexpr int page_null_length = 0xFFFF; // the length that marks a NULL value

// Server side: writes into payload (room for max_wire_payload bytes) the next rows of
// entry's statement, stepping each with bound_ms, and stops taking rows once fill_until_ms
// has passed (a slow statement then sends what it has). Returns the payload size, or -1
// when the column names alone do not fit a message (the request is then answered as an
// unknown one, and the client reads the statement by step and column reads).
int encode_page(HandleEntry* entry, int bound_ms, std::int64_t fill_until_ms, char* payload);

// A page without columns or rows that ends with result (a statement the connection does not
// have ends with the misuse code). Returns the payload size.
int encode_empty_page(int result, char* payload);

// Client side: a page read back. Names and values are NUL-terminated in texts.
struct Page {
    int result = 0; // the step result that ended the page
    int columns = 0;
    int rows = 0;
    std::vector<char> texts;
    std::vector<int> names;  // offset in texts of each column's name
    std::vector<int> values; // offset of row r's column c at r * columns + c; -1 for NULL
};

// Reads size bytes of payload into page. 0, or -1 when they are not a page; page is then
// empty. Nothing is sized by the page's counts before the payload is known to hold them.
int decode_page(const char* payload, int size, Page* page);

} // namespace remote
