// ko-listfill: stretches a list by putting `num` copies of `val` between every two
// neighbours (1 2 3 becomes 1 0 0 2 0 0 3). The last list is kept, so bang pads it again
// with the current settings.
#include <cstdint>

#include "frame/args.h"
#include "frame/bind.h"
#include "frame/console.h"

namespace {

constexpr int kLength = 257;  // the longest list kept and the longest list sent

struct ListFill {
  max::Object ob;
  max::Outlet* out;
  max::Atom list[kLength];
  float stored[kLength];
  std::int16_t num;
  float val;
  std::int16_t stored_count;
  std::int16_t emitted_count;
};

max::Class* listfill_class;

std::int16_t low_16(std::int32_t n) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(n) & 0xFFFFu));
}

// The padded list is cut at its first 257 values, so the loops never run past them.
void listfill_bang(ListFill* x) {
  int n = 0;
  for (int k = 0; k < x->stored_count && n < kLength; ++k) {
    if (k > 0)
      for (int p = 0; p < x->num && n < kLength; ++p) ko::atom_setfloat(x->list[n++], x->val);
    if (n < kLength) ko::atom_setfloat(x->list[n++], x->stored[k]);
  }
  x->emitted_count = static_cast<std::int16_t>(n);
  max::outlet_list(x->out, nullptr, static_cast<short>(n), x->list);
}

// An empty list changes nothing; a longer one than the store keeps its first values.
void listfill_list(ListFill* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  if (argc <= 0) return;
  const int n = argc > kLength ? kLength : static_cast<int>(argc);
  x->stored_count = static_cast<std::int16_t>(n);
  for (int k = 0; k < n; ++k) {
    if (ko::is_number(argv[k]))
      x->stored[k] = static_cast<float>(ko::number_of(argv[k]));
    else if (argv[k].a_type == max::A_SYM)
      max::error("now, that's a sym isn't it?");
  }
  listfill_bang(x);
}

void listfill_num(ListFill* x, std::int32_t n) {
  x->num = static_cast<std::int16_t>(n <= 0 ? 0 : n > kLength ? kLength : n);
}

void listfill_val(ListFill* x, double v) { x->val = static_cast<float>(v); }

void listfill_assist(ListFill*, void*, std::int32_t kind, std::int32_t index, char* text) {
  ko::assist_texts(kind, index, text, ko::kEchoInlet, {"(list) pad     e         c            h              o"});
}

// The first argument is the pad length, unlimited here; the second the pad value. A first
// argument that is no number sets neither.
ListFill* listfill_new(max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  auto* x = reinterpret_cast<ListFill*>(max::newobject(listfill_class));
  x->out = max::listout(&x->ob);
  x->num = 2;
  x->val = 0;
  if (argc >= 1 && ko::is_number(argv[0])) {
    x->num = low_16(argv[0].a_type == max::A_LONG ? argv[0].a_w.w_long : ko::to_long(argv[0].a_w.w_float));
    if (argc >= 2 && ko::is_number(argv[1])) x->val = static_cast<float>(ko::number_of(argv[1]));
  }
  return x;
}

}  // namespace

__attribute__((visibility("default"))) int main() {
  const std::int32_t time = max::gettime();
  max::setup(&listfill_class, ko::handler<listfill_new>(), nullptr, sizeof(ListFill), nullptr, max::A_GIMME, 0);
  max::addbang(ko::handler<listfill_bang>());
  max::addmess(ko::handler<listfill_list>(), "list", max::A_GIMME, 0);
  max::addmess(ko::handler<listfill_num>(), "num", max::A_DEFLONG, 0);
  max::addmess(ko::handler<listfill_val>(), "val", max::A_DEFFLOAT, 0);
  max::addfloat(ko::handler<listfill_val>());
  max::addmess(ko::handler<listfill_assist>(), "assist", max::A_CANT, 0);
  KO_POST_BANNER(ko::Banner::C, "ko-listfill", time);
  return 0;
}
