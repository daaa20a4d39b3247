// Lane operations for AVX2: 4 doubles per vector, 4 floats per half-width vector, 8 words.
// Included inside an anonymous namespace by the files built with -mavx2 -mfma, after
// <immintrin.h> and <sleef.h>. Masks are plain bit sets, bit j for lane j.

struct Lanes {
    static constexpr int width = 4;
    static constexpr unsigned all = 0xFu;
    using D = __m256d;
    using F = __m128;

    static F load_f(const float* p) { return _mm_loadu_ps(p); }
    static void store_f(float* p, F v) { _mm_storeu_ps(p, v); }
    static D widen(F v) { return _mm256_cvtps_pd(v); }
    // Rounds to nearest, ties to even, as every store of a double into a float does.
    static F narrow(D v) { return _mm256_cvtpd_ps(v); }
    static D load(const float* p) { return widen(load_f(p)); }
    static void store(float* p, D v) { store_f(p, narrow(v)); }
    static D splat(double x) { return _mm256_set1_pd(x); }
    static double first(D v) { return _mm_cvtsd_f64(_mm256_castpd256_pd128(v)); }

    static D add(D a, D b) { return _mm256_add_pd(a, b); }
    static D sub(D a, D b) { return _mm256_sub_pd(a, b); }
    static D mul(D a, D b) { return _mm256_mul_pd(a, b); }
    static D div(D a, D b) { return _mm256_div_pd(a, b); }
    static D sqrt(D a) { return _mm256_sqrt_pd(a); }
    static void sincos(D x, D& s, D& c) {
        const Sleef___m256d_2 r = Sleef_sincosd4_u35avx2(x);
        s = r.x;
        c = r.y;
    }

    // wrap_phase in lanes: where p >= turn, p - floor(p / turn) * turn rounded to float; p
    // elsewhere.
    static constexpr bool wraps_in_lanes = true;
    static D wrap(D p, D turn) {
        const D past = _mm256_cmp_pd(p, turn, _CMP_GE_OQ);
        const D turns = _mm256_floor_pd(_mm256_div_pd(p, turn));
        const D wrapped = widen(narrow(_mm256_sub_pd(p, _mm256_mul_pd(turns, turn))));
        return _mm256_blendv_pd(p, wrapped, past);
    }

    // Ordered comparisons: false in a lane where either side is NaN.
    static unsigned mask(D m) { return static_cast<unsigned>(_mm256_movemask_pd(m)); }
    static unsigned ge(D a, D b) { return mask(_mm256_cmp_pd(a, b, _CMP_GE_OQ)); }
    static unsigned lt(D a, D b) { return mask(_mm256_cmp_pd(a, b, _CMP_LT_OQ)); }
    static unsigned gt(D a, D b) { return mask(_mm256_cmp_pd(a, b, _CMP_GT_OQ)); }
    static unsigned same_bits(F a, F b) {
        const __m128i eq = _mm_cmpeq_epi32(_mm_castps_si128(a), _mm_castps_si128(b));
        return static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(eq)));
    }

    // Lanes whose rounding to float no nearby double can change (see rounding_margin).
    static unsigned rounds_alike(D x) {
        const __m256i bits = _mm256_castpd_si256(x);
        const __m256i exponent =
            _mm256_and_si256(_mm256_srli_epi64(bits, 52), _mm256_set1_epi64x(0x7FF));
        const __m256i exponent_ok = _mm256_and_si256(
            _mm256_cmpgt_epi64(exponent, _mm256_set1_epi64x(lowest_safe_exponent - 1)),
            _mm256_cmpgt_epi64(_mm256_set1_epi64x(lowest_safe_exponent + safe_exponent_span + 1),
                               exponent));
        const __m256i from_mid =
            _mm256_sub_epi64(_mm256_and_si256(bits, _mm256_set1_epi64x(dropped_bits_mask)),
                             _mm256_set1_epi64x(dropped_midpoint));
        const __m256i far_ok =
            _mm256_or_si256(_mm256_cmpgt_epi64(from_mid, _mm256_set1_epi64x(rounding_margin)),
                            _mm256_cmpgt_epi64(_mm256_set1_epi64x(-rounding_margin), from_mid));
        return mask(_mm256_castsi256_pd(_mm256_and_si256(exponent_ok, far_ok)));
    }

    // Four output words, each times 2^-32: the sign flip makes them signed for the conversion,
    // and adding 2^31 back is exact.
    static D deviates(const std::uint32_t* w) {
        const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w));
        const __m128i flipped = _mm_xor_si128(words, _mm_set1_epi32(INT32_MIN));
        const D v = _mm256_add_pd(_mm256_cvtepi32_pd(flipped), splat(2147483648.0));
        return _mm256_mul_pd(v, splat(0x1p-32));
    }

    // Single-precision lanes, for the pixel arithmetic: the same 4 lanes as the doubles.
    static F splat_f(float x) { return _mm_set1_ps(x); }
    static F add_f(F a, F b) { return _mm_add_ps(a, b); }
    static F sub_f(F a, F b) { return _mm_sub_ps(a, b); }
    static unsigned gt_f(F a, F b) {
        return static_cast<unsigned>(_mm_movemask_ps(_mm_cmp_ps(a, b, _CMP_GT_OQ)));
    }
    static unsigned lt_f(F a, F b) {
        return static_cast<unsigned>(_mm_movemask_ps(_mm_cmp_ps(a, b, _CMP_LT_OQ)));
    }

    // The nearest integer, halves away from zero, of coordinates already checked to lie within
    // (-0.5, 2^23): the truncation, plus one where the (exact) fraction is a half or more.
    static __m128i nearest(F v) {
        const __m128i whole = _mm_cvttps_epi32(v);
        const F fraction = _mm_sub_ps(v, _mm_cvtepi32_ps(whole));
        const __m128i up = _mm_castps_si128(_mm_cmp_ps(fraction, splat_f(0.5f), _CMP_GE_OQ));
        return _mm_sub_epi32(whole, up);
    }

    // row * width + column per lane, from window coordinates checked to lie on the window.
    static void pixel_indices(std::int32_t* out, F x, F y, std::int32_t width) {
        const __m128i index =
            _mm_add_epi32(_mm_mullo_epi32(nearest(y), _mm_set1_epi32(width)), nearest(x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), index);
    }

    // Eight 32-bit words, for the generator.
    struct Words {
        static constexpr int width = 8;
        using U = __m256i;
        static U load(const std::uint32_t* p) {
            return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        }
        static void store(std::uint32_t* p, U v) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
        }
        static U splat(std::uint32_t x) { return _mm256_set1_epi32(static_cast<int>(x)); }
        static U bit_and(U a, U b) { return _mm256_and_si256(a, b); }
        static U bit_or(U a, U b) { return _mm256_or_si256(a, b); }
        static U bit_xor(U a, U b) { return _mm256_xor_si256(a, b); }
        template <int n>
        static U shift_right(U a) {
            return _mm256_srli_epi32(a, n);
        }
        template <int n>
        static U shift_left(U a) {
            return _mm256_slli_epi32(a, n);
        }
        // Every bit of a lane set to its lowest bit.
        static U spread_low_bit(U a) { return _mm256_srai_epi32(_mm256_slli_epi32(a, 31), 31); }
    };
};
