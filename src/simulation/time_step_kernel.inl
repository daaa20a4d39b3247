// The step in vector lanes, block by block of Lanes::width particles, bit-identical to the plain
// advance_particles. Included inside an anonymous namespace by each step_kernels_<set>.cpp after
// its Lanes. Every formula is the plain one, in the same order, on the same stored floats: the
// lane arithmetic (add, subtract, multiply, divide, square root, conversions) is IEEE-exact like
// the scalar one, and contraction into multiply-adds is off for these files as for every other.
// What is not exact alike, the sine and cosine, is guarded (float_rounding_guard.h); a block that
// the guard or the phase wrap rejects is redone by the plain formulas.
//
// Within one particle the orbit part (phase to drift) takes no deviate and the radius part
// (threshold to angular speed) takes them in particle order, so running the orbit part of a
// block before its radius part changes nothing.

template <class L>
struct StepBlock {
    using D = typename L::D;
    using F = typename L::F;

    explicit StepBlock(const StepKernelArgs& args)
        : a(args),
          cos_view(L::splat(a.cos_view)),
          sin_view(L::splat(a.sin_view)),
          source_x(L::splat(a.source_x)),
          source_y(L::splat(a.source_y)),
          source_height(L::splat(a.source_height)),
          softening_sq(L::splat(a.softening_sq)),
          r_min(L::splat(a.r_min)),
          r_max(L::splat(a.r_max)),
          drift_rate(L::splat(a.drift_rate)),
          respawn_spread(L::splat(a.respawn_spread)),
          expansion_rate(L::splat(a.expansion_rate)),
          kepler_k(L::splat(a.kepler_k)),
          full_turn(L::splat(a.full_turn)),
          max_phase(L::splat(max_lane_phase)),
          min_phase(L::splat(-max_lane_phase)),
          expands(a.expansion_rate > 0.0) {}

    // Phase advance to inward drift for particles k..k+width-1; false (and nothing stored) when a
    // rounding is not provably the plain one, or a phase needs its wrap and the lanes cannot.
    bool advance_orbits(int k, F radius_before) const {
        const F speed_f = L::load_f(a.angular_speed + k);
        const D speed = L::widen(speed_f);
        F phase_f = L::narrow(L::add(L::load(a.phase + k), speed));
        D phase = L::widen(phase_f);
        // About one block in fifty has a particle completing a turn.
        const bool wraps = L::ge(phase, full_turn) != 0;
        if (wraps) {
            if (!L::wraps_in_lanes) return false;
            phase = L::wrap(phase, full_turn);
            phase_f = L::narrow(phase);
        }
        D s;
        D c;
        L::sincos(phase, s, c);
        const D r = L::widen(radius_before);
        const D sr = L::mul(s, r);
        const D height = L::mul(sr, L::load(a.sin_incl + k));
        const D orbit_x = L::mul(c, r);
        const D orbit_y = L::mul(sr, L::load(a.cos_incl + k));
        const unsigned exact = L::lt(phase, max_phase) & L::gt(phase, min_phase) &
                               L::rounds_alike(height) & L::rounds_alike(orbit_x) &
                               L::rounds_alike(orbit_y);
        if (exact != L::all) return false;

        L::store_f(a.phase + k, phase_f);
        const F height_f = L::narrow(height);
        const F orbit_x_f = L::narrow(orbit_x);
        const F orbit_y_f = L::narrow(orbit_y);
        L::store_f(a.height + k, height_f);
        L::store_f(a.orbit_x + k, orbit_x_f);
        L::store_f(a.orbit_y + k, orbit_y_f);

        const D ox = L::widen(orbit_x_f);
        const D oy = L::widen(orbit_y_f);
        const D h = L::widen(height_f);
        const D cos_node = L::load(a.cos_node + k);
        const D sin_node = L::load(a.sin_node + k);
        const F sky_x_f = L::narrow(L::sub(L::mul(cos_node, ox), L::mul(sin_node, oy)));
        const F sky_y_f = L::narrow(L::add(L::mul(sin_node, ox), L::mul(cos_node, oy)));
        L::store_f(a.sky_x + k, sky_x_f);
        L::store_f(a.sky_y + k, sky_y_f);
        L::store_f(a.screen_x + k, sky_x_f);

        const D sky_x = L::widen(sky_x_f);
        const D sky_y = L::widen(sky_y_f);
        L::store(a.screen_y + k, L::add(L::mul(cos_view, sky_y), L::mul(sin_view, h)));
        const D dx = L::sub(sky_x, source_x);
        const D dy = L::sub(sky_y, source_y);
        const D dz = L::sub(h, source_height);
        const D sum =
            L::add(L::add(L::add(L::mul(dx, dx), L::mul(dy, dy)), L::mul(dz, dz)), softening_sq);
        L::store(a.source_dist + k, L::sqrt(sum));

        L::store(a.radius + k, L::sub(r, L::mul(L::mul(speed, r), drift_rate)));
        return true;
    }

    // Threshold to angular speed for particles k..k+width-1; false (and nothing taken or stored)
    // when a particle respawns, which takes a second deviate and so shifts every later one, or
    // when the current block of generator words runs out.
    bool settle_radii(int k, F radius_before) const {
        const int next = *a.next_word;
        if (next > mt_block_words - L::width) return false;
        const D u = L::deviates(a.words + next);
        const D threshold =
            L::add(L::mul(L::mul(L::sub(u, L::splat(0.5)), r_min), respawn_spread), r_min);
        F radius_f = L::load_f(a.radius + k);
        D r = L::widen(radius_f);
        // A NaN radius fails the comparison, so it is respawned.
        if (L::ge(r, threshold) != L::all) return false;
        *a.next_word = next + L::width;

        if (expands) {
            const D grown =
                L::add(L::div(L::mul(expansion_rate, r), L::splat(1000.0)), L::splat(1.0));
            radius_f = L::narrow(L::mul(grown, r));
            L::store_f(a.radius + k, radius_f);
            r = L::widen(radius_f);
        }
        // kepler_k / (sqrt(r) * r) gives back the same speed for the same radius bits, so only
        // a block where some radius changed needs it (a division and a root per lane).
        if (L::same_bits(radius_f, radius_before) != L::all)
            L::store(a.angular_speed + k, L::div(kepler_k, L::mul(L::sqrt(r), r)));
        return true;
    }

    const StepKernelArgs& a;
    const D cos_view, sin_view, source_x, source_y, source_height, softening_sq;
    const D r_min, r_max, drift_rate, respawn_spread, expansion_rate, kepler_k, full_turn;
    const D max_phase, min_phase;
    const bool expands;
};

template <class L>
void advance_particles_lanes(const StepKernelArgs& a) {
    const StepBlock<L> block(a);
    const int end = a.count + 1;
    int k = 1;
    for (; k + L::width <= end; k += L::width) {
        const typename L::F radius_before = L::load_f(a.radius + k);
        if (!block.advance_orbits(k, radius_before)) advance_orbits_plain(a, k, k + L::width);
        if (!block.settle_radii(k, radius_before)) settle_radii_plain(a, k, k + L::width);
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
