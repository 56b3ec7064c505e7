#include "control/console.hpp"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace quorvex {

namespace {

thread_local std::string* tBlock = nullptr;
// One block at a time on the console.
std::mutex gBlockMutex;

void WriteBlock(std::string& text) {
  if (text.empty()) return;
  std::lock_guard lock(gBlockMutex);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  text.clear();
}

}  // namespace

void Print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  if (tBlock == nullptr) {
    std::vprintf(format, args);
    va_end(args);
    return;
  }
  char small[512];
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (length >= 0 && static_cast<size_t>(length) < sizeof small) {
    tBlock->append(small, static_cast<size_t>(length));
  } else if (length >= 0) {
    const size_t at = tBlock->size();
    tBlock->resize(at + static_cast<size_t>(length) + 1);
    std::vsnprintf(tBlock->data() + at, static_cast<size_t>(length) + 1, format, again);
    tBlock->resize(at + static_cast<size_t>(length));
  }
  va_end(again);
}

void FlushConsole() {
  if (tBlock == nullptr) std::fflush(stdout);
}

ConsoleBlock::ConsoleBlock() {
  tBlock = &text_;
}

ConsoleBlock::~ConsoleBlock() {
  tBlock = nullptr;
  WriteBlock(text_);
}

void EmitConsoleBlock() {
  if (tBlock != nullptr) WriteBlock(*tBlock);
}

}  // namespace quorvex
