#pragma once

namespace quorvex {

// Takes an exclusive lock on the current folder for the life of the process.
// Returns false when another process holds it.
bool LockWorkingFolder();

enum class FolderLockState { Free, Held, Unknown };
// Whether another process (a search) holds the current folder's lock, found
// without disturbing it. Unknown where the folder cannot be opened or the
// file system has no flock.
FolderLockState ProbeWorkingFolderLock();

}  // namespace quorvex
