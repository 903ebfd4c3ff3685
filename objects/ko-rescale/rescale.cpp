// ko-rescale: maps a number from a source range onto a destination range, then leaves,
// clips, wraps or folds it into the destination. A result leaves only when it changed.
#include <cstdint>

#include "frame/args.h"
#include "frame/bind.h"
#include "frame/console.h"
#include "objects/ko-rescale/rescale_map.h"

namespace {

struct Rescale {
  max::Object ob;
  max::Outlet* list_out;   // outlet 1: query answers
  max::Outlet* float_out;  // outlet 0: mapped values
  double srcmin, srcmax;
  double dstmin, dstmax;
  double input;
  double result;
  std::uint8_t silence;
  std::int8_t mode;
  max::Symbol* mode_word;
  max::Atom list[5];
};

max::Class* rescale_class;
max::Symbol* sym_map;
max::Symbol* sym_mode;
max::Symbol* mode_words[4];  // the words "getmode" answers with
max::Symbol* mode_keys[4];   // the words "@mode" takes
max::Symbol* key_at;
max::Symbol* key_map;
max::Symbol* key_mode;
max::Symbol* key_silence;

// Values from numbers and range messages are kept at the precision they travel in.
double single(double v) { return static_cast<double>(static_cast<float>(v)); }

void set_mode(Rescale* x, std::int8_t mode) {
  x->mode = mode;
  x->mode_word = mode_words[mode >= 0 && mode <= 3 ? mode : 0];
}

void rescale_bang(Rescale* x) {
  const double previous = x->result;
  x->result = ko::rescale_map(x->srcmin, x->srcmax, x->dstmin, x->dstmax, x->mode, x->input);
  // NaN never equals anything, so it always goes out.
  if (!(x->result == previous)) max::outlet_float(x->float_out, x->result);
}

void rescale_srcmin(Rescale* x, double v) { x->srcmin = single(v); }
void rescale_srcmax(Rescale* x, double v) { x->srcmax = single(v); }
void rescale_dstmin(Rescale* x, double v) { x->dstmin = single(v); }
void rescale_dstmax(Rescale* x, double v) { x->dstmax = single(v); }

void rescale_float(Rescale* x, double v) {
  x->input = single(v);
  if (!x->silence) rescale_bang(x);
}

void rescale_int(Rescale* x, std::int32_t n) {
  x->input = static_cast<double>(static_cast<float>(n));
  if (!x->silence) rescale_bang(x);
}

void rescale_silence(Rescale* x, std::int32_t n) { x->silence = n > 0 ? 1 : 0; }

void rescale_mode(Rescale* x, std::int32_t n) { set_mode(x, static_cast<std::int8_t>(n <= 0 ? 0 : n >= 3 ? 3 : n)); }

double& range_field(Rescale* x, int i) {
  switch (i) {
    case 0:
      return x->srcmin;
    case 1:
      return x->srcmax;
    case 2:
      return x->dstmin;
    default:
      return x->dstmax;
  }
}

// Up to four atoms set srcmin, srcmax, dstmin, dstmax by position; a number sets its
// field by value, anything else leaves that field as it was.
void set_range(Rescale* x, std::int32_t count, const max::Atom* atoms) {
  for (int i = 0; i < count && i < 4; ++i)
    if (ko::is_number(atoms[i])) range_field(x, i) = ko::number_of(atoms[i]);
}

void rescale_setmap(Rescale* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  if (argc <= 0 || !ko::is_number(argv[0])) return;
  set_range(x, argc, argv);
}

void rescale_reset(Rescale* x) {
  x->srcmin = 0;
  x->srcmax = 1;
  x->dstmin = 0;
  x->dstmax = 127;
  x->silence = 0;
  set_mode(x, 0);
  x->input = 0;
  x->result = 0;
}

void rescale_getmap(Rescale* x) {
  ko::atom_setsym(x->list[0], sym_map);
  ko::atom_setfloat(x->list[1], x->srcmin);
  ko::atom_setfloat(x->list[2], x->srcmax);
  ko::atom_setfloat(x->list[3], x->dstmin);
  ko::atom_setfloat(x->list[4], x->dstmax);
  max::outlet_list(x->list_out, nullptr, 5, x->list);
}

void rescale_getmode(Rescale* x) {
  ko::atom_setsym(x->list[0], sym_mode);
  ko::atom_setlong(x->list[1], x->mode);
  ko::atom_setsym(x->list[2], x->mode_word);
  max::outlet_list(x->list_out, nullptr, 3, x->list);
}

void rescale_assist(Rescale*, void*, std::int32_t kind, std::int32_t index, char* text) {
  ko::assist_texts(kind, index, text, ko::kEchoInlet,
                   {"(float)     e         c            h              o",
                    "(list)       e             c                h                   o"});
}

// The low 8 bits of a number truncated toward zero, read as a signed value.
std::int8_t low_byte(double v) {
  return static_cast<std::int8_t>(static_cast<std::uint8_t>(static_cast<std::uint32_t>(ko::to_long(v)) & 0xFFu));
}

// "@" and "@map" take the next four atoms whatever they are.
void key_range(Rescale* x, ko::ArgCursor& cur) {
  for (int i = 0; i < 4 && !cur.at_end(); ++i) {
    const max::Atom* a = cur.peek();
    if (ko::is_number(*a)) range_field(x, i) = ko::number_of(*a);
    cur.skip();
  }
}

// "@mode" takes a number, or one of its four words as the "mode" message would; any
// other atom is left for the next key.
void key_mode_arg(Rescale* x, ko::ArgCursor& cur) {
  const max::Atom* a = cur.peek();
  if (!a) return;
  if (ko::is_number(*a)) {
    set_mode(x, low_byte(ko::number_of(*a)));
    cur.skip();
    return;
  }
  for (int i = 0; i < 4; ++i) {
    if (ko::is_symbol(*a, mode_keys[i])) {
      rescale_mode(x, i);
      cur.skip();
      return;
    }
  }
}

// "@silence" takes the next atom whatever it is; only a number changes the flag.
void key_silence_arg(Rescale* x, ko::ArgCursor& cur) {
  const max::Atom* a = cur.peek();
  if (!a) return;
  if (ko::is_number(*a)) x->silence = low_byte(ko::number_of(*a)) != 0 ? 1 : 0;
  cur.skip();
}

Rescale* rescale_new(max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  auto* x = reinterpret_cast<Rescale*>(max::newobject(rescale_class));
  x->list_out = max::listout(&x->ob);
  x->float_out = max::floatout(&x->ob);
  rescale_reset(x);
  ko::keyword_passes(argc, argv, ko::Passes::Repeated, {key_at, key_map, key_mode, key_silence},
                     [&](int key, ko::ArgCursor& cur) {
                       if (key <= 1)
                         key_range(x, cur);
                       else if (key == 2)
                         key_mode_arg(x, cur);
                       else
                         key_silence_arg(x, cur);
                     });
  return x;
}

}  // namespace

