#pragma once

#include <cstddef>
#include <cstdint>

namespace nuv {

// A device's table for one of the engine's render-state enumerations: one entry per engine value,
// in the engine's order. The entry count is checked against the enumeration's count when the
// table is compiled, so a value added to the engine cannot go unmapped on one device.
class StateTable {
public:
    template <int Count, class T, size_t N>
    static constexpr T Map(const T (&table)[N], int32_t value, T fallback) {
        static_assert(N == size_t(Count), "a device table needs exactly one entry per engine value");
        return value >= 0 && value < Count ? table[value] : fallback;
    }
};

} // namespace nuv
