#include "frame/console.h"

namespace ko {

namespace {
constexpr const char* kAttribution = "ko objects";
constexpr const char* kBlanks53 = "                                                     ";
constexpr const char* kBlanks33 = "                                 ";
constexpr const char* kBlanks12 = "            ";
constexpr const char* kD0x7 = "\xD0\xD0\xD0\xD0\xD0\xD0\xD0";
}  // namespace

void post_banner(Banner form, const char* name, std::int32_t time, const char* date, const char* clock) {
  const unsigned t = static_cast<std::uint32_t>(time);
  switch (form) {
    case Banner::A:
    case Banner::B:
      max::post("%s \t \a \t  %s\t \a \t %08xd%s%s   %s", date, clock, t,
                form == Banner::A ? kBlanks53 : kBlanks33, name, kAttribution);
      break;
    case Banner::C:
    case Banner::D:
      max::post("%s \t \a \t  %s\t %08xd%s%s   %s", date, clock, t, form == Banner::C ? kBlanks33 : kBlanks12,
                name, kAttribution);
      break;
    case Banner::E:
      max::post("\t \t \a \t  %08xd\t  \t\t\t%s %s%s", t, name, kAttribution, clock);
      break;
    case Banner::F:
      max::post("%s \t \a \t  %s\t %07xd", date, clock, t);
      break;
    case Banner::G:
      max::post("%s%s, %s%s\t\tv.%s", kD0x7, name, kAttribution, kD0x7, "Ax14@");
      break;
    case Banner::H:
      max::post("%s", "// 20041212   \xF5\xF5\xF5  \xF8\xF8\xF8\xF8\xF8\xF8  \xF5\xF5\xF5");
      break;
  }
}

void post_dump(const char* title_line, std::initializer_list<DumpLine> fields) {
  max::post(" \t");
  max::post(" \t");
  max::post("%s", title_line);
  max::post(" \t");
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  for (const DumpLine& f : fields) {
    if (f.is_long)
      max::post(f.format, f.l);
    else
      max::post(f.format, f.d);
  }
#pragma GCC diagnostic pop
  max::post(" \t\t");
  max::post(" \t");
}

void assist_texts(std::int32_t kind, std::int32_t index, char* text, const char* inlet,
                  std::initializer_list<const char*> outlets) {
  if (kind == max::ASSIST_INLET) {
    max::sprintf(text, "%s", inlet);
  } else if (kind == max::ASSIST_OUTLET && index >= 0 && static_cast<std::size_t>(index) < outlets.size()) {
    max::sprintf(text, "%s", outlets.begin()[index]);
  }
}

}  // namespace ko
