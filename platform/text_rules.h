// Rules that every dialog backend must apply alike: the order of sorted lists, the prefix
// match of the list and combo searches, and where the keys that move through a list go.
// Backends include this; nothing else needs to.
#pragma once

#include "platform/platform.h"

#include <algorithm>
#include <cstddef>
#include <string>

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
