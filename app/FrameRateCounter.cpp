#include "app/FrameRateCounter.h"

namespace nuv {

void FrameRateCounter::Update(double stepSeconds) {
    ++frameCount_;
    accumulated_ += stepSeconds;
    if (accumulated_ > 1.0) {
        framesPerSecond_ = frameCount_ / accumulated_;
        frameCount_ = 0;
        accumulated_ -= 1.0;
    }
}

} // namespace nuv
