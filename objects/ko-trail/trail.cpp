// ko-trail: keeps the numbers sent to it and sends a window of the most recent ones as
// one list, newest first or oldest first. The history itself is in history.cpp, shared
// with ko-pointbank.
#include <cstdint>

#include "frame/bind.h"
#include "frame/console.h"
#include "objects/ko-trail/history.h"

namespace {

using ko::trail::History;

struct Trail {
  max::Object ob;
  History history;
};

max::Class* trail_class;

// Always oldest first, whatever `om` is.
void trail_bang(Trail* x) { ko::trail::history_send_oldest_first(x->history); }

void trail_assist(Trail*, void*, std::int32_t kind, std::int32_t index, char* text) {
  ko::assist_texts(kind, index, text, ko::trail::kInletText,
                   {"(list) trail   e         c              h              o"});
}

Trail* trail_new(std::int32_t size, std::int32_t om) {
  auto* x = reinterpret_cast<Trail*>(max::newobject(trail_class));
  ko::trail::history_init(x->history, &x->ob, size, om);
  max::intin(&x->ob, 1);
  return x;
}

}  // namespace

__attribute__((visibility("default"))) int main() {
  const std::int32_t time = max::gettime();
  max::setup(&trail_class, ko::handler<trail_new>(), nullptr, sizeof(Trail), nullptr, max::A_DEFLONG, max::A_DEFLONG,
             0);
  max::addbang(ko::handler<trail_bang>());
  ko::trail::HistoryMessages<Trail>::bind();
  max::addmess(ko::handler<trail_assist>(), "assist", max::A_CANT, 0);
  KO_POST_BANNER(ko::Banner::F, "ko-trail", time);
  return 0;
}
