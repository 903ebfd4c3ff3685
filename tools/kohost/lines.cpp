#include "tools/kohost/lines.h"

#include <algorithm>
#include <limits>

namespace kohost {

namespace {
constexpr std::string_view kBom = "\xEF\xBB\xBF";
}

void LineReader::feed(std::string_view bytes) {
  buf_.erase(0, start_);
  scanned_ = scanned_ > start_ ? scanned_ - start_ : 0;
  start_ = 0;
  buf_.append(bytes);
}

// Drops a byte order mark at the start. False while the bytes so far could still be
// the beginning of one.
bool LineReader::take_bom() {
  const std::string_view rest = std::string_view(buf_).substr(start_);
  if (rest.size() < kBom.size() && !finished_ && kBom.starts_with(rest)) return false;
  if (rest.starts_with(kBom)) start_ += kBom.size();
  at_start_ = false;
  return true;
}

bool LineReader::next(std::string& line) {
  if (at_start_ && !take_bom()) return false;
  if (skip_lf_ && start_ < buf_.size()) {
    if (buf_[start_] == '\n') ++start_;
    skip_lf_ = false;
  }
  // Bytes before scanned_ hold no line end: a line that arrives a byte at a time is
  // searched once, not once per byte.
  std::size_t end = buf_.find_first_of("\r\n", std::max(start_, scanned_));
  if (end == std::string::npos) {
    scanned_ = buf_.size();
    const std::size_t pending = buf_.size() - start_;
    if (!finished_) {
      // A line this long is a mistake whatever follows; keep only its length.
      if (pending > kMaxLine) {
        dropped_ += pending;
        buf_.clear();
        start_ = 0;
        scanned_ = 0;
      }
      return false;
    }
    if (pending == 0 && dropped_ == 0) return false;
    end = buf_.size();
  }
  const std::size_t len = end - start_;
  too_long_ = dropped_ + len > kMaxLine;
  if (too_long_)
    line.clear();
  else
    line.assign(buf_, start_, len);
  dropped_ = 0;
  start_ = end;
  if (end < buf_.size()) {
    ++start_;
    if (buf_[end] == '\r') {
      if (start_ == buf_.size())
        skip_lf_ = true;
      else if (buf_[start_] == '\n')
        ++start_;
    }
  }
  if (line_no_ < std::numeric_limits<LineNo>::max()) ++line_no_;
  return true;
}

}  // namespace kohost
