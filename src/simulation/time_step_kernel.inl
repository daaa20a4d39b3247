// The step in vector lanes, block by block of Lanes::width particles, bit-identical to the plain
// advance_particles. Included inside an anonymous namespace by each step_kernels_<set>.cpp after
// its Lanes. Every formula is the plain one, in the same order, on the same stored floats: the
// lane arithmetic (add, subtract, multiply, divide, square root, conversions) is IEEE-exact like
// the scalar one, and contraction into multiply-adds is off for these files as for every other.
// What is not exact alike, the sine and cosine, is guarded (float_rounding_guard.h); a block that
// the guard rejects is redone by the plain formulas.
//
// Within one particle the orbit part (phase to drift) takes no deviate and the radius part
// (threshold to angular speed) takes them in particle order, so running the orbit parts of a few
// blocks before their radius parts changes nothing.

template <class L>
struct StepBlock {
    using D = typename L::D;
    using F = typename L::F;

    // The arrays are copied out of the arguments so that the compiler can keep them in
    // registers: the lane stores may alias anything, the arguments included.
    explicit StepBlock(const StepKernelArgs& args)
        : radius(args.radius),
          phase(args.phase),
          angular_speed(args.angular_speed),
          sin_incl(args.sin_incl),
          cos_incl(args.cos_incl),
          sin_node(args.sin_node),
          cos_node(args.cos_node),
          orbit_x(args.orbit_x),
          orbit_y(args.orbit_y),
          height(args.height),
          sky_x(args.sky_x),
          sky_y(args.sky_y),
          screen_x(args.screen_x),
          screen_y(args.screen_y),
          source_dist(args.source_dist),
          words(args.words),
          next_word(args.next_word),
          stream(args.stream),
          cos_view(L::splat(args.cos_view)),
          sin_view(L::splat(args.sin_view)),
          source_x(L::splat(args.source_x)),
          source_y(L::splat(args.source_y)),
          source_height(L::splat(args.source_height)),
          softening_sq(L::splat(args.softening_sq)),
          r_min(L::splat(args.r_min)),
          drift_rate(L::splat(args.drift_rate)),
          respawn_spread(L::splat(args.respawn_spread)),
          expansion_rate(L::splat(args.expansion_rate)),
          kepler_k(L::splat(args.kepler_k)),
          full_turn(L::splat(args.full_turn)),
          min_phase(L::splat(-max_lane_phase)),
          // With no spread, (u - 0.5) * r_min * 0 + r_min compares like r_min itself for every
          // deviate (the product is a signed zero while r_min is finite): the deviates are still
          // taken, but need not be read.
          fixed_threshold(args.respawn_spread == 0.0 && args.r_min - args.r_min == 0.0),
          expands(args.expansion_rate > 0.0) {}

    // The first part of the orbit step for particles k..k+width-1, kept aside until the rest:
    // phase advance with its wrap, sine and cosine. It stores nothing, so that a block the rest
    // rejects can still be redone by the plain formulas from the arrays as they were.
    struct Turned {
        F phase_f;
        D s, c;
        bool in_lanes;  // false: the phase needs a wrap the lanes cannot do, or lies out of range
    };
    void turn(int k, Turned& t) const {
        // phase + speed in double, rounded to float, is the float sum itself: double carries more
        // than twice float's precision (53 >= 2 * 24 + 2), so the double rounding changes nothing.
        F phase_f = L::add_f(L::load_f(phase + k), L::load_f(angular_speed + k));
        D p = L::widen(phase_f);
        t.in_lanes = true;
        // About one block in fifty has a particle completing a turn.
        if (L::ge(p, full_turn) != 0) {
            if (!L::wraps_in_lanes) {
                t.in_lanes = false;
                return;
            }
            p = L::wrap(p, full_turn);
            phase_f = L::narrow(p);
        }
        // Below a full turn now. A NaN, or a phase below -2^40 (which only a negative speed can
        // reach), goes to the plain formulas: SLEEF's accuracy is stated up to 1e14.
        t.in_lanes = L::gt(p, min_phase) == L::all;
        t.phase_f = phase_f;
        L::sincos(p, t.s, t.c);
    }

    // The rest of the orbit step, position to inward drift; false (and nothing stored) when a
    // rounding is not provably the plain one.
    bool place(int k, F radius_before, const Turned& t, F& radius_after) const {
        if (!t.in_lanes) return false;
        const D r = L::widen(radius_before);
        const D sr = L::mul(t.s, r);
        const D h = L::mul(sr, L::load(sin_incl + k));
        const D ox = L::mul(t.c, r);
        const D oy = L::mul(sr, L::load(cos_incl + k));
        if ((L::rounds_alike(h) & L::rounds_alike(ox) & L::rounds_alike(oy)) != L::all)
            return false;

        L::store_f(phase + k, t.phase_f);
        const F height_f = L::narrow(h);
        const F orbit_x_f = L::narrow(ox);
        const F orbit_y_f = L::narrow(oy);
        L::store_f(height + k, height_f);
        L::store_f(orbit_x + k, orbit_x_f);
        L::store_f(orbit_y + k, orbit_y_f);

        const D stored_ox = L::widen(orbit_x_f);
        const D stored_oy = L::widen(orbit_y_f);
        const D stored_h = L::widen(height_f);
        const D cn = L::load(cos_node + k);
        const D sn = L::load(sin_node + k);
        const F sky_x_f = L::narrow(L::sub(L::mul(cn, stored_ox), L::mul(sn, stored_oy)));
        const F sky_y_f = L::narrow(L::add(L::mul(sn, stored_ox), L::mul(cn, stored_oy)));
        L::store_f(sky_x + k, sky_x_f);
        L::store_f(sky_y + k, sky_y_f);
        L::store_f(screen_x + k, sky_x_f);

        const D sx = L::widen(sky_x_f);
        const D sy = L::widen(sky_y_f);
        L::store(screen_y + k, L::add(L::mul(cos_view, sy), L::mul(sin_view, stored_h)));
        const D dx = L::sub(sx, source_x);
        const D dy = L::sub(sy, source_y);
        const D dz = L::sub(stored_h, source_height);
        const D sum =
            L::add(L::add(L::add(L::mul(dx, dx), L::mul(dy, dy)), L::mul(dz, dz)), softening_sq);
        L::store(source_dist + k, L::sqrt(sum));

        const D speed = L::load(angular_speed + k);
        radius_after = L::narrow(L::sub(r, L::mul(L::mul(speed, r), drift_rate)));
        L::store_f(radius + k, radius_after);
        return true;
    }

