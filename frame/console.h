// What every object writes for people: the load banner, the console dump and the assist
// texts of its inlets and outlets.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "frame/maxapi.h"

namespace ko {

enum class Banner { A, B, C, D, E, F, G, H };

// Posts the load banner of the given form (H is a fixed version stamp: no name, no time). Build date and time come from the plug-in's
// own compilation, through KO_POST_BANNER.
void post_banner(Banner form, const char* name, std::int32_t time, const char* build_date,
                 const char* build_time);

#define KO_POST_BANNER(form, name, time) ::ko::post_banner(form, name, time, __DATE__, __TIME__)

// One field line of a console dump: a format with one %ld or one %f conversion.
struct DumpLine {
  DumpLine(const char* f, std::int32_t v) : format(f), is_long(true), l(v), d(0) {}
  DumpLine(const char* f, double v) : format(f), is_long(false), l(0), d(v) {}
  const char* format;
  bool is_long;
  long l;
  double d;
};

// " \t" twice, the title line, " \t", the fields, " \t\t", " \t": one post each.
void post_dump(const char* title_line, std::initializer_list<DumpLine> fields);

// Writes the inlet text for any inlet index, the text of an outlet index that has one,
// and nothing otherwise.
void assist_texts(std::int32_t kind, std::int32_t index, char* text, const char* inlet,
                  std::initializer_list<const char*> outlets);

// The inlet text of nearly every control object.
inline constexpr const char* kEchoInlet = "echo e   c  h   o";

}  // namespace ko
