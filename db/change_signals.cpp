#include "db/change_signals.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t pending_signal = 0;
constexpr int caught_signals[3] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous_actions[3];

void catch_signal(int number) { pending_signal = number; }

}  // namespace

void change_signals_catch() {
    pending_signal = 0;
    struct sigaction action {};
    action.sa_handler = catch_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i) sigaction(caught_signals[i], &action, &previous_actions[i]);
}

void change_signals_restore() {
    for (int i = 0; i < 3; ++i) sigaction(caught_signals[i], &previous_actions[i], nullptr);
}

int change_signal_pending() { return pending_signal; }
