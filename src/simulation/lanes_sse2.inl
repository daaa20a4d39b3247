// Lane operations for SSE2, which every x86-64 processor has: 2 doubles per vector (the floats in
// the low half of a vector), 4 words. Included inside an anonymous namespace by the files built
// with the baseline flags, after <immintrin.h> and <sleef.h>. Masks are plain bit sets.

struct Lanes {
    static constexpr int width = 2;
    static constexpr unsigned all = 0x3u;
    using D = __m128d;
    using F = __m128;

    // Two floats through a 64-bit integer load and store, which may alias anything.
    static F load_f(const float* p) {
        return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
    }
    static void store_f(float* p, F v) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_castps_si128(v));
    }
    static D widen(F v) { return _mm_cvtps_pd(v); }
    // Rounds to nearest, ties to even, as every store of a double into a float does.
    static F narrow(D v) { return _mm_cvtpd_ps(v); }
    static D load(const float* p) { return widen(load_f(p)); }
    static void store(float* p, D v) { store_f(p, narrow(v)); }
    static D splat(double x) { return _mm_set1_pd(x); }
    static double first(D v) { return _mm_cvtsd_f64(v); }

    static D add(D a, D b) { return _mm_add_pd(a, b); }
    static D sub(D a, D b) { return _mm_sub_pd(a, b); }
    static D mul(D a, D b) { return _mm_mul_pd(a, b); }
    static D div(D a, D b) { return _mm_div_pd(a, b); }
    static D sqrt(D a) { return _mm_sqrt_pd(a); }
    static void sincos(D x, D& s, D& c) {
        const Sleef___m128d_2 r = Sleef_sincosd2_u35sse2(x);
        s = r.x;
        c = r.y;
    }

    // SSE2 has no vector floor: a block with a phase to wrap goes to the plain formulas.
    static constexpr bool wraps_in_lanes = false;
    static D wrap(D p, D) { return p; }

    // Ordered comparisons: false in a lane where either side is NaN.
    static unsigned mask(D m) { return static_cast<unsigned>(_mm_movemask_pd(m)); }
    static unsigned ge(D a, D b) { return mask(_mm_cmpge_pd(a, b)); }
    static unsigned lt(D a, D b) { return mask(_mm_cmplt_pd(a, b)); }
    static unsigned gt(D a, D b) { return mask(_mm_cmpgt_pd(a, b)); }
    static unsigned same_bits(F a, F b) {
        const __m128i eq = _mm_cmpeq_epi32(_mm_castps_si128(a), _mm_castps_si128(b));
        return static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(eq))) & all;
    }

    // Lanes whose rounding to float no nearby double can change (see rounding_margin). SSE2 has
    // no 64-bit comparison, so this works on 32-bit halves: the dropped bits lie in the low half
    // of each double, the exponent in the high half.
    static unsigned rounds_alike(D x) {
        const __m128i bits = _mm_castpd_si128(x);
        const __m128i exponent = _mm_and_si128(_mm_srli_epi32(bits, 20), _mm_set1_epi32(0x7FF));
        const __m128i exponent_ok = _mm_and_si128(
            _mm_cmpgt_epi32(exponent, _mm_set1_epi32(lowest_safe_exponent - 1)),
            _mm_cmplt_epi32(exponent,
                            _mm_set1_epi32(lowest_safe_exponent + safe_exponent_span + 1)));
        const __m128i from_mid =
            _mm_sub_epi32(_mm_and_si128(bits, _mm_set1_epi32(dropped_bits_mask)),
                          _mm_set1_epi32(dropped_midpoint));
        const __m128i far_ok =
            _mm_or_si128(_mm_cmpgt_epi32(from_mid, _mm_set1_epi32(rounding_margin)),
                         _mm_cmplt_epi32(from_mid, _mm_set1_epi32(-rounding_margin)));
        // Bit 2j of far (low half of lane j) and bit 2j + 1 of exponent (its high half).
        const unsigned far = static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(far_ok)));
        const unsigned expo = static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(exponent_ok)));
        const unsigned both = far & (expo >> 1);
        return (both & 1u) | ((both >> 1) & 2u);
    }

    // Two output words, each times 2^-32: the sign flip makes them signed for the conversion,
    // and adding 2^31 back is exact.
    static D deviates(const std::uint32_t* w) {
        const __m128i words = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(w));
        const __m128i flipped = _mm_xor_si128(words, _mm_set1_epi32(INT32_MIN));
        const D v = _mm_add_pd(_mm_cvtepi32_pd(flipped), splat(2147483648.0));
        return _mm_mul_pd(v, splat(0x1p-32));
    }

    // Single-precision lanes, for the pixel arithmetic: the same 2 lanes as the doubles, in the
    // low half of a vector.
    static F splat_f(float x) { return _mm_set1_ps(x); }
    static F add_f(F a, F b) { return _mm_add_ps(a, b); }
    static F sub_f(F a, F b) { return _mm_sub_ps(a, b); }
    static unsigned gt_f(F a, F b) {
        return static_cast<unsigned>(_mm_movemask_ps(_mm_cmpgt_ps(a, b))) & all;
    }
    static unsigned lt_f(F a, F b) {
        return static_cast<unsigned>(_mm_movemask_ps(_mm_cmplt_ps(a, b))) & all;
    }

    // The nearest integer, halves away from zero, of coordinates already checked to lie within
    // (-0.5, 2^23): the truncation, plus one where the (exact) fraction is a half or more.
    static __m128i nearest(F v) {
        const __m128i whole = _mm_cvttps_epi32(v);
        const F fraction = _mm_sub_ps(v, _mm_cvtepi32_ps(whole));
        const __m128i up = _mm_castps_si128(_mm_cmpge_ps(fraction, splat_f(0.5f)));
        return _mm_sub_epi32(whole, up);
    }

    // row * width + column per lane, from window coordinates checked to lie on the window
    // (SSE2 has no 32-bit lane multiply).
    static void pixel_indices(std::int32_t* out, F x, F y, std::int32_t width) {
        std::int32_t column[4];
        std::int32_t row[4];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(column), nearest(x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row), nearest(y));
        out[0] = row[0] * width + column[0];
        out[1] = row[1] * width + column[1];
    }

    // Four 32-bit words, for the generator.
    struct Words {
        static constexpr int width = 4;
        using U = __m128i;
        static U load(const std::uint32_t* p) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        }
        static void store(std::uint32_t* p, U v) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
        }
        static U splat(std::uint32_t x) { return _mm_set1_epi32(static_cast<int>(x)); }
        static U bit_and(U a, U b) { return _mm_and_si128(a, b); }
        static U bit_or(U a, U b) { return _mm_or_si128(a, b); }
        static U bit_xor(U a, U b) { return _mm_xor_si128(a, b); }
        template <int n>
        static U shift_right(U a) {
            return _mm_srli_epi32(a, n);
        }
        template <int n>
        static U shift_left(U a) {
            return _mm_slli_epi32(a, n);
        }
        // Every bit of a lane set to its lowest bit.
        static U spread_low_bit(U a) { return _mm_srai_epi32(_mm_slli_epi32(a, 31), 31); }
    };
};
