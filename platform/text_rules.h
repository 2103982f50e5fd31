// Text rules that every dialog backend must apply alike: the order of sorted lists and the
// prefix match of the list and combo searches. Backends include this; nothing else needs to.
#pragma once

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

} // namespace platform
