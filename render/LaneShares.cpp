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
                    column.share[r][lane] = static_cast<float>(stretch * (within(upper - j) - within(lower - j)));
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
        const __m256d slope = _mm256_div_pd(_mm256_sub_pd(_mm256_add_pd(y0, dy), y0), _mm256_set1_pd(u1 - u0));
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
                _mm_storeu_ps(column.share[r], _mm256_cvtpd_ps(_mm256_mul_pd(stretch, _mm256_sub_pd(above, below))));
            }
        }
    }
    return count;
}
#endif

}  // namespace

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
