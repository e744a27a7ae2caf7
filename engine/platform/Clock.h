#pragma once

#include <cstdint>

namespace nuv {

// Monotonic milliseconds since an arbitrary start, wrapping at 2^32 like GetTickCount:
// differences of two readings (in uint32_t) stay right across the wrap.
uint32_t GetTickCountMs();
// Monotonic high-resolution seconds since an arbitrary start.
double GetTimeSeconds();

} // namespace nuv
