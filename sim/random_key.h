// Randomness keyed by position instead of drawn from one running stream: the same (seed, channel,
// index, stream) always gives the same number, so a model's noise and sparks do not depend on how
// many frames arrived or in which pieces the model time was integrated.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>

namespace varnot::sim {

constexpr std::uint64_t splitmix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

constexpr std::uint64_t keyOf(std::uint64_t seed, std::uint64_t channel, std::uint64_t index,
                              std::uint64_t stream) {
    std::uint64_t h = splitmix64(seed);
    h = splitmix64(h ^ channel);
    h = splitmix64(h ^ index);
    return splitmix64(h ^ stream);
}

// Uniform in [0, 1).
inline double uniformAt(std::uint64_t seed, std::uint64_t channel, std::uint64_t index,
                        std::uint64_t stream) {
    return static_cast<double>(keyOf(seed, channel, index, stream) >> 11) * 0x1.0p-53;
}

// Standard normal (Box-Muller on two keyed uniforms).
inline double gaussianAt(std::uint64_t seed, std::uint64_t channel, std::uint64_t index,
                         std::uint64_t stream) {
    const double u1 = 1.0 - uniformAt(seed, channel, index, 2 * stream);  // (0, 1]
    const double u2 = uniformAt(seed, channel, index, 2 * stream + 1);
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

}  // namespace varnot::sim
