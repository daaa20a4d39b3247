// The particle pass of the frame drawing in vector lanes: the pixels of a block of Lanes::width
// particles at once, then the stores one particle after another, erase, plot and highlight, so
// that a later particle's plot or erase lands on top of an earlier one's exactly as in the plain
// pass. Included inside an anonymous namespace by each frame_drawing_<set>.cpp after its Lanes.
//
// The pixels are those of the plain pass, worked out in single precision:
// - Column. X = sx + centre_x, evaluated in double and rounded to float, is the float sum of sx
//   and centre_x itself whenever centre_x is a float: double carries more than twice float's 24
//   bits (53 >= 2 * 24 + 2), so rounding a sum of two floats first to double, then to float, gives
//   the correctly rounded float sum.
// - Row. Y = (768 - sy) - centre_y in double, rounded to float, is (768 - centre_y) - sy rounded
//   once whenever 768 - sy is exact in double, which it is for every |sy| from 2^-20 to 2^40;
//   that is again the float difference of sy and the float 768 - centre_y. Below 2^-20 both
//   round to within a float spacing of the integer 768 - centre_y, far from the half-integers
//   where the row changes (or far off the window); beyond 2^40 both are far off the window.
// - Rounding. plot_pixel takes the nearest integer, halves away from zero, and keeps 0..limit-1:
//   for a float v that is v > -0.5 and v < limit - 0.5, and then the truncation of v plus one
//   where v's (exact) fraction is a half or more.
// Where centre_x or 768 - centre_y is not a float the frame is drawn plainly.

// The same relaxed single-word store as Surface::store, so a reader never sees half a pixel.
void store_pixel(std::uint32_t* pixel, std::uint32_t colour) {
    __atomic_store_n(pixel, colour, __ATOMIC_RELAXED);
}

// True when x converts to float and back unchanged.
bool is_float(double x) {
    return static_cast<double>(static_cast<float>(x)) == x;
}

template <class L>
void draw_particles_lanes(const DrawKernelArgs& a) {
    using F = typename L::F;
    constexpr int w = L::width;
    const double row_offset = a.flip - a.centre_y;
    const int end = a.count + 1;
    if (!is_float(a.centre_x) || !is_float(row_offset)) {
        draw_particles_plain(a, 1, end);
        return;
    }
    const F centre_x = L::splat_f(static_cast<float>(a.centre_x));
    const F flipped_centre_y = L::splat_f(static_cast<float>(row_offset));
    const F low = L::splat_f(-0.5f);
    const F right = L::splat_f(static_cast<float>(a.width) - 0.5f);
    const F bottom = L::splat_f(static_cast<float>(a.height) - 0.5f);
    const F highlight_radius = L::splat_f(static_cast<float>(a.highlight_radius));
    const auto inside = [&](F v, F limit) { return L::gt_f(v, low) & L::lt_f(v, limit); };
    // Copies, so that the compiler need not reload them after every pixel store.
    std::uint32_t* const pixels = a.pixels;
    const std::uint32_t erase = a.erase_colour;
    const std::uint32_t red = a.particle_colour;
    const std::uint32_t red_to_white = a.particle_colour ^ a.highlight_colour;
    std::int32_t old_index[w];
    std::int32_t new_index[w];
    int k = 1;
    for (; k + w <= end; k += w) {
        const F old_x = L::add_f(L::load_f(a.prev_screen_x + k), centre_x);
        const F old_y = L::sub_f(flipped_centre_y, L::load_f(a.prev_screen_y + k));
        const F new_x = L::add_f(L::load_f(a.screen_x + k), centre_x);
        const F new_y = L::sub_f(flipped_centre_y, L::load_f(a.screen_y + k));
        const unsigned on_window = inside(old_x, right) & inside(old_y, bottom) &
                                   inside(new_x, right) & inside(new_y, bottom);
        if (on_window != L::all) {
            draw_particles_plain(a, k, k + w);
            continue;
        }
        L::pixel_indices(old_index, old_x, old_y, a.width);
        L::pixel_indices(new_index, new_x, new_y, a.width);
        const unsigned lit = L::lt_f(L::load_f(a.source_dist + k), highlight_radius);
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
