#pragma once

namespace quorvex {

// SIGINT, SIGTERM and SIGHUP set StopRequested, so they stop a run as Escape does.
void InstallStopSignals();

}  // namespace quorvex
