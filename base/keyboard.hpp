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
// A thread that reads the keyboard every few tens of milliseconds for as long
// as a search runs, so that Escape stops it even while the work is deep
// inside one iteration or one record. While it runs, it is the only reader.
void StartKeyboardWatch();
void StopKeyboardWatch();

}  // namespace quorvex