__attribute__((visibility("default"))) int main() {
  const std::int32_t time = max::gettime();
  max::setup(&rescale_class, ko::handler<rescale_new>(), nullptr, sizeof(Rescale), nullptr, max::A_GIMME, 0);
  max::addbang(ko::handler<rescale_bang>());
  max::addmess(ko::handler<rescale_srcmin>(), "srcmin", max::A_DEFFLOAT, 0);
  max::addmess(ko::handler<rescale_srcmax>(), "srcmax", max::A_DEFFLOAT, 0);
  max::addmess(ko::handler<rescale_dstmin>(), "dstmin", max::A_DEFFLOAT, 0);
  max::addmess(ko::handler<rescale_dstmax>(), "dstmax", max::A_DEFFLOAT, 0);
  max::addmess(ko::handler<rescale_float>(), "echo", max::A_DEFFLOAT, 0);
  max::addmess(ko::handler<rescale_silence>(), "silence", max::A_DEFLONG, 0);
  max::addmess(ko::handler<rescale_mode>(), "mode", max::A_DEFLONG, 0);
  max::addmess(ko::handler<rescale_setmap>(), "map", max::A_GIMME, 0);
  max::addmess(ko::handler<rescale_reset>(), "reset", 0);
  max::addmess(ko::handler<rescale_getmap>(), "getmap", 0);
  max::addmess(ko::handler<rescale_getmode>(), "getmode", 0);
  max::addint(ko::handler<rescale_int>());
  max::addfloat(ko::handler<rescale_float>());
  max::addmess(ko::handler<rescale_assist>(), "assist", max::A_CANT, 0);
  sym_map = max::gensym("map");
  sym_mode = max::gensym("mode");
  mode_words[0] = max::gensym("inter/extra(-)polate");
  mode_words[1] = max::gensym("clip");
  mode_words[2] = max::gensym("wrap");
  mode_words[3] = max::gensym("fold");
  mode_keys[0] = max::gensym("polate");
  mode_keys[1] = mode_words[1];
  mode_keys[2] = mode_words[2];
  mode_keys[3] = mode_words[3];
  key_at = max::gensym("@");
  key_map = max::gensym("@map");
  key_mode = max::gensym("@mode");
  key_silence = max::gensym("@silence");
  KO_POST_BANNER(ko::Banner::E, "ko-rescale", time);
  return 0;
}
