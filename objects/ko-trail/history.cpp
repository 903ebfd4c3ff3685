#include "objects/ko-trail/history.h"

namespace ko::trail {

namespace {

// Ages count back from the slot after w, round the ring.
int slot_of_age(std::int32_t w, int k) {
  const int slot = static_cast<int>(w) + 1 + k;
  return slot >= kRing ? slot - kRing : slot;
}

void send_window(History& h) { max::outlet_list(h.out, nullptr, static_cast<short>(h.size), h.list); }

}  // namespace

void history_init(History& h, max::Object* owner, std::int32_t size, std::int32_t om) {
  h.out = max::listout(owner);
  h.w = kRing - 1;
  h.size = size >= 1 && size <= 255 ? size : 16;
  history_om(h, om);
}

double history_age(const History& h, int k) { return h.ring[slot_of_age(h.w, k)]; }

void history_push(History& h, double v) {
  h.ring[h.w] = v;
  h.w = h.w == 0 ? kRing - 1 : h.w - 1;
  if (h.om == 0)
    history_send_newest_first(h);
  else if (h.om == 1)
    history_send_oldest_first(h);
}

void history_send_newest_first(History& h) {
  for (int k = 0; k < h.size; ++k) ko::atom_setfloat(h.list[k], history_age(h, k));
  send_window(h);
}

void history_send_oldest_first(History& h) {
  for (int k = 0; k < h.size; ++k) ko::atom_setfloat(h.list[k], history_age(h, h.size - k));
  send_window(h);
}

void history_size(History& h, std::int32_t n) {
  if (n >= 1 && n <= 254) h.size = n;
}

void history_om(History& h, std::int32_t n) {
  h.om = static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(n) & 0xFFFFu));
}

// With m numbers and n = min(m, size), number j becomes age n - j while j <= n. Numbers
// are read by the common rule, so the first non-number ends the writing.
void history_set(History& h, std::int32_t argc, const max::Atom* argv) {
  ko::ArgCursor cur(argc, argv);
  const int n = cur.count() < h.size ? static_cast<int>(cur.count()) : static_cast<int>(h.size);
  for (int j = 0; j <= n; ++j) {
    double v = 0;
    if (!cur.read_one(v)) break;
    h.ring[slot_of_age(h.w, n - j)] = v;
  }
}

}  // namespace ko::trail
