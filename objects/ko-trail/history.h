// The history of recent values that ko-trail is, and that ko-pointbank is built on: a
// ring of 257 past values and the windows of the most recent ones it sends as lists.
// Each plug-in compiles history.cpp in and binds the shared messages to its own record,
// whose `history` member holds this state.
#pragma once

#include <cstdint>

#include "frame/args.h"
#include "frame/bind.h"
#include "frame/maxapi.h"

namespace ko::trail {

inline constexpr int kRing = 257;    // slots 0..256: ages 0..256
inline constexpr int kWindow = 256;  // room of the output list

struct History {
  max::Outlet* out;
  max::Atom list[kWindow];  // windows are built here
  double ring[kRing];
  std::int32_t w;     // the slot the next value goes to
  std::int32_t size;  // window length, 1..255
  std::int16_t om;    // on push: 0 newest first, 1 oldest first, else nothing
};

// Makes the outlet and applies the two creation longs: a size of 1..255 (else 16) and `om`.
void history_init(History& h, max::Object* owner, std::int32_t size, std::int32_t om);

// The value of age k (0 the newest), for 0 <= k <= 256.
double history_age(const History& h, int k);

// Stores v as the newest value, then sends the window `om` asks for.
void history_push(History& h, double v);

// Ages 0, 1, ..., size - 1.
void history_send_newest_first(History& h);
// Ages size, size - 1, ..., 1: the value just pushed is not in it.
void history_send_oldest_first(History& h);

// 1..254 taken, anything else ignored.
void history_size(History& h, std::int32_t n);
void history_om(History& h, std::int32_t n);
// Writes numbers as past values, oldest first, ending at age 1 (or age 0 for a list
// longer than the window); sends nothing.
void history_set(History& h, std::int32_t argc, const max::Atom* argv);

// The messages both plug-ins share, bound to a record T with a `history` member. The
// bang, the assist texts and anything else stay with each object.
template <class T>
struct HistoryMessages {
  static void push_int(T* x, std::int32_t n) { history_push(x->history, static_cast<double>(n)); }
  static void push_float(T* x, double v) { history_push(x->history, v); }
  static void size(T* x, std::int32_t n) { history_size(x->history, n); }
  static void om(T* x, std::int32_t n) { history_om(x->history, n); }
  static void set(T* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
    history_set(x->history, argc, argv);
  }

  static void bind() {
    max::addint(ko::handler<push_int>());
    max::addfloat(ko::handler<push_float>());
    max::addinx(ko::handler<size>(), 1);
    max::addmess(ko::handler<size>(), "size", max::A_DEFLONG, 0);
    max::addmess(ko::handler<om>(), "om", max::A_DEFLONG, 0);
    max::addmess(ko::handler<set>(), "set", max::A_GIMME, 0);
  }
};

// The text of every inlet of both objects.
inline constexpr const char* kInletText = "e c ho    e   c  h   o";

}  // namespace ko::trail
