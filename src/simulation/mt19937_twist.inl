// One MT19937 block in vector lanes: the state twisted in place, then all of it tempered.
// Included inside an anonymous namespace by each step_kernels_<set>.cpp after its Lanes.
// Lane j of a vector handles word k + j; reads ahead of k see old words, reads 227 behind see
// words this twist already wrote, exactly as the word-by-word recurrence does.

constexpr int mt_n = 624;
constexpr int mt_m = 397;
constexpr std::uint32_t mt_matrix_a = 0x9908b0dfu;
constexpr std::uint32_t mt_upper = 0x80000000u;
constexpr std::uint32_t mt_lower = 0x7fffffffu;

std::uint32_t twist_word(std::uint32_t a, std::uint32_t b, std::uint32_t far) {
    const std::uint32_t y = (a & mt_upper) | (b & mt_lower);
    return far ^ (y >> 1) ^ ((y & 1u) != 0 ? mt_matrix_a : 0u);
}

template <class W>
typename W::U twist_words(typename W::U a, typename W::U b, typename W::U far) {
    const auto y = W::bit_or(W::bit_and(a, W::splat(mt_upper)), W::bit_and(b, W::splat(mt_lower)));
    const auto odd = W::bit_and(W::spread_low_bit(y), W::splat(mt_matrix_a));
    return W::bit_xor(W::bit_xor(far, W::template shift_right<1>(y)), odd);
}

template <class W>
typename W::U temper_words(typename W::U y) {
    y = W::bit_xor(y, W::template shift_right<11>(y));
    y = W::bit_xor(y, W::bit_and(W::template shift_left<7>(y), W::splat(0x9d2c5680u)));
    y = W::bit_xor(y, W::bit_and(W::template shift_left<15>(y), W::splat(0xefc60000u)));
    return W::bit_xor(y, W::template shift_right<18>(y));
}

template <class W>
void twist_and_temper_lanes(std::uint32_t* x, std::uint32_t* out) {
    constexpr int w = W::width;
    static_assert(w <= mt_n - mt_m && mt_n % w == 0);
    int k = 0;
    for (; k + w <= mt_n - mt_m; k += w)
        W::store(x + k, twist_words<W>(W::load(x + k), W::load(x + k + 1), W::load(x + k + mt_m)));
    for (; k < mt_n - mt_m; ++k)
        x[k] = twist_word(x[k], x[k + 1], x[k + mt_m]);
    for (; k + w <= mt_n - 1; k += w) {
        W::store(x + k,
                 twist_words<W>(W::load(x + k), W::load(x + k + 1), W::load(x + k + mt_m - mt_n)));
    }
    for (; k < mt_n - 1; ++k)
        x[k] = twist_word(x[k], x[k + 1], x[k + mt_m - mt_n]);
    x[mt_n - 1] = twist_word(x[mt_n - 1], x[0], x[mt_m - 1]);
    for (k = 0; k < mt_n; k += w)
        W::store(out + k, temper_words<W>(W::load(x + k)));
}
