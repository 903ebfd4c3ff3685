// Matrices: planes of char, long, float32 or float64 cells over up to 32 dimensions,
// packed, zero-filled, with the methods the drawing objects call through
// jit_object_method. Every size is computed in 64 bits and checked against a limit.
#include <cstdlib>
#include <cstring>
#include <string>

#include "frame/jitbind.h"
#include "host/jit/layer.h"

namespace jit {

std::int64_t cell_bytes(max::Symbol* type) {
  if (type == _jit_sym_char) return 1;
  if (type == _jit_sym_long) return 4;
  if (type == _jit_sym_float32) return 4;
  if (type == _jit_sym_float64) return 8;
  return 0;
}

bool fill_strides(MatrixInfo& info, std::string* why) {
  auto fail = [why](const std::string& w) {
    if (why) *why = w;
    return false;
  };
  const std::int64_t cell = cell_bytes(info.type);
  if (cell == 0) return fail("cell type is not char, long, float32 or float64");
  if (info.planecount < 1 || info.planecount > kMaxDims) return fail("planes must be 1 to 32");
  if (info.dimcount < 1 || info.dimcount > kMaxDims) return fail("dimensions must be 1 to 32");
  std::int64_t step = cell * info.planecount;
  for (int d = 0; d < kMaxDims; ++d) {
    if (d >= info.dimcount) {
      info.dim[d] = 0;
      info.dimstride[d] = 0;
      continue;
    }
    if (info.dim[d] < 1) return fail("every dimension must be at least 1");
    info.dimstride[d] = step;
    // step <= limit and dim < 2^31, so the product fits 64 bits before the check.
    step *= info.dim[d];
    if (step > kMaxMatrixBytes) return fail("larger than " + std::to_string(kMaxMatrixBytes) + " bytes");
  }
  info.size = step;
  return true;
}

namespace {

bool reshape(Matrix* m, MatrixInfo info) {
  if (!fill_strides(info, nullptr)) return false;
  char* data = static_cast<char*>(std::calloc(1, static_cast<std::size_t>(info.size)));
  if (!data) return false;
  std::free(m->data);
  m->data = data;
  m->info = info;
  return true;
}

std::int32_t matrix_lock(Matrix* m, std::int32_t state) {
  const std::int32_t was = m->lock;
  m->lock = state;
  return was;
}

jit_err matrix_getinfo(Matrix* m, MatrixInfo* out) {
  if (!out) return kErrInvalidObject;
  *out = m->info;
  return kOk;
}

jit_err matrix_setinfo(Matrix* m, const MatrixInfo* in) {
  if (!in) return kErrInvalidObject;
  return reshape(m, *in) ? kOk : kErrGeneric;
}

char* matrix_getdata(Matrix* m, char** out) {
  if (out) *out = m->data;
  return m->data;
}

// New dimension sizes from atoms; below 1 becomes 1. The same sizes keep the cells.
jit_err matrix_dim(Matrix* m, std::int32_t argc, const max::Atom* argv) {
  if (argc < 1 || !argv) return kErrGeneric;
  MatrixInfo info = m->info;
  info.dimcount = argc < kMaxDims ? argc : kMaxDims;
  bool same = info.dimcount == m->info.dimcount;
  for (int d = 0; d < info.dimcount; ++d) {
    std::int32_t v = jit_atom_getlong(&argv[d]);
    info.dim[d] = v < 1 ? 1 : v;
    same = same && info.dim[d] == m->info.dim[d];
  }
  if (same) return kOk;
  return reshape(m, info) ? kOk : kErrGeneric;
}

jit_err matrix_clear(Matrix* m) {
  if (m->data) std::memset(m->data, 0, static_cast<std::size_t>(m->info.size));
  return kOk;
}

void matrix_free(Matrix* m) {
  std::free(m->data);
  m->data = nullptr;
}

}  // namespace

Class* matrix_class() {
  static Class* c = [] {
    Class* k = jit_class_new("jit_matrix", nullptr, ko::jit_handler<matrix_free>(), sizeof(Matrix), 0);
    jit_class_addmethod(k, ko::jit_handler<matrix_lock>(), "lock", kPrivate, 0);
    jit_class_addmethod(k, ko::jit_handler<matrix_getinfo>(), "getinfo", kPrivate, 0);
    jit_class_addmethod(k, ko::jit_handler<matrix_setinfo>(), "setinfo", kPrivate, 0);
    jit_class_addmethod(k, ko::jit_handler<matrix_getdata>(), "getdata", kPrivate, 0);
    jit_class_addmethod(k, ko::jit_handler<matrix_dim>(), "dim", kPrivate, 0);
    jit_class_addmethod(k, ko::jit_handler<matrix_clear>(), "clear", kPrivate, 0);
    jit_class_addmethod(k, ko::jit_handler<jit_object_register>(), "register", kPrivate, 0);
    jit_class_register(k);
    return k;
  }();
  return c;
}

bool is_matrix(void* x) { return x && class_of(x) == matrix_class(); }

void* jit_object_new(max::Symbol* classname, const MatrixInfo* info) {
  if (classname != _jit_sym_jit_matrix || !info) return nullptr;
  MatrixInfo shape = *info;
  if (!fill_strides(shape, nullptr)) return nullptr;
  auto* m = static_cast<Matrix*>(jit_object_alloc(matrix_class()));
  if (!m) return nullptr;
  if (!reshape(m, shape)) {
    jit_object_free(m);
    return nullptr;
  }
  return m;
}

}  // namespace jit
