// The particle pass of the frame drawing in vector lanes: the window coordinates and pixel indices
// of a block of Lanes::width particles at once, then the stores one particle after another, erase,
// plot and highlight, so that a later particle's plot or erase lands on top of an earlier one's
// exactly as in the plain pass. Included inside an anonymous namespace by each
// frame_drawing_<set>.cpp after its Lanes.
//
// Pixel rounding: plot_pixel takes the nearest integer, halves away from zero, and keeps indices
// 0..limit-1. For a float v that is the same as: v + 0.5 (exact in double wherever it matters)
// lies strictly between 0 and limit, and the index is its truncation.
//
// The indices of a block are worked out a few blocks ahead of its stores, and its pixels
// prefetched for writing then: the 20,000 pixels a frame touches are scattered over a 3.75 MiB
// surface, and a store that waits for its cache line holds up every store behind it.

// The same relaxed single-word store as Surface::store, so a reader never sees half a pixel.
void store_pixel(std::uint32_t* pixel, std::uint32_t colour) {
    __atomic_store_n(pixel, colour, __ATOMIC_RELAXED);
}

template <class L>
struct DrawBlocks {
    using D = typename L::D;
    static constexpr int w = L::width;
    static constexpr int ahead = 32 / w;  // blocks between a block's indices and its stores
    static constexpr int ring = ahead + 1;

    explicit DrawBlocks(const DrawKernelArgs& args)
        : a(args),
          centre_x(L::splat(a.centre_x)),
          centre_y(L::splat(a.centre_y)),
          flip(L::splat(a.flip)),
          half(L::splat(0.5)),
          zero(L::splat(0.0)),
          width(L::splat(a.width)),
          height(L::splat(a.height)),
          highlight_radius(L::splat(a.highlight_radius)) {}

    // X = sx + centre_x and Y = 768 - sy - centre_y, each rounded once to float, plus the half.
    D column(const float* sx) const {
        return L::add(L::widen(L::narrow(L::add(L::load(sx), centre_x))), half);
    }
    D row(const float* sy) const {
        return L::add(L::widen(L::narrow(L::sub(L::sub(flip, L::load(sy)), centre_y))), half);
    }
    unsigned inside(D v, D limit) const { return L::gt(v, zero) & L::lt(v, limit); }

    struct Planned {
        std::int32_t old_index[w];
        std::int32_t new_index[w];
        unsigned lit;
        bool on_window;
    };

    // Works out the pixels of particles k..k+w-1 and starts fetching their cache lines.
    void plan(int k, Planned& p) const {
        const D old_x = column(a.prev_screen_x + k);
        const D old_y = row(a.prev_screen_y + k);
        const D new_x = column(a.screen_x + k);
        const D new_y = row(a.screen_y + k);
        p.on_window = (inside(old_x, width) & inside(old_y, height) & inside(new_x, width) &
                       inside(new_y, height)) == L::all;
        if (!p.on_window) return;
        L::pixel_indices(p.old_index, old_x, old_y, a.width);
        L::pixel_indices(p.new_index, new_x, new_y, a.width);
        p.lit = L::lt(L::load(a.source_dist + k), highlight_radius);
        for (int j = 0; j < w; ++j) {
            __builtin_prefetch(a.pixels + p.old_index[j], 1, 3);
            __builtin_prefetch(a.pixels + p.new_index[j], 1, 3);
        }
    }

    // Erases, plots and highlights particles k..k+w-1 in order and remembers their positions.
    void draw(int k, const Planned& p) const {
        if (!p.on_window) {
            draw_particles_plain(a, k, k + w);
            return;
        }
        // Copies, so that the compiler need not reload them after every pixel store.
        std::uint32_t* const pixels = a.pixels;
        const std::uint32_t erase = a.erase_colour;
        const std::uint32_t red = a.particle_colour;
        const std::uint32_t red_to_white = a.particle_colour ^ a.highlight_colour;
        for (int j = 0; j < w; ++j) {
            store_pixel(pixels + p.old_index[j], erase);
            std::uint32_t* pixel = pixels + p.new_index[j];
            store_pixel(pixel, red);
            // White when lit, else red once more, which leaves the pixel as it is: the same
            // store either way, and no branch to mispredict.
            const std::uint32_t lit_mask = 0u - ((p.lit >> j) & 1u);
            store_pixel(pixel, red ^ (red_to_white & lit_mask));
        }
        L::store_f(a.prev_screen_x + k, L::load_f(a.screen_x + k));
        L::store_f(a.prev_screen_y + k, L::load_f(a.screen_y + k));
    }

    const DrawKernelArgs& a;
    const D centre_x, centre_y, flip, half, zero, width, height, highlight_radius;
};

template <class L>
void draw_particles_lanes(const DrawKernelArgs& a) {
    using Blocks = DrawBlocks<L>;
    constexpr int w = Blocks::w;
    const Blocks blocks(a);
    typename Blocks::Planned planned[Blocks::ring];
    const int block_count = a.count / w;
    // Block b covers particles 1 + b * w .. b * w + w; it is planned `ahead` blocks before it
    // is drawn. Planning reads prev_screen of its own block only, which drawing it alone changes.
    for (int b = 0; b < block_count + Blocks::ahead; ++b) {
        if (b < block_count) blocks.plan(1 + b * w, planned[b % Blocks::ring]);
        const int due = b - Blocks::ahead;
        if (due >= 0) blocks.draw(1 + due * w, planned[due % Blocks::ring]);
    }
    if (block_count * w < a.count) draw_particles_plain(a, 1 + block_count * w, a.count + 1);
}
