#include "control/signals.hpp"

#include <csignal>

#include "control/run_state.hpp"

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
  for (int signal : stopSignals) sigaction(signal, &action, nullptr);
}

}  // namespace quorvex
