// Symbols, console lines, text formatting, the time value and memory blocks.
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "pd/pd_host.h"

namespace kopd {

namespace {

// Pd formats at most MAXPDSTRING bytes in one call: a longer line goes out in pieces.
void post_line(const char* text, std::size_t n) {
  constexpr std::size_t kPiece = 512;
  if (n < kPiece) {
    post("%s", text);
    return;
  }
  for (std::size_t at = 0; at < n; at += kPiece) {
    const int len = static_cast<int>(std::min(kPiece, n - at));
    startpost("%.*s", len, text + at);
  }
  endpost();
}

void vconsole(bool is_error, const char* fmt, va_list ap) {
  char small[1024];
  va_list copy;
  va_copy(copy, ap);
  const int n = std::vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (n < 0) return;
  const char* text = small;
  std::string big;
  if (static_cast<std::size_t>(n) >= sizeof small) {
    big.assign(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), fmt, ap);
    text = big.c_str();
  }
  if (is_error)
    pd_error(nullptr, "%s", text);
  else
    post_line(text, static_cast<std::size_t>(n));
}

}  // namespace

}  // namespace kopd

namespace max {

Symbol* gensym(const char* text) { return kopd::sym(::gensym(text ? text : "")); }

void post(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  kopd::vconsole(false, fmt, ap);
  va_end(ap);
}

void error(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  kopd::vconsole(true, fmt, ap);
  va_end(ap);
}

void sprintf(char* buffer, const char* fmt, ...) {
  if (!buffer) return;
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buffer, kTextBufferSize, fmt, ap);
  va_end(ap);
}

// Milliseconds since the library was loaded.
std::int32_t gettime() {
  using clock = std::chrono::steady_clock;
  static const clock::time_point start = clock::now();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(clock::now() - start).count();
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(ms));
}

void* sysmem_newptr(std::int32_t size) {
  if (size < 0) return nullptr;
  return std::malloc(size == 0 ? 1 : static_cast<std::size_t>(size));
}

void* sysmem_newptrclear(std::int32_t size) {
  if (size < 0) return nullptr;
  return std::calloc(1, size == 0 ? 1 : static_cast<std::size_t>(size));
}

void sysmem_freeptr(void* block) { std::free(block); }

}  // namespace max
