#include "headless/exports.h"

#include <png.h>

#include <csetjmp>
#include <vector>

namespace discsim {

bool write_state_csv(std::FILE* out, const ParticleSet& p) {
    std::fputs(
        "index,radius,phase,angular_speed,sin_incl,cos_incl,sin_node,cos_node,screen_x,screen_y,"
        "source_dist\n",
        out);
    for (int k = 1; k <= p.count; ++k) {
        std::fprintf(out, "%d,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g\n", k,
                     static_cast<double>(p.radius[k]), static_cast<double>(p.phase[k]),
                     static_cast<double>(p.angular_speed[k]), static_cast<double>(p.sin_incl[k]),
                     static_cast<double>(p.cos_incl[k]), static_cast<double>(p.sin_node[k]),
                     static_cast<double>(p.cos_node[k]), static_cast<double>(p.screen_x[k]),
                     static_cast<double>(p.screen_y[k]), static_cast<double>(p.source_dist[k]));
    }
    return std::ferror(out) == 0;
}

bool write_frame_png(std::FILE* out, const Surface& surface) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<png_byte> row(static_cast<std::size_t>(surface_width) * 3);
    std::vector<std::uint32_t> words(surface_width);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, out);
    png_set_IHDR(png, info, surface_width, surface_height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < surface_height; ++y) {
        surface.copy_row(y, words.data());
        for (int x = 0; x < surface_width; ++x) {
            const std::uint32_t w = words[static_cast<std::size_t>(x)];
            row[3 * static_cast<std::size_t>(x) + 0] = static_cast<png_byte>((w >> 16) & 0xFFu);
            row[3 * static_cast<std::size_t>(x) + 1] = static_cast<png_byte>((w >> 8) & 0xFFu);
            row[3 * static_cast<std::size_t>(x) + 2] = static_cast<png_byte>(w & 0xFFu);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::ferror(out) == 0;
}

}  // namespace discsim
