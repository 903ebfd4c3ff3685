// ko-heightfield: a scrolling landscape of heights. Each list becomes the newest row of
// the grid and the older rows move one on; bang sends the grid as points or segments,
// and "coord", "core" and "coords" answer height queries at a point.
//
// The grid and the history ring are one store for the whole plug-in: every instance
// reads and writes the same heights, and a new instance clears them for all.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "frame/args.h"
#include "frame/bind.h"
#include "frame/console.h"
#include "frame/numeric.h"
#include "frame/truncate.h"

namespace {

constexpr int kSide = 256;      // grid rows and columns, ring columns
constexpr int kRingRows = 257;  // ring positions 0..256
// Queries read up to two rows and columns past the counts, layouts 1 and 7 and "shift"
// one: counts up to 254 keep every access inside the stores.
constexpr std::int32_t kMaxCount = kSide - 2;

double grid[kSide][kSide];
double ring[kRingRows][kSide];

struct HeightField {
  max::Object ob;
  max::Outlet* out_grid;    // outlet 0: points and segments
  max::Outlet* out_height;  // outlet 1: query answers
  max::Outlet* out_aktiv;   // outlet 2: nothing is sent on it
  std::int32_t cols;        // C, the second index j (the y of queries)
  std::int32_t rows;        // R, the first index i (the x of queries)
  ko::vec3 query;
  std::int16_t om;
  std::int16_t draw;
  std::int32_t ring_pos;  // the ring row the next list is written to
  std::int16_t dir;
  max::Atom list[256];
};

max::Class* heightfield_class;
max::Symbol* key_om;
max::Symbol* key_dir;
max::Symbol* key_draw;
max::Symbol* key_dim;

std::int32_t count_of(double v) { return std::clamp(ko::to_long(v), std::int32_t{0}, kMaxCount); }
std::int16_t switch_of(double v) { return ko::low16(ko::to_long(v)); }

// One wrap step into 0..256; enough for position + 1 + r with r below the row count.
std::int32_t ring_row(std::int32_t a) {
  if (a < 0) return a + kRingRows;
  if (a > kRingRows - 1) return a - kRingRows;
  return a;
}

// Copying rows one by one costs a call per row. When at most kTail cells lie right of
// the active columns, a run of kRun rows goes in one copy instead, which also passes
// over those cells; their old values are saved first and put back while the run is
// still in the cache, so only active cells change.
constexpr int kTail = 8;
constexpr std::int32_t kRun = 16;

// n rows (at most kRun) of the first cols columns, at the stores' common row stride.
void copy_run(double* dst, const double* src, std::int32_t n, std::int32_t cols) {
  double* const tail = dst + kSide - kTail;
  double saved[kRun][kTail];
  for (std::int32_t r = 0; r < n - 1; ++r) std::memcpy(saved[r], tail + r * kSide, sizeof saved[r]);
  std::memcpy(dst, src, static_cast<std::size_t>((n - 1) * kSide + cols) * sizeof(double));
  for (std::int32_t r = 0; r < n - 1; ++r)
    for (int k = cols - (kSide - kTail); k < kTail; ++k) tail[r * kSide + k] = saved[r][k];
}

void copy_rows(double* dst, const double* src, std::int32_t n, std::int32_t cols) {
  const std::size_t bytes = static_cast<std::size_t>(cols) * sizeof(double);
  if (cols < kSide - kTail) {
    for (std::int32_t r = 0; r < n; ++r) std::memcpy(dst + r * kSide, src + r * kSide, bytes);
    return;
  }
  for (std::int32_t r = 0; r < n; r += kRun) copy_run(dst + r * kSide, src + r * kSide, std::min(kRun, n - r), cols);
}

// The newest list goes to row 0 (dir 0) or row R-1, older ones follow.
void rebuild(const HeightField* x) {
  const std::int32_t rows = x->rows;
  const std::int32_t newest = ring_row(x->ring_pos + 1);
  if (x->dir == 0) {
    // Rows 0.. come from ring rows newest.., in two runs where the ring wraps.
    const std::int32_t first = std::min(rows, kRingRows - newest);
    copy_rows(grid[0], ring[newest], first, x->cols);
    copy_rows(grid[first], ring[0], rows - first, x->cols);
    return;
  }
  for (std::int32_t r = 0; r < rows; ++r) copy_rows(grid[rows - 1 - r], ring[ring_row(newest + r)], 1, x->cols);
}

void heightfield_list(HeightField* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  if (argc == 0) return;
  // A row has C columns; cells past the first non-number keep what they held.
  ko::ArgCursor(argc, argv).read(ring[x->ring_pos], std::min(argc, x->cols));
  if (--x->ring_pos < 0) x->ring_pos = kRingRows - 1;
  rebuild(x);
}

// Every value moves one row on and one column back (d 0) or on. Rows from the bottom up,
// so each source row is read before it is overwritten; row 0 keeps its values.
void heightfield_shift(HeightField* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  if (argc == 0) return;
  const bool on = !ko::is_number(argv[0]) || switch_of(ko::number_of(argv[0])) != 0;
  for (std::int32_t r = x->rows - 1; r >= 0; --r) {
    if (on)
      std::copy_n(&grid[r][0], x->cols, &grid[r + 1][1]);
    else
      std::copy_n(&grid[r][1], x->cols, &grid[r + 1][0]);
  }
}

void heightfield_dim(HeightField* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  double n[2] = {static_cast<double>(x->cols), static_cast<double>(x->rows)};
  ko::read_numbers(argc, argv, n, 2);
  x->cols = count_of(n[0]);
  x->rows = count_of(n[1]);
}

template <std::int16_t HeightField::*Field>
void heightfield_switch(HeightField* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  double v = 0;
  if (ko::ArgCursor(argc, argv).read_one(v)) x->*Field = switch_of(v);
}

// Stores the given coordinates and clamps x into 0..R and y into 0..C. False, and
// nothing stored, for an empty message.
bool take_query(HeightField* x, std::int32_t argc, const max::Atom* argv) {
  if (argc == 0) return false;
  ko::vec3& q = x->query;
  ko::read_vec3(argc, argv, q);
  if (x->rows < q.x) q.x = x->rows;
  if (q.x < 0) q.x = 0;
  if (x->cols < q.y) q.y = x->cols;
  if (q.y < 0) q.y = 0;
  return true;
}

// The nearest grid height.
void heightfield_coord(HeightField* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  if (!take_query(x, argc, argv)) return;
  const std::int32_t i = ko::to_long(x->query.x + 0.5);
  const std::int32_t j = ko::to_long(x->query.y + 0.5);
  max::outlet_float(x->out_height, grid[i][j]);
}

// The mean of the 2 x 2 block at the nearest grid point.
void heightfield_core(HeightField* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  if (!take_query(x, argc, argv)) return;
  const std::int32_t i = ko::to_long(x->query.x + 0.5);
  const std::int32_t j = ko::to_long(x->query.y + 0.5);
  max::outlet_float(x->out_height, (grid[i][j + 1] + grid[i + 1][j + 1] + grid[i + 1][j] + grid[i][j]) * 0.25);
}

// The signed distance of the query point from the plane through the grid points
// (i, j), (i, j+1) and (i+1, j): positive above it.
void heightfield_coords(HeightField* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  if (!take_query(x, argc, argv)) return;
  const ko::vec3& q = x->query;
  const std::int32_t i = ko::to_long(q.x);
  const std::int32_t j = ko::to_long(q.y);
  const ko::vec3 p0{static_cast<double>(i), static_cast<double>(j), grid[i][j]};
  const ko::vec3 p1{static_cast<double>(i), static_cast<double>(j + 1), grid[i][j + 1]};
  const ko::vec3 p2{static_cast<double>(i + 1), static_cast<double>(j), grid[i + 1][j]};
  ko::vec3 d1;
  ko::vec3 d2;
  ko::vec3_sub(d1, p1, p0);
  ko::vec3_sub(d2, p1, p2);
  // (h00 - h10, h00 - h01, 1) before normalising: never of zero length.
  ko::vec3 n;
  ko::vec3_cross(n, d1, d2);
  ko::vec3_normalize(n);
  ko::vec3 r;
  ko::vec3_sub(r, q, p0);
  // +0.0 so that a zero distance never prints as "-0.0".
  max::outlet_float(x->out_height, n.x * r.x + n.y * r.y + n.z * r.z + 0.0);
}

// Point (i, j) of the grid, and a segment from it to (i2, j2).
void point(HeightField* x, std::int32_t i, std::int32_t j) {
  ko::outlet_grid_points(x->out_grid, x->list, {{i, j, grid[i][j]}});
}
void segment(HeightField* x, std::int32_t i, std::int32_t j, std::int32_t i2, std::int32_t j2) {
  ko::outlet_grid_points(x->out_grid, x->list, {{i, j, grid[i][j]}, {i2, j2, grid[i2][j2]}});
}

void rows_of_points(HeightField* x, std::int32_t n_i, std::int32_t n_j) {
  for (std::int32_t i = 0; i < n_i; ++i)
    for (std::int32_t j = 0; j < n_j; ++j) point(x, i, j);
}

// Layouts 1 and 7: each point, then the one in the next row (row R or C past the last).
void point_pairs(HeightField* x, std::int32_t n_i, std::int32_t n_j) {
  for (std::int32_t i = 0; i < n_i; ++i)
    for (std::int32_t j = 0; j < n_j; ++j) {
      point(x, i, j);
      point(x, i + 1, j);
    }
}

void segments_down(HeightField* x) {
  for (std::int32_t i = 0; i < x->rows - 1; ++i)
    for (std::int32_t j = 0; j < x->cols; ++j) segment(x, i, j, i + 1, j);
}

void segments_across(HeightField* x) {
  for (std::int32_t i = 0; i < x->rows; ++i)
    for (std::int32_t j = 0; j < x->cols - 1; ++j) segment(x, i, j, i, j + 1);
}

void columns_of_points(HeightField* x) {
  for (std::int32_t j = 0; j < x->cols; ++j)
    for (std::int32_t i = 0; i < x->rows; ++i) point(x, i, j);
}

void heightfield_bang(HeightField* x) {
  if (x->om != 0 && x->om != 1) return;
  const std::int32_t R = x->rows;
  const std::int32_t C = x->cols;
  switch (x->draw) {
    case 0:
      rows_of_points(x, R, C);
      break;
    case 1:
      point_pairs(x, R, C);
      break;
    case 2:
      segments_down(x);
      break;
    case 3:
      segments_across(x);
      break;
    case 4:
      segments_down(x);
      segments_across(x);
      break;
    case 5:
      columns_of_points(x);
      break;
    case 6:
      // The counts swap here: the first index runs over C, the second over R.
      rows_of_points(x, C, R);
      columns_of_points(x);
      break;
    case 7:
      point_pairs(x, C, R);
      break;
    default:
      break;
  }
}

void heightfield_wh(HeightField*, max::Symbol*, std::int32_t, const max::Atom*) {}

void heightfield_post(HeightField* x, max::Symbol*, std::int32_t, const max::Atom*) {
  for (std::int32_t i = 0; i < x->rows; ++i)
    for (std::int32_t j = 0; j < x->cols; ++j) max::post("%02ld %02ld __ %f", static_cast<long>(i), static_cast<long>(j), grid[i][j]);
}

void heightfield_assist(HeightField*, void*, std::int32_t kind, std::int32_t index, char* text) {
  ko::assist_texts(kind, index, text, ko::kEchoInlet,
                   {"(list) heightfield     e         c            h              o",
                    "(double) heightfield z    e         c            h              o",
                    "(list) heightfield aktiv    e         c            h              o"});
}

HeightField* heightfield_new(max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  // A new instance clears the heights and history that every instance sees.
  std::memset(grid, 0, sizeof grid);
  std::memset(ring, 0, sizeof ring);
  auto* x = reinterpret_cast<HeightField*>(max::newobject(heightfield_class));
  x->out_aktiv = max::listout(&x->ob);
  x->out_height = max::floatout(&x->ob);
  x->out_grid = max::listout(&x->ob);
  x->cols = 20;
  x->rows = 20;
  x->query = {0, 0, 0};
  x->om = 0;
  x->draw = 0;
  x->ring_pos = kRingRows - 1;
  x->dir = 0;
  ko::keyword_passes(argc, argv, ko::Passes::Repeated, {key_om, key_dir, key_draw, key_dim},
                     [&](int key, ko::ArgCursor& cur) {
                       if (key == 3) {
                         double n[2] = {static_cast<double>(x->cols), static_cast<double>(x->rows)};
                         cur.read(n, 2);
                         x->cols = count_of(n[0]);
                         x->rows = count_of(n[1]);
                         return;
                       }
                       std::int16_t* const fields[3] = {&x->om, &x->dir, &x->draw};
                       double v = 0;
                       if (cur.read_one(v)) *fields[key] = switch_of(v);
                     });
  return x;
}

}  // namespace

