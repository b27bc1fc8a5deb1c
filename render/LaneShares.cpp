#include "render/LaneShares.h"

#include <algorithm>
#include <cmath>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define KIVREL_WIDE_LANES 1
#endif

namespace {

// One lane after the other. The band of segment (u0, v0)-(u1, v1) reaches h across from its
// middle line; the part in column i spans a..b along it.
int narrowColumns(const LaneSegments& s, int from, int to, LaneColumn* out) {
    const auto within = [](double v) {
        v = v < 0.0 ? 0.0 : v;
        return 1.0 < v ? 1.0 : v;
    };
    int count = 0;
    for (int k = from; k < to; ++k) {
        const double u0 = s.xs[k] + s.offsetX, dx = (s.xs[k + 1] + s.offsetX) - u0, u1 = u0 + dx;
        double v0[laneCount], slope[laneCount], h[laneCount];
        for (int lane = 0; lane < laneCount; ++lane) {
            const double y0 = s.rows[lane][k] + s.offsetY, dy = (s.rows[lane][k + 1] + s.offsetY) - y0;
            v0[lane] = y0;
            slope[lane] = ((y0 + dy) - y0) / (u1 - u0);
            h[lane] = s.halfWidth * std::sqrt(1 + slope[lane] * slope[lane]);
        }
        const int i0 = std::max(floorOf(u0), s.columnFrom), i1 = std::min(ceilOf(u1), s.columnTo);
        for (int i = i0; i < i1; ++i, ++count) {
            const double a = std::max(u0, static_cast<double>(i)), b = std::min(u1, i + 1.0);
            const double along = (a + b) / 2 - u0, stretch = b - a;
            LaneColumn& column = out[count];
            column.column = i;
            for (int lane = 0; lane < laneCount; ++lane) {
                const double middle = v0[lane] + slope[lane] * along;
                const double upper = middle + h[lane], lower = middle - h[lane];
                const double row = std::floor(lower);
                for (int r = 0; r < 3; ++r) {
                    const double j = row + r;
                    column.share[r][lane] =
                        static_cast<float>(stretch * (within(upper - j) - within(lower - j)));
                }
                column.top[lane] = static_cast<int>(row);
            }
        }
    }
    return count;
}

#ifdef KIVREL_WIDE_LANES
// The same steps with the four lanes in the four parts of one register. The clamps to 0..1 and the
// floor give the same values as above for the finite numbers that arise here.
[[gnu::target("avx2")]] int wideColumns(const LaneSegments& s, int from, int to, LaneColumn* out) {
    const __m256d zero = _mm256_setzero_pd(), one = _mm256_set1_pd(1.0);
    const __m256d halfWidth = _mm256_set1_pd(s.halfWidth), offsetY = _mm256_set1_pd(s.offsetY);
    const double* const* rows = s.rows;
    int count = 0;
    for (int k = from; k < to; ++k) {
        const double u0 = s.xs[k] + s.offsetX, dx = (s.xs[k + 1] + s.offsetX) - u0, u1 = u0 + dx;
        const __m256d y0 =
            _mm256_add_pd(_mm256_set_pd(rows[3][k], rows[2][k], rows[1][k], rows[0][k]), offsetY);
        const __m256d y1 = _mm256_add_pd(
            _mm256_set_pd(rows[3][k + 1], rows[2][k + 1], rows[1][k + 1], rows[0][k + 1]), offsetY);
        const __m256d dy = _mm256_sub_pd(y1, y0);
        const __m256d slope =
            _mm256_div_pd(_mm256_sub_pd(_mm256_add_pd(y0, dy), y0), _mm256_set1_pd(u1 - u0));
        const __m256d h =
            _mm256_mul_pd(halfWidth, _mm256_sqrt_pd(_mm256_add_pd(one, _mm256_mul_pd(slope, slope))));
        const int i0 = std::max(floorOf(u0), s.columnFrom), i1 = std::min(ceilOf(u1), s.columnTo);
        for (int i = i0; i < i1; ++i, ++count) {
            const double a = std::max(u0, static_cast<double>(i)), b = std::min(u1, i + 1.0);
            const __m256d along = _mm256_set1_pd((a + b) / 2 - u0), stretch = _mm256_set1_pd(b - a);
            const __m256d middle = _mm256_add_pd(y0, _mm256_mul_pd(slope, along));
            const __m256d upper = _mm256_add_pd(middle, h), lower = _mm256_sub_pd(middle, h);
            const __m256d row = _mm256_floor_pd(lower);
            LaneColumn& column = out[count];
            column.column = i;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(column.top), _mm256_cvttpd_epi32(row));
            __m256d j = row;
            for (int r = 0; r < 3; ++r, j = _mm256_add_pd(j, one)) {
                const __m256d above = _mm256_min_pd(_mm256_max_pd(_mm256_sub_pd(upper, j), zero), one);
                const __m256d below = _mm256_min_pd(_mm256_max_pd(_mm256_sub_pd(lower, j), zero), one);
                _mm_storeu_ps(column.share[r],
                              _mm256_cvtpd_ps(_mm256_mul_pd(stretch, _mm256_sub_pd(above, below))));
            }
        }
    }
    return count;
}

