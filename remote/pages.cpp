// The page of rows, the one place that lays it out. A list that cost a request per step and
// per column read costs a request per page; NULL travels apart from every text, so a client
// can tell an empty column from one that holds the text "error".
#include "remote/pages.h"

#include "platform/platform.h"
#include "remote/wire.h"

#include <cstring>

namespace remote {

namespace {

void put16(char* at, int value)
{
    at[0] = static_cast<char>((value >> 8) & 0xFF);
    at[1] = static_cast<char>(value & 0xFF);
}

int get16(const char* at)
{
    return (static_cast<unsigned char>(at[0]) << 8) | static_cast<unsigned char>(at[1]);
}

// The row count field is 16 bits; a page of one-column NULL rows stays well below it.
constexpr int max_page_rows = 0xFFFF;

} // namespace

// The payload of a page, every number 16 bits big-endian:
//
//   0-1   the step result that ended the page: 100 a row follows that is not in this page,
//         101 done, any other number the error of the failed step
//   2-3   C, the number of columns
//   4-5   R, the number of rows in this page
//   then  C names, each its length and its bytes
//   then  R rows of C values, each its length and its bytes; the length 0xFFFF is NULL
//         and has no bytes
//
// Names come with every page, so that each page reads on its own. A page takes as many
// whole rows as fit in one message; a row is never split. A page without rows that ends with
// 100 holds a row too big for any page: the server keeps it as the statement's current row,
// and the client reads it, and the rest of the statement, by step and column reads.
int encode_page(HandleEntry* entry, int bound_ms, std::int64_t fill_until_ms, char* payload)
{
    store::DbStatement* statement = entry->statement;
    if (!statement)
        return encode_empty_page(store::db_misuse, payload);
    const int columns = store::column_count(statement);
    int at = page_header_size;
    for (int column = 0; column < columns; ++column) {
        const char* name = store::column_name(statement, column);
        const int length = name ? static_cast<int>(std::strlen(name)) : 0;
        if (at + 2 + length > max_wire_payload)
            return -1;
        put16(payload + at, length);
        std::memcpy(payload + at + 2, name, static_cast<std::size_t>(length));
        at += 2 + length;
    }

    int rows = 0;
    int result = store::db_row;
    while (rows < max_page_rows) {
        if (!entry->row_pending) {
            if (rows > 0 && platform::monotonic_ms() >= fill_until_ms)
                break;
            result = step_entry(entry, bound_ms);
            if (result != store::db_row)
                break;
        }
        const int row_start = at;
        bool fits = true;
        for (int column = 0; fits && column < columns; ++column) {
            const auto* text = reinterpret_cast<const char*>(store::column_text(statement, column));
            const int length = text ? static_cast<int>(std::strlen(text)) : 0;
            fits = at + 2 + length <= max_wire_payload;
            if (!fits)
                break;
            put16(payload + at, text ? length : page_null_length);
            std::memcpy(payload + at + 2, text, static_cast<std::size_t>(length));
            at += 2 + length;
        }
        // The row waits for the next page as the statement's current row.
        entry->row_pending = !fits;
        if (!fits) {
            at = row_start;
            result = store::db_row;
            break;
        }
        ++rows;
        result = store::db_row;
    }
    put16(payload, result);
    put16(payload + 2, columns);
    put16(payload + 4, rows);
    return at;
}

int encode_empty_page(int result, char* payload)
{
    put16(payload, result);
    put16(payload + 2, 0);
    put16(payload + 4, 0);
    return page_header_size;
}

int decode_page(const char* payload, int size, Page* page)
{
    *page = Page{};
    if (size < page_header_size)
        return -1;
    const int columns = get16(payload + 2);
    const int rows = get16(payload + 4);
    // Every name and every value takes two bytes at least: a page too short for what its
    // counts announce is refused before anything is sized by them.
    const std::int64_t least = page_header_size + 2LL * columns + 2LL * columns * rows;
    if (least > size)
        return -1;
    page->result = get16(payload);
    page->columns = columns;
    page->rows = rows;
    page->names.assign(static_cast<std::size_t>(page->columns), 0);
    page->values.assign(static_cast<std::size_t>(page->columns) * page->rows, -1);
    page->texts.reserve(static_cast<std::size_t>(size) + page->names.size() + page->values.size());

    int at = page_header_size;
    // One field: its offset in texts, -1 for NULL, -2 when the payload ends too soon.
    const auto field = [&](bool null_allowed) {
        if (at + 2 > size)
            return -2;
        const int length = get16(payload + at);
        at += 2;
        if (length == page_null_length)
            return null_allowed ? -1 : -2;
        if (at + length > size)
            return -2;
        const int offset = static_cast<int>(page->texts.size());
        page->texts.insert(page->texts.end(), payload + at, payload + at + length);
        page->texts.push_back('\0');
        at += length;
        return offset;
    };
    bool whole = true;
    for (int& name : page->names)
        whole = whole && (name = field(false)) >= 0;
    for (int& value : page->values)
        whole = whole && (value = field(true)) != -2;
    if (whole && at == size)
        return 0;
    *page = Page{}; // nothing of a page that is not one may be read
    return -1;
}

} // namespace remote