__attribute__((visibility("default"))) int main() {
  const std::int32_t time = max::gettime();
  max::setup(&heightfield_class, ko::handler<heightfield_new>(), nullptr, sizeof(HeightField), nullptr,
             max::A_GIMME, 0);
  max::addbang(ko::handler<heightfield_bang>());
  max::addmess(ko::handler<heightfield_list>(), "list", max::A_GIMME, 0);
  max::addmess(ko::handler<heightfield_shift>(), "shift", max::A_GIMME, 0);
  max::addmess(ko::handler<heightfield_dim>(), "dim", max::A_GIMME, 0);
  max::addmess(ko::handler<heightfield_coords>(), "coords", max::A_GIMME, 0);
  max::addmess(ko::handler<heightfield_coord>(), "coord", max::A_GIMME, 0);
  max::addmess(ko::handler<heightfield_core>(), "core", max::A_GIMME, 0);
  max::addmess(ko::handler<heightfield_switch<&HeightField::om>>(), "om", max::A_GIMME, 0);
  max::addmess(ko::handler<heightfield_switch<&HeightField::draw>>(), "draw", max::A_GIMME, 0);
  max::addmess(ko::handler<heightfield_switch<&HeightField::dir>>(), "dir", max::A_GIMME, 0);
  max::addmess(ko::handler<heightfield_wh>(), "wh", max::A_GIMME, 0);
  max::addmess(ko::handler<heightfield_post>(), "post", max::A_GIMME, 0);
  max::addmess(ko::handler<heightfield_assist>(), "assist", max::A_CANT, 0);
  key_om = max::gensym("@om");
  key_dir = max::gensym("@dir");
  key_draw = max::gensym("@draw");
  key_dim = max::gensym("@dim");
  KO_POST_BANNER(ko::Banner::A, "ko-heightfield", time);
  return 0;
}
