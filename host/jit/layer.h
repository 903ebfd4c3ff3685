// The layer's inner records: classes with their methods and attributes, attributes,
// matrices and drawing records, and the helpers the layer's files share.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "frame/jitapi.h"

namespace jit {

inline constexpr std::uintptr_t kTag = 0x6b6f6a6974ULL;  // marks a record the layer made

struct MethodEntry {
  method fn = nullptr;
  std::int32_t code = kPrivate;
};

struct Attribute {
  Object header;
  max::Symbol* name = nullptr;
  max::Symbol* getter_name = nullptr;  // "getNAME"
  max::Symbol* type = nullptr;
  std::int32_t count = 1;              // elements
  bool array = false;
  std::int32_t flags = 0;
  method get = nullptr;
  method set = nullptr;
  std::size_t offset = 0;
  std::size_t count_offset = 0;
  bool in_ob3d = false;  // the field lives in the drawing record, not in the object
  bool clip = false;
  bool use_min = false, use_max = false;
  double min = 0, max = 0;
};

struct Class {
  std::string name;
  max::Symbol* sym = nullptr;
  method ctor = nullptr;
  method dtor = nullptr;
  std::size_t size = 0;
  bool registered = false;
  std::unordered_map<max::Symbol*, MethodEntry> methods;
  std::vector<max::Symbol*> method_order;
  std::unordered_map<max::Symbol*, Attribute*> attrs;    // by name
  std::unordered_map<max::Symbol*, Attribute*> getters;  // by getNAME
  std::vector<Attribute*> attr_order;
  bool ob3d = false;
  std::size_t ob3d_offset = 0;
  std::int32_t ob3d_flags = 0;
};

// The drawing record of an object.
struct Ob3d {
  std::int32_t enable;
  float color[4];
  std::int32_t matrixoutput;
  float position[3];
  float rotatexyz[3];
  float scale[3];
  float line_width;
  float point_size;
  std::int32_t lighting_enable;
  std::int32_t depth_enable;
  std::int32_t blend_enable;
  std::int32_t poly_mode[2];
  max::Symbol* drawto;
  // Links.
  void* owner;
  max::Object* wrapper;
  max::Outlet* matrix_out;
  bool attached;
};

struct Matrix {
  Object header;
  MatrixInfo info;
  char* data;
  std::int32_t lock;
};

// The record behind a pointer, when the layer made it.
Object* header_of(void* x);
Class* class_of(void* x);

// Symbols of the layer's own internal classes.
Class* matrix_class();
bool is_matrix(void* x);

// Attribute access, filters applied on set.
jit_err attr_set(Attribute* a, void* x, std::int32_t argc, const max::Atom* argv);
// Fills up to cap atoms from the field (default getter only); gives the count, -1 when
// the attribute has a custom getter or its field cannot be reached.
int attr_get_into(Attribute* a, void* x, max::Atom* out, int cap);
// The values as newly allocated atoms (jit_getbytes); the caller frees them.
jit_err attr_get(Attribute* a, void* x, std::int32_t* ac, max::Atom** av);
Attribute* find_attr(Class* c, max::Symbol* name);
// The attribute's field lies inside a record of that size.
bool attr_fits(const Attribute* a, std::size_t record_size);

// Calls a method entry with words.
void* call_method(const MethodEntry& m, std::int32_t argc, const Word* argv);
// Calls a named method of an object with only the record as argument; null when it has none.
void* call_simple(void* x, max::Symbol* name);

// The drawing record stored in an object, or null.
Ob3d* ob3d_of(void* x);
// Every drawing record attached to a wrapper, in the order attached.
const std::vector<Ob3d*>& attached();
Ob3d* attached_for(const max::Object* wrapper);
bool still_attached(const Ob3d* o);

// Matrix sizes: bytes for the given description, 0 when unusable or above the limit.
inline constexpr std::int64_t kMaxMatrixBytes = std::int64_t{1} << 30;
std::int64_t cell_bytes(max::Symbol* type);
bool fill_strides(MatrixInfo& info, std::string* why);

// Layer symbols used internally.
struct LayerSymbols {
  max::Symbol* ob3d_draw;
  max::Symbol* dest_changed;
  max::Symbol* dest_closing;
  max::Symbol* matrixoutput;
  max::Symbol* getcolor;
  max::Symbol* reg;
};
const LayerSymbols& lsyms();

}  // namespace jit