    // Threshold to angular speed for particles k..k+width-1, whose radii after the drift are
    // radius_f; false (and nothing taken or stored) when a particle respawns, which takes a
    // second deviate and so shifts every later one, or when the deviates to read run past the
    // generator's current block.
    bool settle_radii(int k, F radius_before, F radius_f) const {
        const int next = *next_word;
        const bool in_block = next <= mt_block_words - L::width;
        if (!in_block && !fixed_threshold) return false;
        D r = L::widen(radius_f);
        D threshold = r_min;
        if (!fixed_threshold) {
            const D u = L::deviates(words + next);
            threshold =
                L::add(L::mul(L::mul(L::sub(u, L::splat(0.5)), r_min), respawn_spread), r_min);
        }
        // A NaN radius fails the comparison, so it is respawned.
        if (L::ge(r, threshold) != L::all) return false;
        if (in_block) {
            *next_word = next + L::width;
        } else {
            // The deviates, unread, run over into the next block: the rest of this one, then
            // the first few of a fresh one.
            next_block(*stream);
            *next_word = L::width - (mt_block_words - next);
        }

        if (expands) {
            const D grown =
                L::add(L::div(L::mul(expansion_rate, r), L::splat(1000.0)), L::splat(1.0));
            radius_f = L::narrow(L::mul(grown, r));
            L::store_f(radius + k, radius_f);
            r = L::widen(radius_f);
        }
        // kepler_k / (sqrt(r) * r) gives back the same speed for the same radius bits, so only
        // a block where some radius changed needs it (a division and a root per lane).
        if (L::same_bits(radius_f, radius_before) != L::all)
            L::store(angular_speed + k, L::div(kepler_k, L::mul(L::sqrt(r), r)));
        return true;
    }

    float* const radius;
    float* const phase;
    float* const angular_speed;
    const float* const sin_incl;
    const float* const cos_incl;
    const float* const sin_node;
    const float* const cos_node;
    float* const orbit_x;
    float* const orbit_y;
    float* const height;
    float* const sky_x;
    float* const sky_y;
    float* const screen_x;
    float* const screen_y;
    float* const source_dist;
    const std::uint32_t* const words;
    int* const next_word;
    DeviateStream* const stream;
    const D cos_view, sin_view, source_x, source_y, source_height, softening_sq;
    const D r_min, drift_rate, respawn_spread, expansion_rate, kepler_k, full_turn;
    const D min_phase;
    const bool fixed_threshold;
    const bool expands;
};

// Sine and cosine for a few blocks first, then the rest of those blocks: the calls into SLEEF
// are independent of one another and overlap, where one call per block would wait for the last.
template <class L>
void advance_particles_lanes(const StepKernelArgs& a) {
    using F = typename L::F;
    constexpr int w = L::width;
    constexpr int blocks = 4;  // per pass: 32 particles with AVX-512
    const StepBlock<L> block(a);
    typename StepBlock<L>::Turned turned[blocks];
    // The rest of the step for the block from particle `first`, turned already.
    const auto finish = [&](int first, const typename StepBlock<L>::Turned& t) {
        const F radius_before = L::load_f(a.radius + first);
        F radius_after;
        if (!block.place(first, radius_before, t, radius_after)) {
            advance_orbits_plain(a, first, first + w);
            radius_after = L::load_f(a.radius + first);
        }
        if (!block.settle_radii(first, radius_before, radius_after))
            settle_radii_plain(a, first, first + w);
    };
    const int end = a.count + 1;
    int k = 1;
    for (; k + w * blocks <= end; k += w * blocks) {
        for (int b = 0; b < blocks; ++b)
            block.turn(k + b * w, turned[b]);
        for (int b = 0; b < blocks; ++b)
            finish(k + b * w, turned[b]);
    }
    for (; k + w <= end; k += w) {  // the blocks left over from the passes
        block.turn(k, turned[0]);
        finish(k, turned[0]);
    }
    if (k < end) {
        advance_orbits_plain(a, k, end);
        settle_radii_plain(a, k, end);
    }
}

template <class L>
double multiply_add_lanes(double x, double y, double z) {
    return L::first(L::add(L::mul(L::splat(x), L::splat(y)), L::splat(z)));
}
