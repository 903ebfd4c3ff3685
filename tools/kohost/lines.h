// Splits script bytes into lines as they arrive: a line ends at LF, CRLF or a lone CR,
// and a UTF-8 byte order mark at the very start is dropped. Bytes may come in pieces of
// any size (a pipe, a terminal), so a CR at the end of one piece and an LF at the start
// of the next still end one line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kohost {

// Line numbers count from 1; 64 bits cannot run out.
using LineNo = std::uint64_t;

class LineReader {
 public:
  // Longer lines are not kept: they come out empty and marked too long.
  static constexpr std::size_t kMaxLine = std::size_t{1} << 20;

  // Adds bytes; the lines they complete become available from next().
  void feed(std::string_view bytes);
  // No more bytes will come: a last line without an end becomes available.
  void finish() { finished_ = true; }

  // The next complete line, without its end. False when none is ready.
  bool next(std::string& line);
  // The number of the line next() returned last.
  LineNo line_no() const { return line_no_; }
  // Whether that line was longer than kMaxLine (its text is then empty).
  bool too_long() const { return too_long_; }

 private:
  bool take_bom();

  std::string buf_;
  std::size_t start_ = 0;      // first byte of buf_ not yet returned
  std::size_t scanned_ = 0;    // buf_ holds no line end before this
  std::size_t dropped_ = 0;    // bytes of an overlong line already thrown away
  bool at_start_ = true;       // nothing returned or dropped yet: a BOM may come
  bool skip_lf_ = false;       // the last line ended at a CR; an LF right after belongs to it
  bool finished_ = false;
  bool too_long_ = false;
  LineNo line_no_ = 0;
};

}  // namespace kohost
