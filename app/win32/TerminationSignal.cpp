#include "app/TerminationSignal.h"

#include <csignal>
#include <initializer_list>

namespace nuv {

namespace {

void OnSignal(int number) {
    // The C runtime resets the handler before calling it.
    std::signal(number, &OnSignal);
    TerminationSignal::Record(number);
}

} // namespace

int TerminationSignal::Install() {
    int status = 0;
    for (int number : {SIGTERM, SIGINT, SIGBREAK})
        if (std::signal(number, &OnSignal) == SIG_ERR) status = 1;
    return status;
}

} // namespace nuv
