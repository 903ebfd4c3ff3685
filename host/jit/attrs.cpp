// Attributes: values bound to a record's fields by offset, scalar or array, with custom
// accessors and the clip filter.
#include <cstring>
#include <memory>
#include <vector>

#include "frame/truncate.h"
#include "host/jit/layer.h"

namespace jit {

namespace {

// Attributes live as long as the classes they belong to: for the life of the host.
std::vector<std::unique_ptr<Attribute>>& owned() {
  static auto* v = new std::vector<std::unique_ptr<Attribute>>;
  return *v;
}

Class* attr_class(bool array) {
  static Class* scalar = [] {
    Class* c = jit_class_new("jit_attr_offset", nullptr, nullptr, sizeof(Attribute), 0);
    jit_class_register(c);
    return c;
  }();
  static Class* arr = [] {
    Class* c = jit_class_new("jit_attr_offset_array", nullptr, nullptr, sizeof(Attribute), 0);
    jit_class_register(c);
    return c;
  }();
  return array ? arr : scalar;
}

std::size_t elem_size(max::Symbol* type) {
  if (type == _jit_sym_char) return 1;
  if (type == _jit_sym_long) return sizeof(std::int32_t);
  if (type == _jit_sym_float32) return sizeof(float);
  if (type == _jit_sym_float64) return sizeof(double);
  if (type == _jit_sym_symbol) return sizeof(max::Symbol*);
  return 0;
}

void* make_attr(const char* name, max::Symbol* type, std::int32_t count, bool array, std::int32_t flags, method get,
                method set, std::size_t count_offset, std::size_t offset) {
  if (!name || !*name || elem_size(type) == 0 || count < 1 || count > 4096) return nullptr;
  auto a = std::make_unique<Attribute>();
  a->header.jit_class = attr_class(array);
  a->header.tag = kTag;
  a->name = max::gensym(name);
  a->getter_name = max::gensym((std::string("get") + name).c_str());
  a->type = type;
  a->count = count;
  a->array = array;
  a->flags = flags;
  a->get = get;
  a->set = set;
  a->offset = offset;
  a->count_offset = count_offset;
  Attribute* out = a.get();
  owned().push_back(std::move(a));
  return out;
}

char* field_base(const Attribute* a, void* x) {
  if (a->in_ob3d) return reinterpret_cast<char*>(ob3d_of(x));
  return static_cast<char*>(x);
}

// Writes one element from an atom; an atom of the wrong kind leaves the element.
void store(const Attribute* a, char* p, const max::Atom& v) {
  const bool number = v.a_type == max::A_LONG || v.a_type == max::A_FLOAT;
  if (a->type == _jit_sym_symbol) {
    if (v.a_type == max::A_SYM && v.a_w.w_sym) std::memcpy(p, &v.a_w.w_sym, sizeof(max::Symbol*));
    return;
  }
  if (!number) return;
  if (a->type == _jit_sym_char) {
    // The low 8 bits of the value read as a long.
    const auto c = static_cast<std::uint8_t>(static_cast<std::uint32_t>(jit_atom_getlong(&v)));
    std::memcpy(p, &c, 1);
  } else if (a->type == _jit_sym_long) {
    const std::int32_t l = jit_atom_getlong(&v);
    std::memcpy(p, &l, sizeof l);
  } else if (a->type == _jit_sym_float32) {
    const auto f = static_cast<float>(jit_atom_getfloat(&v));
    std::memcpy(p, &f, sizeof f);
  } else if (a->type == _jit_sym_float64) {
    const double d = jit_atom_getfloat(&v);
    std::memcpy(p, &d, sizeof d);
  }
}

max::Atom load(const Attribute* a, const char* p) {
  max::Atom v{};
  if (a->type == _jit_sym_char) {
    std::uint8_t c;
    std::memcpy(&c, p, 1);
    v.a_type = max::A_LONG;
    v.a_w.w_long = c;
  } else if (a->type == _jit_sym_long) {
    v.a_type = max::A_LONG;
    std::memcpy(&v.a_w.w_long, p, sizeof(std::int32_t));
  } else if (a->type == _jit_sym_float32) {
    v.a_type = max::A_FLOAT;
    std::memcpy(&v.a_w.w_float, p, sizeof(float));
  } else if (a->type == _jit_sym_float64) {
    double d;
    std::memcpy(&d, p, sizeof d);
    v.a_type = max::A_FLOAT;
    v.a_w.w_float = static_cast<float>(d);
  } else {
    max::Symbol* s;
    std::memcpy(&s, p, sizeof s);
    v.a_type = max::A_SYM;
    v.a_w.w_sym = s ? s : _jit_sym_nothing;
  }
  return v;
}

void clip(const Attribute* a, max::Atom& v) {
  if (v.a_type == max::A_LONG) {
    if (a->use_min && v.a_w.w_long < a->min) v.a_w.w_long = ko::to_long(a->min);
    if (a->use_max && v.a_w.w_long > a->max) v.a_w.w_long = ko::to_long(a->max);
  } else if (v.a_type == max::A_FLOAT) {
    // NaN is below no bound and above none: it takes the lower bound, else the upper.
    if (v.a_w.w_float != v.a_w.w_float) v.a_w.w_float = static_cast<float>(a->use_min ? a->min : a->max);
    if (a->use_min && v.a_w.w_float < a->min) v.a_w.w_float = static_cast<float>(a->min);
    if (a->use_max && v.a_w.w_float > a->max) v.a_w.w_float = static_cast<float>(a->max);
  }
}

}  // namespace

bool attr_fits(const Attribute* a, std::size_t record_size) {
  if (a->get && a->set) return true;
  const std::size_t end = a->offset + elem_size(a->type) * static_cast<std::size_t>(a->count);
  if (end > record_size || a->offset < sizeof(Object)) return false;
  return a->count_offset == 0 ||
         (a->count_offset >= sizeof(Object) && a->count_offset + sizeof(std::int32_t) <= record_size);
}

void* jit_object_new(max::Symbol* attr_offset, const char* name, max::Symbol* type, std::int32_t flags, method get,
                     method set, std::size_t offset) {
  if (attr_offset != _jit_sym_jit_attr_offset) return nullptr;
  return make_attr(name, type, 1, false, flags, get, set, 0, offset);
}

void* jit_object_new(max::Symbol* attr_offset_array, const char* name, max::Symbol* type, std::int32_t count,
                     std::int32_t flags, method get, method set, std::size_t count_offset, std::size_t offset) {
  if (attr_offset_array != _jit_sym_jit_attr_offset_array) return nullptr;
  return make_attr(name, type, count, true, flags, get, set, count_offset, offset);
}

jit_err jit_attr_addfilterset_clip(void* attr, double min, double max, std::int32_t usemin, std::int32_t usemax) {
  Object* h = header_of(attr);
  if (!h || (h->jit_class != attr_class(false) && h->jit_class != attr_class(true)))
    return kErrInvalidObject;
  auto* a = reinterpret_cast<Attribute*>(attr);
  a->clip = usemin || usemax;
  a->use_min = usemin != 0;
  a->use_max = usemax != 0;
  a->min = min;
  a->max = max;
  return kOk;
}

jit_err attr_set(Attribute* a, void* x, std::int32_t argc, const max::Atom* argv) {
  if (!a || !header_of(x)) return kErrInvalidObject;
  if (argc < 0 || !argv) argc = 0;
  // The filter works on a copy; a message's atoms are only read.
  constexpr int kLocal = 64;
  max::Atom local[kLocal];
  std::vector<max::Atom> big;
  const max::Atom* vals = argv;
  if (a->clip && argc > 0) {
    max::Atom* buf = local;
    if (argc > kLocal) {
      big.assign(argv, argv + argc);
      buf = big.data();
    } else {
      std::memcpy(local, argv, sizeof(max::Atom) * static_cast<std::size_t>(argc));
    }
    for (std::int32_t i = 0; i < argc; ++i) clip(a, buf[i]);
    vals = buf;
  }
  if (a->set) {
    const Word w[] = {jit_word(x), jit_word(static_cast<void*>(a)), jit_word(argc), jit_word(vals)};
    return static_cast<jit_err>(reinterpret_cast<std::intptr_t>(a->set(4, w)));
  }
  char* base = field_base(a, x);
  if (!base) return kErrInvalidObject;
  const std::int32_t n = argc < a->count ? argc : a->count;
  const std::size_t step = elem_size(a->type);
  for (std::int32_t i = 0; i < n; ++i) store(a, base + a->offset + step * static_cast<std::size_t>(i), vals[i]);
  if (a->count_offset && n > 0 && !a->in_ob3d) std::memcpy(base + a->count_offset, &n, sizeof n);
  return kOk;
}

int attr_get_into(Attribute* a, void* x, max::Atom* out, int cap) {
  if (!a || a->get || !header_of(x)) return -1;
  const char* base = field_base(a, x);
  if (!base) return -1;
  const int n = a->count < cap ? a->count : cap;
  const std::size_t step = elem_size(a->type);
  for (int i = 0; i < n; ++i) out[i] = load(a, base + a->offset + step * static_cast<std::size_t>(i));
  return n;
}

jit_err attr_get(Attribute* a, void* x, std::int32_t* ac, max::Atom** av) {
  if (!a || !ac || !av || !header_of(x)) return kErrInvalidObject;
  if (a->get) {
    const Word w[] = {jit_word(x), jit_word(static_cast<void*>(a)), jit_word(ac), jit_word(av)};
    return static_cast<jit_err>(reinterpret_cast<std::intptr_t>(a->get(4, w)));
  }
  auto* atoms = static_cast<max::Atom*>(jit_getbytes(static_cast<std::int64_t>(sizeof(max::Atom)) * a->count));
  if (!atoms) return kErrNoMemory;
  const int n = attr_get_into(a, x, atoms, a->count);
  if (n < 0) {
    jit_freebytes(atoms, 0);
    return kErrInvalidObject;
  }
  *ac = n;
  *av = atoms;
  return kOk;
}

namespace {

// The first value of an attribute, whichever way it is read.
bool first_value(void* x, max::Symbol* name, max::Atom& out) {
  Attribute* a = find_attr(class_of(x), name);
  if (!a) return false;
  if (!a->get) return attr_get_into(a, x, &out, 1) == 1;
  std::int32_t ac = 0;
  max::Atom* av = nullptr;
  const bool ok = attr_get(a, x, &ac, &av) == kOk && ac > 0 && av;
  if (ok) out = av[0];
  jit_freebytes(av, 0);
  return ok;
}

jit_err set_one(void* x, max::Symbol* name, const max::Atom& v) {
  Attribute* a = find_attr(class_of(x), name);
  return a ? attr_set(a, x, 1, &v) : kErrGeneric;
}

}  // namespace

std::int32_t jit_attr_getlong(void* x, max::Symbol* name) {
  max::Atom v;
  return first_value(x, name, v) ? jit_atom_getlong(&v) : 0;
}

double jit_attr_getfloat(void* x, max::Symbol* name) {
  max::Atom v;
  return first_value(x, name, v) ? jit_atom_getfloat(&v) : 0.0;
}

max::Symbol* jit_attr_getsym(void* x, max::Symbol* name) {
  max::Atom v;
  return first_value(x, name, v) ? jit_atom_getsym(&v) : _jit_sym_nothing;
}

jit_err jit_attr_setlong(void* x, max::Symbol* name, std::int32_t v) {
  max::Atom a{};
  a.a_type = max::A_LONG;
  a.a_w.w_long = v;
  return set_one(x, name, a);
}

jit_err jit_attr_setfloat(void* x, max::Symbol* name, double v) {
  max::Atom a{};
  a.a_type = max::A_FLOAT;
  a.a_w.w_float = static_cast<float>(v);
  return set_one(x, name, a);
}

jit_err jit_attr_setsym(void* x, max::Symbol* name, max::Symbol* v) {
  max::Atom a{};
  a.a_type = max::A_SYM;
  a.a_w.w_sym = v;
  return set_one(x, name, a);
}

}  // namespace jit
