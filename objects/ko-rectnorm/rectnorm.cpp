// ko-rectnorm: a rectangle given by two corners in any order, (x1, y1, x2, y2), sent on
// as (min x, min y, max x, max y). Longs in give longs out, floats in give floats out.
#include <cstdint>

#include "frame/args.h"
#include "frame/bind.h"
#include "frame/console.h"

namespace {

struct RectNorm {
  max::Object ob;
  max::Outlet* out;
  double input[4];   // x1, y1, x2, y2 as last accepted
  double result[4];  // min x, min y, max x, max y
  max::Atom list[4];
  std::int16_t float_out;
};

max::Class* rectnorm_class;

void rectnorm_bang(RectNorm* x) {
  const double* in = x->input;
  x->result[0] = in[0] < in[2] ? in[0] : in[2];
  x->result[1] = in[1] < in[3] ? in[1] : in[3];
  x->result[2] = in[0] > in[2] ? in[0] : in[2];
  x->result[3] = in[1] > in[3] ? in[1] : in[3];
  for (int i = 0; i < 4; ++i) {
    if (x->float_out)
      ko::atom_setfloat(x->list[i], x->result[i]);
    else
      ko::atom_setlong(x->list[i], ko::to_long(x->result[i]));
  }
  max::outlet_list(x->out, nullptr, 4, x->list);
}

// Only a list of exactly four atoms starting with a number is taken; any other list
// sends the last result again.
void rectnorm_list(RectNorm* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  ko::NumberKind kind;
  if (argc == 4 && ko::first_kind(argc, argv, kind)) {
    ko::ArgCursor(argc, argv).read_as(kind, x->input, 4);
    x->float_out = kind == ko::NumberKind::Float ? 1 : 0;
  }
  rectnorm_bang(x);
}

void rectnorm_assist(RectNorm*, void*, std::int32_t kind, std::int32_t index, char* text) {
  ko::assist_texts(kind, index, text, ko::kEchoInlet, {"(list) rectnorm     e         c            h              o"});
}

// Creation arguments are not read.
RectNorm* rectnorm_new(max::Symbol*, std::int32_t, const max::Atom*) {
  auto* x = reinterpret_cast<RectNorm*>(max::newobject(rectnorm_class));
  x->out = max::listout(&x->ob);
  return x;
}

}  // namespace

__attribute__((visibility("default"))) int main() {
  const std::int32_t time = max::gettime();
  max::setup(&rectnorm_class, ko::handler<rectnorm_new>(), nullptr, sizeof(RectNorm), nullptr, max::A_GIMME, 0);
  max::addbang(ko::handler<rectnorm_bang>());
  max::addmess(ko::handler<rectnorm_list>(), "list", max::A_GIMME, 0);
  max::addmess(ko::handler<rectnorm_assist>(), "assist", max::A_CANT, 0);
  KO_POST_BANNER(ko::Banner::A, "ko-rectnorm", time);
  return 0;
}
