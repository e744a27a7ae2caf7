#include "platform/Clock.h"

#include <windows.h>

namespace nuv {

uint32_t GetTickCountMs() {
    return GetTickCount();
}

double GetTimeSeconds() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

} // namespace nuv
