// Texts are UTF-8 bytes. What is measured and cut is bytes, as stored; a cut never splits a
// character in two.
#pragma once

#include <string>

namespace util {

// text cut to at most max_bytes bytes, ending before a character that would not fit whole.
std::string cut_utf8(const std::string& text, std::size_t max_bytes);

} // namespace util
