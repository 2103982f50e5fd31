// The program icon: a ticket whose blue stub is marked off by a perforation, with a green
// check mark across it. Drawn as 32 by 32 pixels; how it reaches the screen (scaling,
// conversion to the toolkit's image type) is left to the platform backends.
#include "resources/templates.h"

#include "resources/ids.h"

#include <cstring>
#include <iterator>

namespace resources {
namespace {

// Palette keys, in the order of program_icon_palette below:
//   o outline    b stub          B stub highlight   d stub shadow     p perforation
//   y ticket     h ticket light  s ticket shadow    g check           G check outline
//   l check light
constexpr char program_icon_keys[] = "obBdpyhsgGl";
constexpr unsigned program_icon_palette[] = {
    0x263247, 0x4A7FD4, 0x86AEEC, 0x30589E, 0x8A5A16, 0xF4B63F,
    0xFCDB82, 0xD18A1C, 0x34A853, 0x1C5E2E, 0x8EE0A0,
};
static_assert(std::size(program_icon_palette) == std::size(program_icon_keys) - 1,
              "one colour per palette key");

// clang-format off
constexpr const char* program_icon_rows[] = {
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "..........................GGGG..",
    ".........................GlllG..",
    "..ooooooooooooooooooooooGlgggG..",
    ".oBBBBBBBBphhhhhhhhhhhhGlggggGo.",
    ".obbbbbbbbbyyyyyyyyyyyGlggggGyo.",
    ".obbbbbbbbpyyyyyyyyyyGlggggGyyo.",
    ".obbbbbbbbbyyyyyyyyyGlggggGyyyo.",
    ".obbbbbbbbpyGGGyyyyGlggggGyyyyo.",
    ".oobbbbbbbbGgglGyyGlggggGyyyyoo.",
    "...obbbbbbpGggglGGlggggGyyyyo...",
    "....obbbbbbGggggllggggGyyyyo....",
    "....obbbbbpyGggggggggGyyyyyo....",
    "...obbbbbbbyyGggggggGyyyyyyyo...",
    ".oobbbbbbbpyyyGggggGyyyyyyyyyoo.",
    ".obbbbbbbbbyyyyGGGGyyyyyyyyyyyo.",
    ".obbbbbbbbpyyyyyyyyyyyyyyyyyyyo.",
    ".obbbbbbbbbyyyyyyyyyyyyyyyyyyyo.",
    ".obbbbbbbbpyyyyyyyyyyyyyyyyyyyo.",
    ".odddddddddssssssssssssssssssso.",
    "..oooooooooooooooooooooooooooo..",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
};
// clang-format on
static_assert(std::size(program_icon_rows) == 32, "the icon is square");

constexpr IconImage program_icon = {
    32,
    program_icon_rows,
    program_icon_keys,
    program_icon_palette,
};

} // namespace

const IconImage* find_icon(int id)
{
    return id == ids::program_icon ? &program_icon : nullptr;
}

unsigned icon_pixel(const IconImage& image, int size, int x, int y)
{
    const char key = image.rows[y * image.size / size][x * image.size / size];
    const char* found = key == '.' ? nullptr : std::strchr(image.palette_keys, key);
    return found ? 0xFF000000u | image.palette[found - image.palette_keys] : 0;
}

} // namespace resources
