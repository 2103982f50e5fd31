// Build tool: writes the program icon of resources/icon.cpp for the Linux desktop's icon theme,
// as a PNG of a given size or as an SVG that stays crisp at every size. The pixels come from
// resources::icon_pixel, as for the Windows .ico; the file formats are all this file owns.
//   icon_export png SIZE FILE
//   icon_export svg FILE
#include "resources/ids.h"
#include "resources/templates.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void put32(Bytes& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<unsigned char>(value >> shift));
}

std::uint32_t crc32(const unsigned char* data, std::size_t size)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put_chunk(Bytes& out, const char* type, const Bytes& data)
{
    put32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(out, crc32(out.data() + start, out.size() - start));
}

// A zlib stream of stored (uncompressed) blocks: the icons are small, and the package that
// carries them is compressed as a whole.
Bytes zlib_stored(const Bytes& raw)
{
    Bytes out{0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t size = std::min<std::size_t>(raw.size() - at, 65535);
        out.push_back(at + size == raw.size() ? 1 : 0); // last block
        out.push_back(static_cast<unsigned char>(size));
        out.push_back(static_cast<unsigned char>(size >> 8));
        out.push_back(static_cast<unsigned char>(~size));
        out.push_back(static_cast<unsigned char>(~size >> 8));
        out.insert(out.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                   raw.begin() + static_cast<std::ptrdiff_t>(at + size));
        at += size;
    } while (at < raw.size());
    std::uint32_t a = 1, b = 0;
    for (unsigned char byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    put32(out, (b << 16) | a);
    return out;
}

// 8-bit RGBA, every row without a filter.
Bytes png(const resources::IconImage& image, int size)
{
    Bytes raw;
    for (int y = 0; y < size; ++y) {
        raw.push_back(0);
        for (int x = 0; x < size; ++x) {
            const std::uint32_t argb = resources::icon_pixel(image, size, x, y);
            for (int shift : {16, 8, 0, 24})
                raw.push_back(static_cast<unsigned char>(argb >> shift));
        }
    }
    Bytes header;
    put32(header, static_cast<std::uint32_t>(size));
    put32(header, static_cast<std::uint32_t>(size));
    header.insert(header.end(), {8, 6, 0, 0, 0}); // depth, RGBA, deflate, no filter, no interlace

    Bytes out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    put_chunk(out, "IHDR", header);
    put_chunk(out, "IDAT", zlib_stored(raw));
    put_chunk(out, "IEND", Bytes{});
    return out;
}

// One square per pixel of the art, a run of equal pixels in a row as one rectangle.
Bytes svg(const resources::IconImage& image)
{
    const int size = image.size;
    std::string text = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(size) +
                       "\" height=\"" + std::to_string(size) + "\" viewBox=\"0 0 " +
                       std::to_string(size) + " " + std::to_string(size) +
                       "\" shape-rendering=\"crispEdges\">\n";
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size;) {
            const std::uint32_t colour = resources::icon_pixel(image, size, x, y);
            int end = x + 1;
            while (end < size && resources::icon_pixel(image, size, end, y) == colour)
                ++end;
            if (colour != 0) {
                char rect[120];
                std::snprintf(
                    rect, sizeof rect,
                    "<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"1\" fill=\"#%06X\"/>\n", x, y,
                    end - x, static_cast<unsigned>(colour & 0xFFFFFFu));
                text += rect;
            }
            x = end;
        }
    }
    text += "</svg>\n";
    return Bytes(text.begin(), text.end());
}

} // namespace

int main(int argc, char** argv)
{
    const resources::IconImage* image = resources::find_icon(ids::program_icon);
    Bytes file;
    const char* name = nullptr;
    if (image && argc == 4 && std::strcmp(argv[1], "png") == 0 && std::atoi(argv[2]) > 0) {
        file = png(*image, std::atoi(argv[2]));
        name = argv[3];
    } else if (image && argc == 3 && std::strcmp(argv[1], "svg") == 0) {
        file = svg(*image);
        name = argv[2];
    } else {
        std::fprintf(stderr, "usage: icon_export png SIZE FILE | icon_export svg FILE\n");
        return 2;
    }
    std::FILE* out = std::fopen(name, "wb");
    if (!out || std::fwrite(file.data(), 1, file.size(), out) != file.size()) {
        std::fprintf(stderr, "icon_export: cannot write %s\n", name);
        if (out)
            std::fclose(out);
        return 1;
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
