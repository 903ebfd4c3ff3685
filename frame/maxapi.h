// The host API as the objects see it: symbols, atoms, classes, bindings, outlets,
// console and memory. Implemented by the host library (host/), which every plug-in
// links against. The names follow the host's plain-C API, kept inside namespace max
// because several of them clash with the C library.
#pragma once

#include <cstdint>

#if defined(__GNUC__)
#define KO_HOST_API __attribute__((visibility("default")))
#define KO_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define KO_HOST_API
#define KO_PRINTF(fmt, args)
#endif

namespace max {

// Interned string: equal texts give the same Symbol, compared by identity.
struct Symbol {
  const char* s_name;
};

enum AtomType : std::int32_t { A_NOTHING = 0, A_LONG = 1, A_FLOAT = 2, A_SYM = 3 };

// Argument codes of setup, addmess and friends.
enum ArgCode : short {
  A_END = 0,       // ends the list
  A_LONGARG = 1,   // a required long
  A_FLOATARG = 2,  // a required float
  A_DEFLONG = 5,   // a long, 0 when omitted
  A_DEFFLOAT = 6,  // a float, 0 when omitted
  A_GIMME = 8,     // the whole list: selector, count, atoms
  A_CANT = 9,      // hidden; not callable by a message (assist)
};

// One value of a message's argument list. The long is exactly 32 bits.
struct Atom {
  std::int32_t a_type;
  union {
    std::int32_t w_long;
    float w_float;
    Symbol* w_sym;
  } a_w;
};

struct Class;
struct Outlet;
struct Instance;

// The header every instance record starts with. The host fills it; objects never touch it.
struct Object {
  Class* o_class;
  Instance* o_host;
};

// A handler of any signature, stored by the host and called back with the exact
// signature that its argument codes declare.
using method = void (*)();

template <class F>
inline method as_method(F* f) {
  return reinterpret_cast<method>(f);
}

// Handler signatures by binding.
using bang_fn = void (*)(Object*);
using long_fn = void (*)(Object*, std::int32_t);
using float_fn = void (*)(Object*, double);
using gimme_fn = void (*)(Object*, Symbol*, std::int32_t, const Atom*);
using assist_fn = void (*)(Object*, void* box, std::int32_t kind, std::int32_t index, char* text);
using gimme_new_fn = Object* (*)(Symbol*, std::int32_t, const Atom*);
using free_fn = void (*)(Object*);
// Typed message handlers take one std::int32_t per long code and one double per float code.

// Assist kinds.
inline constexpr std::int32_t ASSIST_INLET = 1;
inline constexpr std::int32_t ASSIST_OUTLET = 2;
// Size of the text buffers the host hands to assist (and to sprintf).
inline constexpr int kTextBufferSize = 512;


// Class registration. The class name is the plug-in's file name; the codes end with 0.
KO_HOST_API void setup(Class** cls, method new_fn, method free_fn, short size, method menu_fn, ...);
KO_HOST_API void addbang(method m);
KO_HOST_API void addint(method m);
KO_HOST_API void addfloat(method m);
KO_HOST_API void addmess(method m, const char* sel, ...);
KO_HOST_API void addinx(method m, short inlet);
KO_HOST_API void alias(const char* name);

KO_HOST_API Object* newobject(Class* cls);
KO_HOST_API void freeobject(Object* x);

KO_HOST_API Outlet* listout(Object* x);
KO_HOST_API Outlet* floatout(Object* x);
KO_HOST_API Outlet* bangout(Object* x);
KO_HOST_API Outlet* outlet_new(Object* x, const char* type);
KO_HOST_API void intin(Object* x, short inlet);

KO_HOST_API void outlet_list(Outlet* o, Symbol* s, short argc, const Atom* argv);
KO_HOST_API void outlet_anything(Outlet* o, Symbol* s, short argc, const Atom* argv);
KO_HOST_API void outlet_float(Outlet* o, double f);
KO_HOST_API void outlet_int(Outlet* o, std::int32_t n);
KO_HOST_API void outlet_bang(Outlet* o);

KO_HOST_API Symbol* gensym(const char* text);
KO_HOST_API void post(const char* fmt, ...) KO_PRINTF(1, 2);
KO_HOST_API void error(const char* fmt, ...) KO_PRINTF(1, 2);
// Formats into a host text buffer of kTextBufferSize bytes.
KO_HOST_API void sprintf(char* buffer, const char* fmt, ...) KO_PRINTF(2, 3);
KO_HOST_API std::int32_t gettime();
KO_HOST_API void* sysmem_newptr(std::int32_t size);
// A block whose bytes are all zero, or null.
KO_HOST_API void* sysmem_newptrclear(std::int32_t size);
KO_HOST_API void sysmem_freeptr(void* block);

// Low-priority call: queued per object and method; a newer call replaces one still waiting.
KO_HOST_API void defer_low(Object* x, method fn, Symbol* s, short argc, const Atom* argv);

}  // namespace max
