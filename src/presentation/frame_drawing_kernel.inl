// The particle pass of the frame drawing in vector lanes: the window coordinates and pixel indices
// of a block of Lanes::width particles at once, then the stores one particle after another, erase,
// plot and highlight, so that a later particle's plot or erase lands on top of an earlier one's
// exactly as in the plain pass. Included inside an anonymous namespace by each
// frame_drawing_<set>.cpp after its Lanes.
//
// Pixel rounding: plot_pixel takes the nearest integer, halves away from zero, and keeps indices
// 0..limit-1. For a float v that is the same as: v + 0.5 (exact in double wherever it matters)
// lies strictly between 0 and limit, and the index is its truncation.

// The same relaxed single-word store as Surface::store, so a reader never sees half a pixel.
void store_pixel(std::uint32_t* pixel, std::uint32_t colour) {
    __atomic_store_n(pixel, colour, __ATOMIC_RELAXED);
}

template <class L>
void draw_particles_lanes(const DrawKernelArgs& a) {
    using D = typename L::D;
    constexpr int w = L::width;
    const D centre_x = L::splat(a.centre_x);
    const D centre_y = L::splat(a.centre_y);
    const D flip = L::splat(a.flip);
    const D half = L::splat(0.5);
    const D zero = L::splat(0.0);
    const D width = L::splat(a.width);
    const D height = L::splat(a.height);
    const D highlight_radius = L::splat(a.highlight_radius);
    // X = sx + centre_x and Y = 768 - sy - centre_y, each rounded once to float, plus the half.
    const auto column = [&](const float* sx) {
        return L::add(L::widen(L::narrow(L::add(L::load(sx), centre_x))), half);
    };
    const auto row = [&](const float* sy) {
        return L::add(L::widen(L::narrow(L::sub(L::sub(flip, L::load(sy)), centre_y))), half);
    };
    const auto inside = [&](D v, D limit) { return L::gt(v, zero) & L::lt(v, limit); };
    // Copies, so that the compiler need not reload them after every pixel store.
    std::uint32_t* const pixels = a.pixels;
    const std::uint32_t erase = a.erase_colour;
    const std::uint32_t red = a.particle_colour;
    const std::uint32_t red_to_white = a.particle_colour ^ a.highlight_colour;
    std::int32_t old_index[w];
    std::int32_t new_index[w];
    const int end = a.count + 1;
    int k = 1;
    for (; k + w <= end; k += w) {
        const D old_x = column(a.prev_screen_x + k);
        const D old_y = row(a.prev_screen_y + k);
        const D new_x = column(a.screen_x + k);
        const D new_y = row(a.screen_y + k);
        const unsigned on_window = inside(old_x, width) & inside(old_y, height) &
                                   inside(new_x, width) & inside(new_y, height);
        if (on_window != L::all) {
            draw_particles_plain(a, k, k + w);
            continue;
        }
        L::pixel_indices(old_index, old_x, old_y, a.width);
        L::pixel_indices(new_index, new_x, new_y, a.width);
        const unsigned lit = L::lt(L::load(a.source_dist + k), highlight_radius);
        // Most blocks have no particle near the source: erase and plot only. Elsewhere each
        // particle's third store is white when lit, else red once more, which leaves the pixel
        // as it is: the same stores either way, and no branch per particle to mispredict.
        if (lit == 0) {
            for (int j = 0; j < w; ++j) {
                store_pixel(pixels + old_index[j], erase);
                store_pixel(pixels + new_index[j], red);
            }
        } else {
            for (int j = 0; j < w; ++j) {
                store_pixel(pixels + old_index[j], erase);
                std::uint32_t* pixel = pixels + new_index[j];
                store_pixel(pixel, red);
                const std::uint32_t lit_mask = 0u - ((lit >> j) & 1u);
                store_pixel(pixel, red ^ (red_to_white & lit_mask));
            }
        }
        L::store_f(a.prev_screen_x + k, L::load_f(a.screen_x + k));
        L::store_f(a.prev_screen_y + k, L::load_f(a.screen_y + k));
    }
    if (k < end) draw_particles_plain(a, k, end);
}
