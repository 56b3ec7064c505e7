#include "base/signals.hpp"

#include <csignal>

#include "base/run_state.hpp"

namespace quorvex {

namespace {

void RequestStop(int) {
  gRun.StopRequested = 1;
}

}  // namespace

void InstallStopSignals() {
  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  // The handler stays installed, so a second Ctrl-C while the stop is being
  // saved changes nothing; interrupted writes are restarted, not failed.
  action.sa_flags = SA_RESTART;
  const int stopSignals[] = {SIGINT, SIGTERM, SIGHUP};
  for (int signal : stopSignals) {
    // A signal the caller chose to ignore stays ignored: under nohup a hang-up
    // must not stop a run meant to outlive its terminal.
    struct sigaction previous {};
    if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

}  // namespace quorvex
