#include "app/TerminationSignal.h"

#include <csignal>
#include <initializer_list>

namespace nuv {

namespace {

void OnSignal(int number) { TerminationSignal::Record(number); }

} // namespace

int TerminationSignal::Install() {
    struct sigaction action = {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted waits are resumed by the code that waits, which looks at the flag.
    action.sa_flags = SA_RESTART;
    int status = 0;
    for (int number : {SIGTERM, SIGINT, SIGHUP, SIGQUIT})
        if (sigaction(number, &action, nullptr) != 0) status = 1;
    return status;
}

} // namespace nuv
