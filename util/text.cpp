// Cutting UTF-8 texts at character boundaries.
#include "util/text.h"

namespace util {

std::string cut_utf8(const std::string& text, std::size_t max_bytes)
{
    if (text.size() <= max_bytes)
        return text;
    std::size_t cut = max_bytes;
    // Back over the continuation bytes (10xxxxxx) of the character the cut falls into; a
    // character has at most three of them.
    for (int back = 0;
         back < 3 && cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80; ++back)
        --cut;
    return text.substr(0, cut);
}

} // namespace util
