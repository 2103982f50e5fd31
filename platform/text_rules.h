// Rules that every dialog backend must apply alike: the order of sorted lists, the prefix
// match of the list and combo searches, and where the keys that move through a list go.
// Backends include this; nothing else needs to.
#pragma once

#include "platform/platform.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace platform {

inline int fold_ascii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
}

// Case-insensitive (ASCII) comparison used to keep sorted lists in order.
inline int compare_folded(const std::string& a, const std::string& b)
{
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const int d = fold_ascii(static_cast<unsigned char>(a[i])) -
                      fold_ascii(static_cast<unsigned char>(b[i]));
        if (d != 0)
            return d;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// The order of a sorted list that held existing (in order) once added has been put in, line by
// line, each after every line that does not sort after it: for each line of the result, its
// index in existing followed by added. One stable sort, so a long fill is not quadratic.
inline std::vector<int> sorted_order(const std::vector<std::string>& existing,
                                     const std::vector<std::string>& added)
{
    const auto text = [&](int i) -> const std::string& {
        return i < static_cast<int>(existing.size()) ? existing[i] : added[i - existing.size()];
    };
    std::vector<int> order(existing.size() + added.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return compare_folded(text(a), text(b)) < 0; });
    return order;
}

// Whether text begins with prefix, letter case ignored.
inline bool starts_with_folded(const std::string& text, const std::string& prefix)
{
    if (prefix.size() > text.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (fold_ascii(static_cast<unsigned char>(text[i])) !=
            fold_ascii(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// The order in which a prefix search visits the lines of a list of count lines: from the
// line after start, wrapping round; start -1 means from the first line.
inline int search_line(int start, int count, int step)
{
    return (start < 0 ? step : start + 1 + step) % count;
}

// Texts are UTF-8 on the program's side. A file written by other tools may hold texts in an
// 8-bit code page; such bytes are shown as Windows-1252, never as "?" or dropped. The result
// is valid UTF-8: each valid sequence as it is, each byte of an invalid one as the character
// Windows-1252 gives it.
inline std::string shown_as_utf8(const std::string& bytes)
{
    // U+0080..U+009F as Windows-1252 has them; the five unassigned bytes keep their value.
    static constexpr char16_t high_half[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    const auto byte = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    // The length of the valid sequence at i, or 0.
    const auto sequence = [&](std::size_t i) -> std::size_t {
        const unsigned char lead = byte(i);
        std::size_t length = 0;
        unsigned long least = 0;
        if (lead < 0x80)
            return 1;
        if (lead >= 0xC2 && lead <= 0xDF)
            length = 2, least = 0x80;
        else if (lead >= 0xE0 && lead <= 0xEF)
            length = 3, least = 0x800;
        else if (lead >= 0xF0 && lead <= 0xF4)
            length = 4, least = 0x10000;
        else
            return 0;
        if (i + length > bytes.size())
            return 0;
        unsigned long code = lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            if ((byte(i + k) & 0xC0) != 0x80)
                return 0;
            code = (code << 6) | (byte(i + k) & 0x3F);
        }
        const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
        return code < least || code > 0x10FFFF || surrogate ? 0 : length;
    };
    std::string shown;
    shown.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        if (const std::size_t length = sequence(i)) {
            shown.append(bytes, i, length);
            i += length;
            continue;
        }
        const unsigned code = byte(i) < 0xA0 ? high_half[byte(i) - 0x80] : byte(i);
        if (code < 0x800) {
            shown += static_cast<char>(0xC0 | (code >> 6));
        } else {
            shown += static_cast<char>(0xE0 | (code >> 12));
            shown += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        }
        shown += static_cast<char>(0x80 | (code & 0x3F));
        ++i;
    }
    return shown;
}

// Whether key is one of the keys that move through a list (the arrows, Home, End, Page).
inline bool is_list_key(unsigned key)
{
    return key == key_up || key == key_down || key == key_home || key == key_end ||
           key == key_page_up || key == key_page_down;
}

// The line a list of count lines moves to, by itself, for key, from the focus line (-1 when
// no line has the focus); page is the number of lines it shows. As with the dialog
// manager's list box the move always selects: the first key into a list without a
// selection selects a line, and Home on the line with the focus selects that line.
inline int list_key_line(unsigned key, int focus, int count, int page)
{
    if (count <= 0)
        return -1;
    const int step = std::max(page - 1, 1);
    int line = focus;
    if (key == key_home || (focus < 0 && key != key_end))
        line = 0;
    else if (key == key_end)
        line = count - 1;
    else if (key == key_up)
        line = focus - 1;
    else if (key == key_down)
        line = focus + 1;
    else if (key == key_page_up)
        line = focus - step;
    else if (key == key_page_down)
        line = focus + step;
    return std::clamp(line, 0, count - 1);
}

} // namespace platform
