// What every harness shares: a broken invariant stops the run with its
// condition and place, so libFuzzer keeps the input as a crash.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstring>

#define FUZZ_REQUIRE(condition)                                                                     \
    do {                                                                                            \
        if (!(condition)) {                                                                         \
            std::fprintf(stderr, "broken invariant: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            __builtin_trap();                                                                       \
        }                                                                                           \
    } while (0)

namespace fuzz {

// Equal bits, or both NaN: a recomputation must give the very same double.
inline bool SameDouble(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace fuzz
