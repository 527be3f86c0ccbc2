// Deterministic generator of signature-like pen samples for the simulated pad.
//
// The signature is a fixed sequence of cursive strokes (looping curves that
// move left to right across the pad) separated by a few lifted samples that
// travel to the next stroke's start. After the last stroke the pen travels
// back to the first one and the signature repeats. The class has no clock and
// no thread, so the sample thread paces it and tests can step it directly.
//
// Header-only on purpose: the library keeps its internal symbols hidden, and
// the unit tests compile their own copy of the generator from this header.
#ifndef VELLIX_PEN_SIMULATOR_H
#define VELLIX_PEN_SIMULATOR_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace vellix_sim {

struct PenSample {
    std::int32_t x;
    std::int32_t y;
    std::int32_t pressure;  // kMinPressure..kMaxPressure while touching, 0 while lifted
    bool touching;
};

class PenSimulator {
public:
    static constexpr std::int32_t kMinPressure = 200;
    static constexpr std::int32_t kMaxPressure = 1023;

    // Samples are placed inside [min, max] on each axis. An empty or inverted
    // axis (max <= min) puts every sample at min.
    PenSimulator(std::int32_t minX, std::int32_t minY, std::int32_t maxX, std::int32_t maxY)
        : x_(minX, maxX), y_(minY, maxY) {}

    // Returns the next sample of the endlessly repeated signature.
    PenSample next() {
        std::size_t pos = pos_;
        pos_ = (pos_ + 1) % cycleLength();
        for (std::size_t k = 0; k < kStrokes.size(); ++k) {
            const Stroke& s = kStrokes[k];
            if (pos < s.samples) return touchingSample(s, pos);
            pos -= s.samples;
            if (pos < s.liftAfter) return liftedSample(s, kStrokes[(k + 1) % kStrokes.size()], pos);
            pos -= s.liftAfter;
        }
        return liftedSample(kStrokes.back(), kStrokes.front(), 0);  // not reached
    }

    // Starts the signature again from its first sample.
    void reset() { pos_ = 0; }

    static constexpr std::size_t strokeCount() { return kStrokes.size(); }

    // Samples in one full signature, lifted samples included.
    static constexpr std::size_t cycleLength() {
        std::size_t n = 0;
        for (const Stroke& s : kStrokes) n += s.samples + s.liftAfter;
        return n;
    }

private:
    // One stroke in pad-relative coordinates (0..1 on each axis, y downwards):
    // a prolate cycloid (a baseline travelling from uStart to uEnd with `loops`
    // loops of the given radii on it), a slow slope and a small wobble.
    struct Stroke {
        std::size_t samples;
        double uStart, uEnd;
        double loops, loopU, loopV;
        double baseV, slopeV;
        std::size_t liftAfter;  // lifted samples travelling to the next stroke
    };

    // Chosen so that every stroke stays within about 10%..90% of the width and
    // 20%..80% of the height, and the whole signature takes about 3.3 s at 200
    // samples a second.
    static constexpr std::array<Stroke, 5> kStrokes{{
        {150, 0.13, 0.30, 3.0, 0.030, 0.16, 0.64, -0.04, 6},
        {90, 0.34, 0.42, 2.0, 0.022, 0.09, 0.66, 0.00, 5},
        {180, 0.46, 0.68, 5.0, 0.020, 0.10, 0.67, -0.03, 8},
        {70, 0.71, 0.75, 1.0, 0.030, 0.17, 0.63, 0.02, 4},
        {130, 0.78, 0.87, 3.0, 0.018, 0.08, 0.65, 0.05, 10},
    }};

    static constexpr double kPi = 3.14159265358979323846;

    struct Point {
        double u, v;
    };

    // Maps 0..1 onto one axis of the coordinate range; 64-bit arithmetic so
    // that the full 32-bit range cannot overflow.
    class Axis {
    public:
        Axis(std::int32_t min, std::int32_t max)
            : min_(min), span_(max > min ? std::int64_t{max} - min : 0) {}
        std::int32_t at(double f) const {
            const double clamped = std::clamp(f, 0.0, 1.0);
            return static_cast<std::int32_t>(min_ + std::llround(clamped * static_cast<double>(span_)));
        }

    private:
        std::int64_t min_;
        std::int64_t span_;
    };

    static Point strokePoint(const Stroke& s, double t) {
        const double phase = 2.0 * kPi * s.loops * t;
        const double height = 0.8 + 0.2 * std::cos(2.0 * kPi * 1.5 * t);  // loops of varying height
        return {s.uStart + (s.uEnd - s.uStart) * t + s.loopU * std::sin(phase),
                s.baseV + s.slopeV * t + s.loopV * height * (std::cos(phase) - 1.0) +
                    0.02 * std::sin(2.0 * kPi * 1.3 * t)};
    }

    PenSample touchingSample(const Stroke& s, std::size_t i) const {
        const double n = static_cast<double>(s.samples);
        const double t = static_cast<double>(i) / (n - 1.0);
        const Point p = strokePoint(s, t);
        // Pressure rises from the touch-down, falls towards the lift-off and
        // varies a little with the loops.
        const double envelope = std::sin(kPi * (static_cast<double>(i) + 0.5) / n);
        const double variation = 0.85 + 0.15 * std::sin(3.0 * 2.0 * kPi * s.loops * t);
        const auto pressure = kMinPressure + static_cast<std::int32_t>(std::lround(
                                                 (kMaxPressure - kMinPressure) * envelope * variation));
        return {x_.at(p.u), y_.at(p.v), std::clamp(pressure, kMinPressure, kMaxPressure), true};
    }

    // Lifted sample j of the move from the end of `from` to the start of `to`,
    // with a slight rise as a hovering pen would make.
    PenSample liftedSample(const Stroke& from, const Stroke& to, std::size_t j) const {
        const Point a = strokePoint(from, 1.0);
        const Point b = strokePoint(to, 0.0);
        const double f = static_cast<double>(j + 1) / static_cast<double>(from.liftAfter + 1);
        const double u = a.u + (b.u - a.u) * f;
        const double v = a.v + (b.v - a.v) * f - 0.03 * std::sin(kPi * f);
        return {x_.at(u), y_.at(v), 0, false};
    }

    Axis x_;
    Axis y_;
    std::size_t pos_ = 0;
};

}  // namespace vellix_sim

#endif
