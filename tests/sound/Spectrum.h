// A small FFT for checking what a rendered sound contains.
#pragma once

#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

namespace flashsmith::test {

inline void Fft(std::vector<std::complex<double>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double ang = -2 * M_PI / static_cast<double>(len);
        const std::complex<double> wl(std::cos(ang), std::sin(ang));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w(1);
            for (size_t k = 0; k < len / 2; ++k) {
                const auto u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= wl;
            }
        }
    }
}

// Magnitude spectrum of x (Hann window, zero-padded to a power of two of at
// least minSize); bin k is at k * rate / size.
struct Spectrum {
    std::vector<double> mag;
    double binHz = 0;

    Spectrum(const std::vector<double>& x, int rate, size_t minSize = 1 << 16) {
        size_t n = 1;
        while (n < std::max(x.size(), minSize)) n <<= 1;
        std::vector<std::complex<double>> a(n);
        for (size_t i = 0; i < x.size(); ++i)
            a[i] = x[i] * (0.5 - 0.5 * std::cos(2 * M_PI * static_cast<double>(i) / static_cast<double>(x.size())));
        Fft(a);
        mag.resize(n / 2);
        for (size_t i = 0; i < n / 2; ++i) mag[i] = std::abs(a[i]);
        binHz = static_cast<double>(rate) / static_cast<double>(n);
    }

    // The strongest frequency in [lo, hi], refined between bins.
    double PeakHz(double lo, double hi) const {
        size_t best = 0;
        for (size_t k = static_cast<size_t>(lo / binHz) + 1; k < mag.size() - 1 && k * binHz <= hi; ++k)
            if (mag[k] > mag[best]) best = k;
        if (best == 0) return 0;
        const double a = mag[best - 1], b = mag[best], c = mag[best + 1];
        const double d = 0.5 * (a - c) / (a - 2 * b + c);
        return (static_cast<double>(best) + d) * binHz;
    }
    double Level(double hz) const {
        const size_t k = static_cast<size_t>(std::lround(hz / binHz));
        double m = 0;
        for (size_t i = k > 3 ? k - 3 : 0; i <= k + 3 && i < mag.size(); ++i) m = std::max(m, mag[i]);
        return m;
    }
};

}  // namespace flashsmith::test
