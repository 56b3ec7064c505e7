#include "base/priority.hpp"

#include <sched.h>
#include <sys/resource.h>

#include <cerrno>

namespace quorvex {

int32_t PriorityLevel(int32_t priority) {
  static constexpr int32_t kLevels[] = {1, 2, 3, 4, 5, 6, 6, 7, 8, 9};
  if (priority < 1 || priority > 10) return 10;
  return kLevels[priority - 1];
}

bool PriorityIsIdleClass(int32_t priority) {
  return priority >= 2 && priority <= 6;
}

int32_t NiceForLevel(int32_t level) {
  if (level < 1) level = 1;
  if (level > 10) level = 10;
  // 19 * (10 - level) / 9 rounded to the nearest integer; never exactly half.
  return (2 * 19 * (10 - level) + 9) / 18;
}

void ApplyPriority(int32_t priority) {
  if (PriorityIsIdleClass(priority)) {
    sched_param param{};
    param.sched_priority = 0;
    sched_setscheduler(0, SCHED_IDLE, &param);
    return;
  }
  int32_t wanted = NiceForLevel(PriorityLevel(priority));
  errno = 0;
  int current = getpriority(PRIO_PROCESS, 0);
  if (errno != 0) return;
  // Only ever lower the priority the run was started with.
  if (wanted > current) setpriority(PRIO_PROCESS, 0, wanted);
}

}  // namespace quorvex