// source * m + destination * keep, divided by 255 with rounding, for two 8-bit channels in the low
// bytes of the 16-bit halves of each of eight pixels.
[[gnu::target("avx2")]] inline __m256i blendPairs(__m256i source, __m256i destination, __m256i m,
                                                  __m256i keep) {
    const __m256i channels = _mm256_set1_epi32(0x00ff00ff);
    __m256i x = _mm256_add_epi32(
        _mm256_add_epi32(_mm256_mullo_epi32(source, m), _mm256_mullo_epi32(destination, keep)),
        _mm256_set1_epi32(0x00800080));
    x = _mm256_srli_epi32(_mm256_add_epi32(x, _mm256_and_si256(_mm256_srli_epi32(x, 8), channels)), 8);
    return _mm256_and_si256(x, channels);
}

[[gnu::target("avx2")]] void wideBlendEight(unsigned char* p, const float* shares, std::uint32_t alpha,
                                            std::uint32_t blueRed, std::uint32_t greenAlpha,
                                            std::uint32_t keptBits) {
    // The share of each pixel at most 1, and in 0..255 (m). m = 0 leaves the pixel as it is:
    // d * 255 / 255 rounds to d.
    const __m256 share = _mm256_min_ps(_mm256_loadu_ps(shares), _mm256_set1_ps(1.0f));
    const __m256i m = _mm256_cvttps_epi32(
        _mm256_add_ps(_mm256_mul_ps(share, _mm256_set1_ps(255.0f)), _mm256_set1_ps(0.5f)));
    // keep = 255 - round(alpha * m / 255).
    __m256i x = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_set1_epi32(static_cast<int>(alpha)), m),
                                 _mm256_set1_epi32(128));
    x = _mm256_srli_epi32(_mm256_add_epi32(x, _mm256_srli_epi32(x, 8)), 8);
    const __m256i keep = _mm256_sub_epi32(_mm256_set1_epi32(255), x);
    const __m256i channels = _mm256_set1_epi32(0x00ff00ff);
    const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    // Blue and red, then green and alpha.
    const __m256i blended = _mm256_or_si256(
        blendPairs(_mm256_set1_epi32(static_cast<int>(blueRed)), _mm256_and_si256(pixels, channels), m, keep),
        _mm256_slli_epi32(blendPairs(_mm256_set1_epi32(static_cast<int>(greenAlpha)),
                                     _mm256_and_si256(_mm256_srli_epi32(pixels, 8), channels), m, keep),
                          8));
    const __m256i kept = _mm256_set1_epi32(static_cast<int>(keptBits));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p),
                        _mm256_or_si256(_mm256_andnot_si256(kept, blended), _mm256_and_si256(pixels, kept)));
}
#endif

}  // namespace

void blendEight(unsigned char* p, const float* shares, std::uint32_t alpha, std::uint32_t blueRed,
                std::uint32_t greenAlpha, std::uint32_t keptBits) {
#ifdef KIVREL_WIDE_LANES
    wideBlendEight(p, shares, alpha, blueRed, greenAlpha, keptBits);
#else
    static_cast<void>(p), static_cast<void>(shares), static_cast<void>(alpha), static_cast<void>(blueRed),
        static_cast<void>(greenAlpha), static_cast<void>(keptBits);
#endif
}

bool wideLanesAvailable() {
#ifdef KIVREL_WIDE_LANES
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
#else
    return false;
#endif
}

int laneColumns(const LaneSegments& segments, int from, int to, LaneColumn* out, bool wide) {
#ifdef KIVREL_WIDE_LANES
    if (wide) return wideColumns(segments, from, to, out);
#else
    static_cast<void>(wide);
#endif
    return narrowColumns(segments, from, to, out);
}
