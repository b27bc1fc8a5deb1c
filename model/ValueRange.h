#pragma once
// Arithmetic on a range low..high of finite doubles that stays finite where high - low would
// overflow (a range from -1e308 to 1e308 is twice the largest double wide): such ranges are
// worked on in halves.

#include <cmath>

// Where v lies in low..high: 0 at low, 1 at high. For v inside the range the result is finite.
inline double fractionOfRange(double v, double low, double high) {
    const double width = high - low;
    if (std::isfinite(width)) return (v - low) / width;
    return (v / 2 - low / 2) / (high / 2 - low / 2);
}

// The value at fraction t of low..high (t = 0 gives low, t = 1 high); finite for t in 0..1.
inline double valueInRange(double low, double high, double t) {
    const double width = high - low;
    if (std::isfinite(width)) return low + t * width;
    return (1 - t) * low + t * high;
}
