#include "control/keyboard.hpp"
namespace quorvex {
void KeyboardBegin() {}  // stub
void KeyboardEnd() {}    // stub
void PollEscapeKey() {}  // stub
}  // namespace quorvex
