#pragma once

namespace nuv {

// Status codes returned by engine operations. Failures are logged where they are detected;
// callers add their own message and pass the status up.
enum StatusCode : int {
    kStatusOk = 0,
    kStatusFailed = 1,
    kStatusNoMemory = 2,
    kStatusNotFound = 3,  // also: a null argument
};

} // namespace nuv
