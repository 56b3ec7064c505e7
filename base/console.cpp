#include "base/console.hpp"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace quorvex {

namespace {

thread_local std::string* tBlock = nullptr;
std::atomic<bool> gQuiet{false};
// One block at a time on the console.
std::mutex gBlockMutex;

void WriteBlock(std::string& text) {
  if (text.empty()) return;
  std::lock_guard lock(gBlockMutex);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  text.clear();
}

void PrintArguments(const char* format, va_list args) {
  if (tBlock == nullptr) {
    std::vprintf(format, args);
    return;
  }
  char small[512];
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(small, sizeof small, format, args);
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

}  // namespace

void Print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  PrintArguments(format, args);
  va_end(args);
}

void PrintDetail(const char* format, ...) {
  if (gQuiet.load(std::memory_order_relaxed)) return;
  va_list args;
  va_start(args, format);
  PrintArguments(format, args);
  va_end(args);
}

void SetQuietConsole(bool quiet) {
  gQuiet = quiet;
}

bool QuietConsole() {
  return gQuiet;
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
