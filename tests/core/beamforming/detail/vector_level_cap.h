#pragma once

#include <iostream>
#include <ostream>

#include "core/platform/cpu_features.h"

namespace zk::core {

// Names a level in test output (parameters and failed comparisons).
inline void PrintTo(VectorLevel level, std::ostream* out) { *out << vectorLevelName(level); }

}  // namespace zk::core

namespace zk::core::test {

inline constexpr VectorLevel kVectorLevels[] = {VectorLevel::kBaseline, VectorLevel::kAvx2,
                                                VectorLevel::kAvx512};

// Caps the vector level for one scope, so every kernel variant this CPU has runs in turn.
class VectorLevelCap {
  public:
    explicit VectorLevelCap(VectorLevel level) { detail::limitVectorLevel(level); }
    ~VectorLevelCap() { detail::limitVectorLevel(VectorLevel::kAvx512); }
    VectorLevelCap(const VectorLevelCap&) = delete;
    VectorLevelCap& operator=(const VectorLevelCap&) = delete;
};

// Whether the capped level is the one that runs; says so in the log when this CPU lacks it.
inline bool vectorLevelAvailable(VectorLevel level) {
    if (vectorLevel() == level) return true;
    std::cout << "[ SKIPPED  ] " << vectorLevelName(level) << " not available on this CPU\n";
    return false;
}

}  // namespace zk::core::test
