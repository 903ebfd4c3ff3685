// Console lines, text formatting, the time value and memory blocks.
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "host/patch.h"
#include "host/state.h"

namespace kohost {

namespace {
// Formats one console line; lines of ordinary length need no allocation.
void vconsole(bool is_error, const char* fmt, va_list ap) {
  char buf[1024];
  va_list copy;
  va_copy(copy, ap);
  const int n = std::vsnprintf(buf, sizeof buf, fmt, copy);
  va_end(copy);
  if (n < 0) return;
  if (static_cast<std::size_t>(n) < sizeof buf) {
    console_line(is_error, std::string_view(buf, static_cast<std::size_t>(n)));
    return;
  }
  std::string big(static_cast<std::size_t>(n) + 1, '\0');
  std::vsnprintf(big.data(), big.size(), fmt, ap);
  big.resize(static_cast<std::size_t>(n));
  console_line(is_error, big);
}
// Calls of sysmem_newptr / sysmem_newptrclear until the one that fails; 0: none fails.
std::int64_t fail_countdown = 0;

}  // namespace

void fail_allocation(std::int64_t nth) { fail_countdown = nth > 0 ? nth : 0; }

bool allocation_fails() {
  if (fail_countdown == 0) return false;
  return --fail_countdown == 0;
}

void console_line(bool is_error, std::string_view text) {
  if (Patch* p = run.active)
    p->notify_console(is_error, text);
  else
    std::fprintf(stderr, "%s%.*s\n", is_error ? "error: " : "console: ", static_cast<int>(text.size()), text.data());
}

}  // namespace kohost

namespace max {

void post(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  kohost::vconsole(false, fmt, ap);
  va_end(ap);
}

void error(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  kohost::vconsole(true, fmt, ap);
  va_end(ap);
}

void sprintf(char* buffer, const char* fmt, ...) {
  if (!buffer) return;
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buffer, kTextBufferSize, fmt, ap);
  va_end(ap);
}

// Milliseconds since the host started.
std::int32_t gettime() {
  using clock = std::chrono::steady_clock;
  static const clock::time_point start = clock::now();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(clock::now() - start).count();
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(ms));
}

void* sysmem_newptr(std::int32_t size) {
  if (size < 0 || kohost::allocation_fails()) return nullptr;
  return std::malloc(size == 0 ? 1 : static_cast<std::size_t>(size));
}

void* sysmem_newptrclear(std::int32_t size) {
  if (size < 0 || kohost::allocation_fails()) return nullptr;
  return std::calloc(1, size == 0 ? 1 : static_cast<std::size_t>(size));
}

void sysmem_freeptr(void* block) { std::free(block); }

}  // namespace max
