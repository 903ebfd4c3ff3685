// ko-springmesh: point masses on a grid, each joined by springs to its eight neighbours,
// moving only up and down. Every bang advances the surface one step and sends the
// heights as (row, column, height) lists. Preset shapes, pokes at a selected cell and
// "zero" set the surface up.
//
// Heights, forces and velocities are one store for the whole plug-in: every instance
// moves the same surface, and a new instance resets its 10 x 10 corner for all.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "frame/args.h"
#include "frame/bind.h"
#include "frame/console.h"
#include "frame/truncate.h"

namespace {

constexpr int kSide = 100;  // store rows and columns; cell (i, j) is at i * kSide + j
constexpr double kDiagonal = 0.707106781373095;

double Z[kSide * kSide];  // heights
double F[kSide * kSide];  // forces of this step (or of all steps, without zero_force)
double V[kSide * kSide];  // vertical velocities

struct SpringMesh {
  max::Object ob;
  max::Outlet* out;
  double dt;
  std::int16_t rows;
  std::int16_t cols;
  std::int16_t sel_x;
  std::int16_t sel_y;
  std::int16_t shape;
  max::Atom list[256];
  std::int16_t om;
  std::uint8_t zero_force;
};

max::Class* springmesh_class;

bool in_store(std::int32_t i, std::int32_t j) { return i >= 0 && i < kSide && j >= 0 && j < kSide; }

// ---------------------------------------------------------------------------
// Shapes

// The preset heights for a lattice of side m = min(rows, cols). Divisions are on
// integers, as the shapes were drawn; any other shape number leaves the height.
double shape_height(std::int16_t shape, int m, int i, int j, double current) {
  const auto in_middle = [m](int k) { return m / 3 < k && k < (2 * m) / 3; };
  switch (shape) {
    case 1:
      return 0;
    case 2:
      return i == m / 2 && j == m / 2 ? m * 1.5 : 0;
    case 3:
      return m - i - j == 1 || m - i - j == 2 ? m / 6 : 0;
    case 4:
      return i == 1 ? m / 4 : 0;
    case 5:
      return in_middle(i) && in_middle(j) ? 0 : m / 4;
    case 6:
      return in_middle(i) && in_middle(j) ? m / 4 : 0;
    case 7:
      return m - i - j < 3 ? m / 6 : 0;
    case 8:
      return i > (3 * m) / 4 && j > (3 * m) / 4 ? m / 4 : 0;
    case 9:
      return m * (std::sin(std::numbers::pi * i / m) + std::sin(std::numbers::pi * j / m)) * 0.16666666666666666;
    case 10:
      return m * (std::sin(2 * std::numbers::pi * i / m) + std::sin(2 * std::numbers::pi * j / m)) *
             0.16666666666666666;
    default:
      return current;
  }
}

// Rebuilds the active lattice from the current shape: still, and with its four edges flat.
void apply_shape(const SpringMesh* x) {
  const int rows = x->rows;
  const int cols = x->cols;
  const int m = std::min(rows, cols);
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < cols; ++j) {
      const int c = i * kSide + j;
      F[c] = 0;
      V[c] = 0;
      Z[c] = shape_height(x->shape, m, i, j, Z[c]);
      if (i == 0 || j == 0 || i == rows - 1 || j == cols - 1) Z[c] = 0;
    }
}

// ---------------------------------------------------------------------------
// The step

// The spring from cell c to neighbour n: pulls c towards n's height and n towards c's.
inline void spring(double& fc, double zc, int n, double w) {
  const double d = w * (zc - Z[n]);
  fc -= d;
  F[n] += d;
}

// Forces on the masses two cells in from every edge, each from its eight springs in a
// fixed order; then velocity by dt and height by velocity. Springs between two such
// masses count from both sides.
void step(const SpringMesh* x) {
  const int rows = x->rows;
  const int cols = x->cols;
  if (x->zero_force)
    for (int i = 0; i < rows; ++i) std::fill_n(&F[i * kSide], cols, 0.0);
  if (rows > 4 && cols > 4) {
    for (int i = 2; i <= rows - 3; ++i)
      for (int j = 2; j <= cols - 3; ++j) {
        const int c = i * kSide + j;
        const double zc = Z[c];
        double fc = F[c];  // no neighbour below is c itself
        spring(fc, zc, c - 1, 1);
        spring(fc, zc, c - kSide, 1);
        spring(fc, zc, c + 1, 1);
        spring(fc, zc, c + kSide, 1);
        spring(fc, zc, c + kSide + 1, kDiagonal);
        spring(fc, zc, c - kSide - 1, kDiagonal);
        spring(fc, zc, c + kSide - 1, kDiagonal);
        spring(fc, zc, c - kSide + 1, kDiagonal);
        F[c] = fc;
      }
  }
  const double dt = x->dt;
  for (int i = 0; i < rows; ++i)
    for (int c = i * kSide, end = c + cols; c < end; ++c) {
      V[c] += F[c] * dt;
      Z[c] += V[c];  // unscaled by dt
    }
}

// ---------------------------------------------------------------------------
// Output

void send_cell(SpringMesh* x, int i, int j) {
  // The row below the last store row (layout 3 at 100 rows) reads as flat.
  const double h = in_store(i, j) ? Z[i * kSide + j] : 0.0;
  ko::outlet_grid_points(x->out, x->list, {{i, j, h}});
}

