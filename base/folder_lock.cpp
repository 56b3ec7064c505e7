#include "base/folder_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace quorvex {

bool LockWorkingFolder() {
  // The lock sits on the folder itself, which the run never replaces (unlike
  // PARAMS.INI); the system drops it when the process ends in any way.
  static int lockFd = -1;
  if (lockFd >= 0) return true;
  int fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  // A folder that cannot be opened or a file system without flock cannot be
  // guarded; only a lock that another process holds refuses the run.
  if (fd < 0) return true;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return !held;
  }
  lockFd = fd;
  return true;
}

FolderLockState ProbeWorkingFolderLock() {
  int fd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return FolderLockState::Unknown;
  // A shared lock cannot take anything from a search's exclusive one; it is
  // dropped at once, so only a search starting in that instant could notice it.
  FolderLockState state = FolderLockState::Free;
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
    state = errno == EWOULDBLOCK ? FolderLockState::Held : FolderLockState::Unknown;
  }
  ::close(fd);  // closing drops the shared lock
  return state;
}

}  // namespace quorvex
