#pragma once

#include <cstdlib>

namespace nuv {

// The C library's rand() reduced to 0..32767, the range every random spread of the scene is
// written for (centre - width + rand / 32767 * 2 width). glibc's rand() reaches 2^31 - 1, which
// would throw such values far outside their spread; Windows' rand() is already 15 bits.
inline int Rand15() {
    return std::rand() & 0x7FFF;
}

} // namespace nuv