// Layout 0 swaps the counts: the first index runs over cols, the second over rows.
void send_by_columns(SpringMesh* x) {
  for (int a = 0; a < x->rows; ++a)
    for (int b = 0; b < x->cols; ++b) send_cell(x, b, a);
}

void send_by_rows(SpringMesh* x) {
  for (int i = 0; i < x->rows; ++i)
    for (int j = 0; j < x->cols; ++j) send_cell(x, i, j);
}

void send_pairs(SpringMesh* x) {
  for (int i = 0; i < x->rows; ++i)
    for (int j = 0; j < x->cols; ++j) {
      send_cell(x, i, j);
      send_cell(x, i + 1, j);
    }
}

void send_lattice(SpringMesh* x) {
  switch (x->om) {
    case 0:
      send_by_columns(x);
      break;
    case 1:
      send_by_rows(x);
      break;
    case 2:
      send_by_rows(x);
      send_by_columns(x);
      break;
    case 3:
      send_pairs(x);
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------
// Messages

void springmesh_bang(SpringMesh* x) {
  step(x);
  send_lattice(x);
}

// A selected cell outside the store is not written; the step and output still happen.
void set_height(const SpringMesh* x, double z) {
  if (in_store(x->sel_x, x->sel_y)) Z[x->sel_x * kSide + x->sel_y] = z;
}

void springmesh_float(SpringMesh* x, double f) {
  set_height(x, f);
  springmesh_bang(x);
}

void springmesh_int(SpringMesh* x, std::int32_t n) { springmesh_float(x, static_cast<float>(n)); }

void springmesh_dt(SpringMesh* x, double dt) { x->dt = dt; }

// Only the counts change; cells brought in keep what the stores hold there.
void springmesh_grid(SpringMesh* x, std::int32_t rows, std::int32_t cols) {
  if (rows <= 0 || cols <= 0) return;
  x->rows = static_cast<std::int16_t>(std::min(rows, kSide));
  x->cols = static_cast<std::int16_t>(std::min(cols, kSide));
}

void springmesh_xy(SpringMesh* x, std::int32_t i, std::int32_t j) {
  x->sel_x = ko::low16(i);
  x->sel_y = ko::low16(j);
}

void springmesh_xyz(SpringMesh* x, std::int32_t i, std::int32_t j, double z) {
  springmesh_xy(x, i, j);
  set_height(x, z);
}

void springmesh_zero_force(SpringMesh* x, std::int32_t n) { x->zero_force = ko::low8(n); }

void springmesh_zero(SpringMesh* x) {
  for (int i = 0; i < x->rows; ++i) {
    std::fill_n(&Z[i * kSide], x->cols, 0.0);
    std::fill_n(&F[i * kSide], x->cols, 0.0);
    std::fill_n(&V[i * kSide], x->cols, 0.0);
  }
}

// 0 applies the current shape again.
void springmesh_shape(SpringMesh* x, std::int32_t n) {
  if (n != 0) x->shape = ko::low16(n);
  apply_shape(x);
}

void springmesh_om(SpringMesh* x, std::int32_t n) { x->om = ko::low16(n); }

void springmesh_assist(SpringMesh*, void*, std::int32_t kind, std::int32_t index, char* text) {
  ko::assist_texts(kind, index, text, ko::kEchoInlet,
                   {"(list)  x,y,Z   e         c            h              o"});
}

SpringMesh* springmesh_new(max::Symbol*, std::int32_t, const max::Atom*) {
  auto* x = reinterpret_cast<SpringMesh*>(max::newobject(springmesh_class));
  x->out = max::listout(&x->ob);
  x->dt = 0.002;
  x->rows = 10;
  x->cols = 10;
  x->sel_x = 0;
  x->sel_y = 0;
  x->shape = 0;  // no shape yet: a rebuild keeps the heights and flattens the edges
  x->om = 1;
  x->zero_force = 1;
  apply_shape(x);
  return x;
}

}  // namespace

__attribute__((visibility("default"))) int main() {
  const std::int32_t time = max::gettime();
  max::setup(&springmesh_class, ko::handler<springmesh_new>(), nullptr, sizeof(SpringMesh), nullptr,
             max::A_GIMME, 0);
  max::addbang(ko::handler<springmesh_bang>());
  max::addint(ko::handler<springmesh_int>());
  max::addfloat(ko::handler<springmesh_float>());
  max::addmess(ko::handler<springmesh_dt>(), "dt", max::A_DEFFLOAT, 0);
  max::addmess(ko::handler<springmesh_grid>(), "grid", max::A_DEFLONG, max::A_DEFLONG, 0);
  max::addmess(ko::handler<springmesh_xy>(), "xy", max::A_DEFLONG, max::A_DEFLONG, 0);
  max::addmess(ko::handler<springmesh_xyz>(), "xyz", max::A_DEFLONG, max::A_DEFLONG, max::A_DEFFLOAT, 0);
  max::addmess(ko::handler<springmesh_zero_force>(), "zero_force", max::A_DEFLONG, 0);
  max::addmess(ko::handler<springmesh_zero>(), "zero", 0);
  max::addmess(ko::handler<springmesh_shape>(), "shape", max::A_DEFLONG, 0);
  max::addmess(ko::handler<springmesh_om>(), "om", max::A_DEFLONG, 0);
  max::addmess(ko::handler<springmesh_assist>(), "assist", max::A_CANT, 0);
  KO_POST_BANNER(ko::Banner::A, "ko-springmesh", time);
  return 0;
}
