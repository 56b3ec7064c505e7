#pragma once

namespace quorvex {

// Puts a terminal standard input into non-canonical, no-echo mode until the
// process ends (restored at exit). Does nothing when stdin is not a terminal.
void KeyboardBegin();
// Restores the terminal mode saved by KeyboardBegin; safe to call twice.
void KeyboardEnd();
// Reads a waiting key without blocking; a lone Escape sets StopRequested.
// Never reads a standard input that is not a terminal.
void PollEscapeKey();

}  // namespace quorvex
