// Build tool, run on the build machine: writes the program icon of resources/icon.cpp as a
// Windows .ico file (16, 24, 32, 48 and 64 pixels, 32-bit colour with alpha), for vendrel.rc.
// The pixel art is enlarged without smoothing, as the other backends draw it.
#include "resources/ids.h"
#include "resources/templates.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void put16(Bytes& out, unsigned value)
{
    out.push_back(value & 0xFF);
    out.push_back((value >> 8) & 0xFF);
}

void put32(Bytes& out, std::uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// One image of the file: a bitmap header of twice the height (colour plus mask), the
// colour rows bottom up, and the transparency mask (alpha carries it; the mask says the same).
Bytes image_bits(const resources::IconImage& image, int size)
{
    Bytes out;
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(size));
    put32(out, static_cast<std::uint32_t>(size * 2));
    put16(out, 1);
    put16(out, 32);
    for (int i = 0; i < 6; ++i)
        put32(out, 0);
    for (int y = size - 1; y >= 0; --y)
        for (int x = 0; x < size; ++x)
            put32(out, resources::icon_pixel(image, size, x, y));
    const int mask_row = ((size + 31) / 32) * 4;
    for (int y = size - 1; y >= 0; --y) {
        Bytes row(static_cast<std::size_t>(mask_row), 0);
        for (int x = 0; x < size; ++x)
            if ((resources::icon_pixel(image, size, x, y) >> 24) == 0)
                row[static_cast<std::size_t>(x / 8)] |= static_cast<unsigned char>(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    const resources::IconImage* image = resources::find_icon(ids::program_icon);
    if (argc != 2 || !image) {
        std::fprintf(stderr, "usage: icon_file OUTPUT.ico\n");
        return 2;
    }
    const int sizes[] = {16, 24, 32, 48, 64};
    const int count = static_cast<int>(sizeof sizes / sizeof sizes[0]);
    std::vector<Bytes> images;
    for (int size : sizes)
        images.push_back(image_bits(*image, size));

    Bytes file;
    put16(file, 0);
    put16(file, 1); // an icon
    put16(file, static_cast<unsigned>(count));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(count);
    for (int i = 0; i < count; ++i) {
        file.push_back(static_cast<unsigned char>(sizes[i]));
        file.push_back(static_cast<unsigned char>(sizes[i]));
        file.push_back(0); // no palette
        file.push_back(0);
        put16(file, 1);
        put16(file, 32);
        put32(file, static_cast<std::uint32_t>(images[i].size()));
        put32(file, offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const Bytes& bits : images)
        file.insert(file.end(), bits.begin(), bits.end());

    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out || std::fwrite(file.data(), 1, file.size(), out) != file.size()) {
        std::fprintf(stderr, "icon_file: cannot write %s\n", argv[1]);
        return 1;
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
