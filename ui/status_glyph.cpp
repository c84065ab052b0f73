// The tray glyph's pixels (see status_glyph.h).
#include "ui/status_glyph.h"

#include <array>
#include <cstddef>

namespace {

// One row per string, top to bottom; '#' marks a filled cell.
constexpr std::array<const char*, 8> kGlyph = {
    "###..###", //
    "#.#..#.#", //
    "###..###", //
    "...##...", //
    "...###..", //
    "###.#...", //
    "#.#...##", //
    "###.....", //
};

constexpr std::uint32_t kOpaque = 0xFF000000u;
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;

std::uint32_t Argb(RgbColour c)
{
    return kOpaque | (std::uint32_t{c.R} << 16) | (std::uint32_t{c.G} << 8) | std::uint32_t{c.B};
}

} // namespace

IconImage CreateStatusIcon(RgbColour colour, int size)
{
    IconImage image;
    if (size <= 0)
        return image;
    image.Size = size;
    const auto edge = static_cast<std::size_t>(size);
    // The mask is all black in the real icon: the white background is opaque too.
    image.Pixels.assign(edge * edge, kWhite);

    const std::uint32_t ink = Argb(colour);
    const std::size_t cell = edge / 8;
    for (std::size_t x = 0; x < 8; ++x)
        for (std::size_t y = 0; y < 8; ++y) {
            if (kGlyph[y][x] != '#')
                continue;
            for (std::size_t py = y * cell; py < (y + 1) * cell; ++py)
                for (std::size_t px = x * cell; px < (x + 1) * cell; ++px)
                    image.Pixels[py * edge + px] = ink;
        }
    return image;
}
