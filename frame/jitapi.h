// The matrix and drawing layer as the drawing objects see it: inner classes with methods
// and attributes, named matrices, drawing records and geometry chunks, and the wrapper
// that puts an inner object into a patch. Implemented by the host library (host/jit/).
//
// Every inner record starts with a jit::Object header. Methods, constructors, destructors
// and custom attribute accessors all have one calling form, jit::method: an array of
// words, the record (or, for a constructor, the destination) first. ko::jit_handler<F>()
// (frame/jitbind.h) makes one from a function of any plain signature.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "frame/maxapi.h"

namespace jit {

using jit_err = std::int32_t;
inline constexpr jit_err kOk = 0;
inline constexpr jit_err kErrGeneric = -1;
inline constexpr jit_err kErrInvalidObject = -2;
inline constexpr jit_err kErrWrongType = -3;
inline constexpr jit_err kErrNoMemory = -4;

// One argument of a layer call. Numbers keep both forms; a pointer travels in i.
struct Word {
  enum Kind : std::uint8_t { Int, Float, Pointer };
  std::intptr_t i;
  double d;
  Kind kind;
};

using method = void* (*)(std::int32_t argc, const Word* argv);

struct Class;

// The header of every record the layer makes. Objects never touch it.
struct Object {
  Class* jit_class;
  std::uintptr_t tag;
};

// Method type codes for jit_class_addmethod.
inline constexpr std::int32_t kGimme = 8;           // from the patch at once: (record, selector, count, atoms)
inline constexpr std::int32_t kPrivate = 9;         // only the layer calls it, through jit_object_method
inline constexpr std::int32_t kDeferredUsurp = 0x44;  // as kGimme, run later at low priority; a newer call
                                                    // replaces one still waiting
// Attribute flags.
inline constexpr std::int32_t kAttrSetDeferred = 0x00040000;  // a set from the patch runs later; newer replaces
inline constexpr std::int32_t kAttrGetDeferred = 0x08000000;  // a get from the patch answers later
// jit_ob3d_setup flags.
inline constexpr std::int32_t kOb3dNoMatrixOutput = 16;  // the class has no "matrixoutput" attribute

inline constexpr int kMaxDims = 32;

// A matrix's description: cell type (_jit_sym_char, _jit_sym_long, _jit_sym_float32,
// _jit_sym_float64), planes per cell, dimensions and the byte step along each dimension.
// Cells are packed: dimstride[0] is the cell size, dimstride[d] = dimstride[d-1] * dim[d-1].
struct MatrixInfo {
  max::Symbol* type;
  std::int32_t planecount;
  std::int32_t dimcount;
  std::int32_t dim[kMaxDims];
  std::int64_t dimstride[kMaxDims];
  std::int64_t size;  // bytes of data
};

// A geometry chunk: a primitive and the vertex matrix that holds its vertices.
struct GlChunk {
  max::Symbol* prim;
  void* vertex;              // a float32 matrix, registered under vertex_name
  max::Symbol* vertex_name;
  void* index;               // unused, null
};

// Layer symbols.
KO_HOST_API extern max::Symbol* _jit_sym_nothing;
KO_HOST_API extern max::Symbol* _jit_sym_char;
KO_HOST_API extern max::Symbol* _jit_sym_long;
KO_HOST_API extern max::Symbol* _jit_sym_float32;
KO_HOST_API extern max::Symbol* _jit_sym_float64;
KO_HOST_API extern max::Symbol* _jit_sym_symbol;
KO_HOST_API extern max::Symbol* _jit_sym_getinfo;
KO_HOST_API extern max::Symbol* _jit_sym_setinfo;
KO_HOST_API extern max::Symbol* _jit_sym_getdata;
KO_HOST_API extern max::Symbol* _jit_sym_lock;
KO_HOST_API extern max::Symbol* _jit_sym_dim;
KO_HOST_API extern max::Symbol* _jit_sym_clear;
KO_HOST_API extern max::Symbol* _jit_sym_jit_matrix;
KO_HOST_API extern max::Symbol* _jit_sym_jit_attr_offset;
KO_HOST_API extern max::Symbol* _jit_sym_jit_attr_offset_array;
KO_HOST_API extern max::Symbol* _jit_sym_gl_quad_grid;
KO_HOST_API extern max::Symbol* _jit_sym_gl_tri_grid;

// Inner classes. The codes after size end with 0 (the class takes 9: raw arguments).
// The constructor is called with one word, the destination symbol, and returns the record
// or null; the destructor gets the record, which the layer then releases.
KO_HOST_API Class* jit_class_new(const char* name, method ctor, method dtor, std::size_t size, ...);
// Codes after name end with 0: kPrivate, kGimme or kDeferredUsurp.
KO_HOST_API jit_err jit_class_addmethod(Class* c, method m, const char* name, ...);
KO_HOST_API jit_err jit_class_addattr(Class* c, void* attr);
KO_HOST_API jit_err jit_class_register(Class* c);
KO_HOST_API Class* jit_class_findbyname(max::Symbol* name);

// Objects. A zero-filled record with its header, or null.
KO_HOST_API void* jit_object_alloc(Class* c);
// An object of a registered class: its constructor runs with the destination.
KO_HOST_API void* jit_object_new(max::Symbol* classname, max::Symbol* dest);
// A matrix (classname _jit_sym_jit_matrix) of the described type, planes and dimensions,
// zero-filled; null when the description is unusable or too large.
KO_HOST_API void* jit_object_new(max::Symbol* classname, const MatrixInfo* info);
// A scalar attribute (_jit_sym_jit_attr_offset) bound to the field at offset. A null
// getter or setter: the layer reads or writes the field. A setter is called with
// (record, attribute, count, atoms) and returns a jit_err; a getter with (record,
// attribute, std::int32_t* count, max::Atom** atoms) and allocates the atoms with jit_getbytes.
KO_HOST_API void* jit_object_new(max::Symbol* attr_offset, const char* name, max::Symbol* type, std::int32_t flags,
                                 method get, method set, std::size_t offset);
// An array attribute (_jit_sym_jit_attr_offset_array) of count elements. count_offset,
// when not 0, is the position of a 32-bit field that the layer's setter keeps at the
// number of elements last set.
KO_HOST_API void* jit_object_new(max::Symbol* attr_offset_array, const char* name, max::Symbol* type,
                                 std::int32_t count, std::int32_t flags, method get, method set,
                                 std::size_t count_offset, std::size_t offset);
// Runs the destructor, forgets the registered name and releases the record.
KO_HOST_API void jit_object_free(void* x);

// Calls a method, an attribute setter (NAME, count, atoms) or getter (getNAME,
// std::int32_t* count, max::Atom** atoms) of an object. Null when it has none.
// Matrices answer: lock (1 or a saved state; gives the previous state), getinfo
// (MatrixInfo*), setinfo (const MatrixInfo*), getdata (char** where to store the data
// pointer, also given back), dim (count, atoms), clear.
KO_HOST_API void* jit_object_method_words(max::Symbol* s, std::int32_t argc, const Word* argv);

template <class T>
Word jit_word(T v) {
  if constexpr (std::is_null_pointer_v<T>) {
    return Word{0, 0.0, Word::Pointer};
  } else if constexpr (std::is_pointer_v<T>) {
    return Word{reinterpret_cast<std::intptr_t>(v), 0.0, Word::Pointer};
  } else if constexpr (std::is_floating_point_v<T>) {
    return Word{0, static_cast<double>(v), Word::Float};
  } else {
    static_assert(std::is_integral_v<T> || std::is_enum_v<T>, "a layer argument is a number or a pointer");
    return Word{static_cast<std::intptr_t>(v), static_cast<double>(v), Word::Int};
  }
}

template <class... A>
void* jit_object_method(void* x, max::Symbol* s, A... args) {
  const Word w[] = {jit_word(x), jit_word(args)...};
  return jit_object_method_words(s, static_cast<std::int32_t>(sizeof...(A) + 1), w);
}

// Names. A null or empty name registers under a fresh one. Gives the object, or null
// when the name belongs to another object.
KO_HOST_API void* jit_object_register(void* x, max::Symbol* name);
KO_HOST_API void* jit_object_findregistered(max::Symbol* name);
KO_HOST_API max::Symbol* jit_object_name(void* x);
KO_HOST_API max::Symbol* jit_object_classname(void* x);

// Attributes.
KO_HOST_API jit_err jit_attr_addfilterset_clip(void* attr, double min, double max, std::int32_t usemin,
                                               std::int32_t usemax);
KO_HOST_API std::int32_t jit_attr_getlong(void* x, max::Symbol* name);
KO_HOST_API double jit_attr_getfloat(void* x, max::Symbol* name);
KO_HOST_API max::Symbol* jit_attr_getsym(void* x, max::Symbol* name);
KO_HOST_API jit_err jit_attr_setlong(void* x, max::Symbol* name, std::int32_t v);
KO_HOST_API jit_err jit_attr_setfloat(void* x, max::Symbol* name, double v);
KO_HOST_API jit_err jit_attr_setsym(void* x, max::Symbol* name, max::Symbol* v);

// Atoms, memory, maths.
KO_HOST_API std::int32_t jit_atom_getlong(const max::Atom* a);   // a float truncates; else 0
KO_HOST_API double jit_atom_getfloat(const max::Atom* a);        // a symbol gives 0
KO_HOST_API max::Symbol* jit_atom_getsym(const max::Atom* a);    // a number gives _jit_sym_nothing
// Stores argument idx in *c when it is a symbol; kOk then, otherwise an error and *c unchanged.
KO_HOST_API jit_err jit_atom_arg_getsym(max::Symbol** c, std::int32_t idx, std::int32_t ac, const max::Atom* av);
KO_HOST_API void* jit_getbytes(std::int64_t size);
KO_HOST_API void jit_freebytes(void* p, std::int64_t size);
KO_HOST_API double jit_math_sqrt(double v);

// The drawing layer. jit_ob3d_setup adds the layer's attributes to a class: "enable",
// "color" (4 floats, answered by "getcolor"), "matrixoutput" (unless kOb3dNoMatrixOutput),
// "position", "rotatexyz", "scale", "line_width", "point_size", "lighting_enable",
// "depth_enable", "blend_enable", "poly_mode", "drawto".
KO_HOST_API jit_err jit_ob3d_setup(Class* c, std::size_t ob3d_offset, std::int32_t flags);
// Makes the drawing record and stores it in the record's field; gives it (null when the
// class has no drawing setup).
KO_HOST_API void* jit_ob3d_new(void* x, max::Symbol* dest);
KO_HOST_API void jit_ob3d_free(void* x);
// kOk when the host's OpenGL context exists and is current.
KO_HOST_API jit_err jit_ob3d_set_context(void* x);
// Draws the chunk; with "matrixoutput" on, sends "jit_matrix NAME" of its vertex matrix
// out of the matrix outlet instead.
KO_HOST_API jit_err jit_ob3d_draw_chunk(void* ob3d, GlChunk* chunk);
// A chunk with a planes x width x height float32 vertex matrix, registered under a fresh
// name; null for sizes below 1 or too large.
KO_HOST_API GlChunk* jit_glchunk_grid_new(max::Symbol* prim, std::int32_t planes, std::int32_t width,
                                          std::int32_t height);
KO_HOST_API void jit_glchunk_delete(GlChunk* chunk);

// The wrapper: the patch object that holds an inner object. Called in the wrapper's main
// after setup, with the position of the wrapper record's extension pointer.
KO_HOST_API void* max_jit_classex_setup(std::size_t obex_offset);
// Binds a message for every method (but private ones) and every attribute of the inner
// class: NAME sets, getNAME answers "NAME values" on the dump outlet.
KO_HOST_API jit_err max_jit_classex_standard_wrap(void* classex, Class* inner, std::int32_t flags);
// Marks the class being set up as a drawing class (the host draws its objects).
KO_HOST_API void max_ob3d_setup();
KO_HOST_API void max_jit_ob3d_assist(max::Object* x, void* box, std::int32_t kind, std::int32_t index, char* text);
// A wrapper record with its extension, or null.
KO_HOST_API void* max_jit_obex_new(max::Class* cls, max::Symbol* inner_class);
KO_HOST_API void max_jit_obex_free(void* x);
KO_HOST_API jit_err max_jit_obex_jitob_set(void* x, void* inner);
KO_HOST_API void* max_jit_obex_jitob_get(void* x);
KO_HOST_API jit_err max_jit_obex_dumpout_set(void* x, max::Outlet* o);
KO_HOST_API void max_jit_obex_dumpout(void* x, max::Symbol* s, std::int32_t argc, const max::Atom* argv);
// How many arguments come before the first "@name".
KO_HOST_API std::int32_t max_jit_attr_args_offset(std::int32_t argc, const max::Atom* argv);
// Applies every "@name values..." to the inner object's attributes.
KO_HOST_API void max_jit_attr_args(void* x, std::int32_t argc, const max::Atom* argv);
KO_HOST_API jit_err max_jit_ob3d_attach(void* x, void* inner, max::Outlet* matrix_outlet);
KO_HOST_API jit_err max_jit_ob3d_detach(void* x);

}  // namespace jit
