// Lane operations for AVX-512F: 8 doubles per vector, 8 floats per half-width vector, 16 words.
// Included inside an anonymous namespace by the files built with -mavx512f, after <immintrin.h>
// and <sleef.h>. Masks are plain bit sets, bit j for lane j.

struct Lanes {
    static constexpr int width = 8;
    static constexpr unsigned all = 0xFFu;
    using D = __m512d;
    using F = __m256;

    static F load_f(const float* p) { return _mm256_loadu_ps(p); }
    static void store_f(float* p, F v) { _mm256_storeu_ps(p, v); }
    static D widen(F v) { return _mm512_cvtps_pd(v); }
    // Rounds to nearest, ties to even, as every store of a double into a float does.
    static F narrow(D v) { return _mm512_cvtpd_ps(v); }
    static D load(const float* p) { return widen(load_f(p)); }
    static void store(float* p, D v) { store_f(p, narrow(v)); }
    static D splat(double x) { return _mm512_set1_pd(x); }
    static double first(D v) { return _mm_cvtsd_f64(_mm512_castpd512_pd128(v)); }

    static D add(D a, D b) { return _mm512_add_pd(a, b); }
    static D sub(D a, D b) { return _mm512_sub_pd(a, b); }
    static D mul(D a, D b) { return _mm512_mul_pd(a, b); }
    static D div(D a, D b) { return _mm512_div_pd(a, b); }
    static D sqrt(D a) { return _mm512_sqrt_pd(a); }
    static void sincos(D x, D& s, D& c) {
        const Sleef___m512d_2 r = Sleef_sincosd8_u35avx512f(x);
        s = r.x;
        c = r.y;
    }

    // wrap_phase in lanes: where p >= turn, p - floor(p / turn) * turn rounded to float; p
    // elsewhere.
    static constexpr bool wraps_in_lanes = true;
    static D wrap(D p, D turn) {
        const __mmask8 past = _mm512_cmp_pd_mask(p, turn, _CMP_GE_OQ);
        const D turns =
            _mm512_roundscale_pd(_mm512_div_pd(p, turn), _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
        const D wrapped = widen(narrow(_mm512_sub_pd(p, _mm512_mul_pd(turns, turn))));
        return _mm512_mask_blend_pd(past, p, wrapped);
    }

    // Ordered comparisons: false in a lane where either side is NaN.
    static unsigned ge(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_GE_OQ); }
    static unsigned lt(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
    static unsigned gt(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_GT_OQ); }
    static unsigned same_bits(F a, F b) {
        const __m256i eq = _mm256_cmpeq_epi32(_mm256_castps_si256(a), _mm256_castps_si256(b));
        return static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(eq)));
    }

    // Lanes whose rounding to float no nearby double can change (see rounding_margin).
    static unsigned rounds_alike(D x) {
        const __m512i bits = _mm512_castpd_si512(x);
        const __m512i exponent = _mm512_and_epi64(bits, _mm512_set1_epi64(0x7FF0000000000000));
        const __mmask8 normal = _mm512_cmple_epu64_mask(
            _mm512_sub_epi64(exponent, _mm512_set1_epi64(std::int64_t{lowest_safe_exponent} << 52)),
            _mm512_set1_epi64(std::int64_t{safe_exponent_span} << 52));
        // How far the dropped bits lie past midpoint - M, modulo 2^29: within 2M is too close.
        const __m512i past = _mm512_and_epi64(
            _mm512_sub_epi64(bits, _mm512_set1_epi64(dropped_midpoint - rounding_margin)),
            _mm512_set1_epi64(dropped_bits_mask));
        return _mm512_mask_cmpgt_epu64_mask(normal, past, _mm512_set1_epi64(2 * rounding_margin));
    }

    // Eight output words, each times 2^-32.
    static D deviates(const std::uint32_t* w) {
        const __m256i words = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w));
        return _mm512_mul_pd(_mm512_cvtepu32_pd(words), splat(0x1p-32));
    }

    // Single-precision lanes, for the pixel arithmetic: the same 8 lanes as the doubles.
    static F splat_f(float x) { return _mm256_set1_ps(x); }
    static F add_f(F a, F b) { return _mm256_add_ps(a, b); }
    static F sub_f(F a, F b) { return _mm256_sub_ps(a, b); }
    static unsigned gt_f(F a, F b) {
        return static_cast<unsigned>(_mm256_movemask_ps(_mm256_cmp_ps(a, b, _CMP_GT_OQ)));
    }
    static unsigned lt_f(F a, F b) {
        return static_cast<unsigned>(_mm256_movemask_ps(_mm256_cmp_ps(a, b, _CMP_LT_OQ)));
    }

    // The nearest integer, halves away from zero, of coordinates already checked to lie within
    // (-0.5, 2^23): the truncation, plus one where the (exact) fraction is a half or more.
    static __m256i nearest(F v) {
        const __m256i whole = _mm256_cvttps_epi32(v);
        const F fraction = _mm256_sub_ps(v, _mm256_cvtepi32_ps(whole));
        const __m256i up = _mm256_castps_si256(_mm256_cmp_ps(fraction, splat_f(0.5f), _CMP_GE_OQ));
        return _mm256_sub_epi32(whole, up);
    }

    // row * width + column per lane, from window coordinates checked to lie on the window.
    static void pixel_indices(std::int32_t* out, F x, F y, std::int32_t width) {
        const __m256i index =
            _mm256_add_epi32(_mm256_mullo_epi32(nearest(y), _mm256_set1_epi32(width)), nearest(x));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), index);
    }

    // Sixteen 32-bit words, for the generator.
    struct Words {
        static constexpr int width = 16;
        using U = __m512i;
        static U load(const std::uint32_t* p) { return _mm512_loadu_si512(p); }
        static void store(std::uint32_t* p, U v) { _mm512_storeu_si512(p, v); }
        static U splat(std::uint32_t x) { return _mm512_set1_epi32(static_cast<int>(x)); }
        static U bit_and(U a, U b) { return _mm512_and_si512(a, b); }
        static U bit_or(U a, U b) { return _mm512_or_si512(a, b); }
        static U bit_xor(U a, U b) { return _mm512_xor_si512(a, b); }
        template <int n>
        static U shift_right(U a) {
            return _mm512_srli_epi32(a, n);
        }
        template <int n>
        static U shift_left(U a) {
            return _mm512_slli_epi32(a, n);
        }
        // Every bit of a lane set to its lowest bit.
        static U spread_low_bit(U a) { return _mm512_srai_epi32(_mm512_slli_epi32(a, 31), 31); }
    };
};
