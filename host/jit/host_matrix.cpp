// Matrices a script makes: created, replaced, filled, set cell by cell and loaded from
// grey images, all by name.
#include <cmath>
#include <cstring>
#include <unordered_set>

#include "frame/truncate.h"
#include "host/jit/layer.h"
#include "host/jit/scene.h"

namespace kohost {

namespace {

std::unordered_set<void*>& made() {
  static auto* s = new std::unordered_set<void*>;
  return *s;
}

bool fail(std::string* why, const std::string& w) {
  if (why) *why = w;
  return false;
}

jit::Matrix* find(const std::string& name, std::string* why) {
  void* m = jit::jit_object_findregistered(max::gensym(name.c_str()));
  if (!m) {
    fail(why, "no matrix \"" + name + "\"");
    return nullptr;
  }
  if (!jit::is_matrix(m)) {
    fail(why, "\"" + name + "\" is not a matrix");
    return nullptr;
  }
  return static_cast<jit::Matrix*>(m);
}

bool make(const std::string& name, const jit::MatrixInfo& shape, std::string* why, jit::Matrix** out) {
  jit::MatrixInfo info = shape;
  if (!jit::fill_strides(info, why)) return false;
  max::Symbol* sym = max::gensym(name.c_str());
  void* old = jit::jit_object_findregistered(sym);
  if (old && !made().count(old)) return fail(why, "the name \"" + name + "\" belongs to another object");
  void* m = jit::jit_object_new(jit::_jit_sym_jit_matrix, &info);
  if (!m) return fail(why, "no memory for matrix \"" + name + "\"");
  if (old) {
    made().erase(old);
    jit::jit_object_free(old);
  }
  jit::jit_object_register(m, sym);
  made().insert(m);
  if (out) *out = static_cast<jit::Matrix*>(m);
  return true;
}

// One value into a cell's plane, clamped to the cell type.
void put(char* p, max::Symbol* type, double v) {
  if (type == jit::_jit_sym_char) {
    const double c = std::isnan(v) ? 0.0 : v < 0 ? 0.0 : v > 255 ? 255.0 : v;
    const auto b = static_cast<std::uint8_t>(c);
    std::memcpy(p, &b, 1);
  } else if (type == jit::_jit_sym_long) {
    const std::int32_t l = ko::to_long(v);
    std::memcpy(p, &l, sizeof l);
  } else if (type == jit::_jit_sym_float32) {
    const auto f = static_cast<float>(v);
    std::memcpy(p, &f, sizeof f);
  } else {
    std::memcpy(p, &v, sizeof v);
  }
}

bool plane_values(const jit::Matrix* m, const std::vector<double>& values, std::vector<double>& per_plane,
                  std::string* why) {
  const auto planes = static_cast<std::size_t>(m->info.planecount);
  if (values.empty()) return fail(why, "no values");
  if (values.size() > 1 && values.size() != planes)
    return fail(why, "give one value or " + std::to_string(planes) + " (one per plane)");
  per_plane.assign(planes, values[0]);
  if (values.size() > 1) per_plane = values;
  return true;
}

void put_cell(jit::Matrix* m, char* cell, const std::vector<double>& per_plane) {
  const std::int64_t size = jit::cell_bytes(m->info.type);
  for (std::size_t p = 0; p < per_plane.size(); ++p)
    put(cell + static_cast<std::int64_t>(p) * size, m->info.type, per_plane[p]);
}

}  // namespace

bool matrix_create(const std::string& name, const std::string& type, std::int64_t planes,
                   const std::vector<std::int64_t>& dims, std::string* why) {
  jit::MatrixInfo info{};
  info.type = max::gensym(type.c_str());
  if (jit::cell_bytes(info.type) == 0) return fail(why, "unknown cell type \"" + type + "\" (char, long, float32, float64)");
  if (planes < 1 || planes > jit::kMaxDims) return fail(why, "planes must be 1 to 32");
  if (dims.empty() || dims.size() > static_cast<std::size_t>(jit::kMaxDims))
    return fail(why, "give 1 to 32 dimensions");
  info.planecount = static_cast<std::int32_t>(planes);
  info.dimcount = static_cast<std::int32_t>(dims.size());
  for (std::size_t d = 0; d < dims.size(); ++d) {
    if (dims[d] < 1 || dims[d] > 0x7fffffff) return fail(why, "every dimension must be 1 to 2147483647");
    info.dim[d] = static_cast<std::int32_t>(dims[d]);
  }
  return make(name, info, why, nullptr);
}

bool matrix_fill(const std::string& name, const std::vector<double>& values, std::string* why) {
  jit::Matrix* m = find(name, why);
  std::vector<double> per_plane;
  if (!m || !plane_values(m, values, per_plane, why)) return false;
  const std::int64_t step = m->info.dimstride[0];
  for (std::int64_t at = 0; at < m->info.size; at += step) put_cell(m, m->data + at, per_plane);
  return true;
}

bool matrix_set(const std::string& name, const std::vector<std::int64_t>& index, const std::vector<double>& values,
                std::string* why) {
  jit::Matrix* m = find(name, why);
  std::vector<double> per_plane;
  if (!m || !plane_values(m, values, per_plane, why)) return false;
  if (index.size() != static_cast<std::size_t>(m->info.dimcount))
    return fail(why, "give " + std::to_string(m->info.dimcount) + " indices");
  std::int64_t at = 0;
  for (std::size_t d = 0; d < index.size(); ++d) {
    if (index[d] < 0 || index[d] >= m->info.dim[d])
      return fail(why, "index " + std::to_string(index[d]) + " is outside dimension " + std::to_string(d) +
                           " (size " + std::to_string(m->info.dim[d]) + ")");
    at += index[d] * m->info.dimstride[d];
  }
  put_cell(m, m->data + at, per_plane);
  return true;
}

bool matrix_load(const std::string& name, const std::string& path, std::string* why) {
  GreyImage img;
  if (!read_grey_image(path, img, why)) return false;
  jit::MatrixInfo info{};
  info.type = jit::_jit_sym_char;
  info.planecount = 1;
  info.dimcount = 2;
  info.dim[0] = img.width;
  info.dim[1] = img.height;
  jit::Matrix* m = nullptr;
  if (!make(name, info, why, &m)) return false;
  std::memcpy(m->data, img.pixels.data(), img.pixels.size());
  return true;
}

}  // namespace kohost
