// Tests of jit.gl.scanrelief: a patch with the plug-in loaded, a fresh OpenGL context (so
// display lists are numbered from 1), and a look at an object's inner record.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "frame/jitapi.h"
#include "frame/jitbind.h"
#include "host/jit/scene.h"
#include "host/text.h"
#include "objects/jit.gl.scanrelief/relief.h"
#include "support/patch_fixture.h"

class ReliefTest : public PatchTest {
 protected:
  void SetUp() override {
    load({"jit.gl.scanrelief"});
    kohost::close_gl_context();
  }
  void TearDown() override { kohost::fail_allocation(0); }

  relief::Relief* inner(const char* id) {
    return static_cast<relief::Relief*>(jit::max_jit_obex_jitob_get(patch.find(id)));
  }
  // What one draw of the object sends to OpenGL.
  std::string traced_draw(const std::string& id) { return run("gltrace on\ndraw " + id + "\ngltrace off"); }

  // The relief's height for a cell value: unsigned, scaled in double, kept as a float.
  static float height(int v, float zscale) { return static_cast<float>(v * static_cast<double>(zscale) * 0.00392157); }
  static std::string f(float v) { return kohost::format_float(v); }

  static std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
  }
  static int count(const std::string& text, const std::string& line) {
    int n = 0;
    for (const std::string& l : lines_of(text)) n += l == line;
    return n;
  }

  // The vertex matrix's floats, plane by plane for each vertex (12 per vertex).
  std::vector<float> vertices(const char* id) {
    void* m = inner(id)->chunk->vertex;
    jit::MatrixInfo info{};
    char* data = nullptr;
    jit::jit_object_method(m, jit::_jit_sym_getinfo, &info);
    jit::jit_object_method(m, jit::_jit_sym_getdata, &data);
    const auto* p = reinterpret_cast<const float*>(data);
    return std::vector<float>(p, p + info.size / 4);
  }
};
