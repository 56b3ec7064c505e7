#pragma once

namespace quorvex {

// Takes an exclusive lock on the current folder for the life of the process.
// Returns false when another process holds it.
bool LockWorkingFolder();

}  // namespace quorvex
