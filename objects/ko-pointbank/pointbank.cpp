// ko-pointbank: the value history of ko-trail plus a bank of screens. A list stores up to
// ten (x, y) points as the next screen, cycling down through `num_ecran` screens; bang
// sends every stored point as (x, y, screen) and then the history's oldest-first window.
#include <cstdint>

#include "frame/args.h"
#include "frame/bind.h"
#include "frame/console.h"
#include "objects/ko-trail/history.h"

namespace {

using ko::trail::History;

constexpr int kScreens = 100;
constexpr int kNumbers = 20;  // ten points per screen

struct Screen {
  double xy[kNumbers];  // x0, y0, x1, y1, ...
  std::int16_t count;   // points in use
};

struct PointBank {
  max::Object ob;
  History history;
  Screen screens[kScreens];
  std::int32_t current;    // the screen the next list fills
  std::int32_t num_ecran;  // screens in the cycle, 1..100
};

static_assert(sizeof(PointBank) <= 32767, "the record size travels as a short");

max::Class* pointbank_class;

// Screens num_ecran - 1 down to 0, round and round. A list that finds the current screen
// outside the cycle (num_ecran was lowered) starts again at its top.
void pointbank_list(PointBank* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  double scratch[kNumbers] = {};  // places a non-number leaves unfilled are 0
  const int n = argc > kNumbers ? kNumbers : argc < 0 ? 0 : static_cast<int>(argc);
  ko::read_numbers(n, argv, scratch, n);
  const int pairs = n / 2;
  if (x->current >= x->num_ecran || x->current < 0) x->current = x->num_ecran - 1;
  Screen& screen = x->screens[x->current];
  for (int k = 0; k < 2 * pairs; ++k) screen.xy[k] = scratch[k];
  screen.count = static_cast<std::int16_t>(pairs);
  x->current = x->current == 0 ? x->num_ecran - 1 : x->current - 1;
}

void pointbank_num_ecran(PointBank* x, std::int32_t n) { x->num_ecran = n < 1 ? 1 : n > kScreens ? kScreens : n; }

void pointbank_bang(PointBank* x) {
  History& h = x->history;
  for (int i = 0; i < x->num_ecran; ++i) {
    const Screen& screen = x->screens[i];
    for (int p = 0; p < screen.count; ++p) ko::outlet_floats(h.out, h.list, {screen.xy[2 * p], screen.xy[2 * p + 1], double(i)});
  }
  ko::trail::history_send_oldest_first(h);
}

void pointbank_assist(PointBank*, void*, std::int32_t kind, std::int32_t index, char* text) {
  ko::assist_texts(kind, index, text, ko::trail::kInletText,
                   {"(list) pointbank   e         c              h              o"});
}

PointBank* pointbank_new(std::int32_t size, std::int32_t om) {
  auto* x = reinterpret_cast<PointBank*>(max::newobject(pointbank_class));
  ko::trail::history_init(x->history, &x->ob, size, om);
  max::intin(&x->ob, 1);
  x->num_ecran = 10;
  x->current = x->num_ecran - 1;
  return x;
}

}  // namespace

__attribute__((visibility("default"))) int main() {
  const std::int32_t time = max::gettime();
  max::setup(&pointbank_class, ko::handler<pointbank_new>(), nullptr, sizeof(PointBank), nullptr, max::A_DEFLONG,
             max::A_DEFLONG, 0);
  max::addbang(ko::handler<pointbank_bang>());
  ko::trail::HistoryMessages<PointBank>::bind();
  max::addmess(ko::handler<pointbank_list>(), "list", max::A_GIMME, 0);
  max::addmess(ko::handler<pointbank_num_ecran>(), "num_ecran", max::A_DEFLONG, 0);
  max::addmess(ko::handler<pointbank_assist>(), "assist", max::A_CANT, 0);
  KO_POST_BANNER(ko::Banner::F, "ko-pointbank", time);
  return 0;
}
