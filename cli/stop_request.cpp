#include "cli/stop_request.h"

#include <csignal>
#include <initializer_list>

namespace {

volatile std::sig_atomic_t g_requests = 0;

void OnSignal(int) { g_requests = g_requests + 1; }

} // namespace

void CatchStopRequests()
{
    struct sigaction action{};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

bool StopRequested() { return g_requests != 0; }

void ForgetStopRequests() { g_requests = 0; }
