// jit.gl.scanrelief as a patch sees it: its attributes, the wrapper, and what it draws
// (through the GL trace): the grid's primitives, display lists, matrix output and the
// vertex matrix in any shape.
#include <gtest/gtest.h>

#include <string>

#include "support/relief_fixture.h"

namespace {

// The trace of a draw of a grid whose vertices all have the same z, normal and texture
// coordinate, x running 1 .. -1 across the columns and y -1 .. 1 up the rows.
std::string flat_trace(int cols, int rows, const std::string& prim, const std::string& normal,
                       const std::string& tex) {
  std::string t;
  for (int r = 0; r + 1 < rows; ++r) {
    t += "gl: glBegin " + prim + "\n";
    for (int c = 0; c < cols; ++c)
      for (int rr : {r, r + 1}) {
        const auto x = static_cast<float>(1.0 - c * (2.0 / (cols - 1)));
        const auto y = static_cast<float>(rr * (2.0 / (rows - 1)) - 1.0);
        t += "gl: glNormal3f " + normal + "\ngl: glTexCoord2f " + tex + "\ngl: glVertex3f " +
             kohost::format_float(x) + " " + kohost::format_float(y) + " 0.0\n";
      }
    t += "gl: glEnd\n";
  }
  return t;
}

TEST_F(ReliefTest, AttributesAndTheirDefaults) {
  EXPECT_EQ(run("new r jit.gl.scanrelief\nsend r getdim\nsend r getmaxdim\nsend r getgridmode\nsend r getzscale\n"
                "send r getshape\nsend r getdisplaylist\nsend r getmatrixoutput\nsend r getcolor"),
            "r.1: dim 20 20\nr.1: maxdim 512 512\nr.1: gridmode 0\nr.1: zscale -1.0\nr.1: shape quad\n"
            "r.1: displaylist 0\nr.1: matrixoutput 0\nr.1: color 1.0 1.0 1.0 1.0\n");
  // dim is raised to 2; a setter given no values changes nothing; a char keeps 8 bits.
  EXPECT_EQ(run("send r dim 1 -4\nsend r getdim\nsend r dim\nsend r getdim\nsend r displaylist 257\n"
                "send r getdisplaylist\nsend r gridmode -1\nsend r getgridmode\nsend r zscale 0.5\nsend r getzscale\n"
                "send r shape\nsend r shape 3\nsend r getshape\nsend r shape tri\nsend r getshape"),
            "r.1: dim 2 2\nr.1: dim 2 2\nr.1: displaylist 1\nr.1: gridmode 255\nr.1: zscale 0.5\nr.1: shape quad\n"
            "r.1: shape tri\n");
  EXPECT_EQ(inner("r")->gridmode, -1);
  EXPECT_EQ(mistakes(), "");
}

TEST_F(ReliefTest, WrapperCreationMessagesAndAssist) {
  EXPECT_EQ(run("new r jit.gl.scanrelief ctx @gridmode 2 @dim 8 6 @nope 1\nsend r getdrawto\nsend r getgridmode\n"
                "send r getdim"),
            "error: jit.gl.scanrelief: no attribute \"nope\"\nr.1: drawto ctx\nr.1: gridmode 2\nr.1: dim 8 6\n");
  // The layer's private methods are no messages.
  EXPECT_EQ(run("send r ob3d_draw\nsend r dest_closing\nsend r register"),
            "error: jit.gl.scanrelief: doesn't understand \"ob3d_draw\"\n"
            "error: jit.gl.scanrelief: doesn't understand \"dest_closing\"\n"
            "error: jit.gl.scanrelief: doesn't understand \"register\"\n");
  EXPECT_EQ(run("assist r inlet 0\nassist r outlet 0\nassist r outlet 1"),
            "assist r inlet 0: (messages) attributes and methods\n"
            "assist r outlet 0: (jit_matrix) geometry when matrixoutput is on\n"
            "assist r outlet 1: (messages) attribute values\n");
  EXPECT_EQ(mistakes(), "");
}

TEST_F(ReliefTest, FirstDrawIsAFlatGridOfPoints) {
  run("new r jit.gl.scanrelief");
  const std::string t = traced_draw("r");
  EXPECT_EQ(count(t, "gl: glBegin GL_POINTS"), 19);
  EXPECT_EQ(count(t, "gl: glEnd"), 19);
  EXPECT_EQ(t, flat_trace(20, 20, "GL_POINTS", "0.0 0.0 0.0", "0.0 0.0"));
  // The first vertices, spelled out: the column at x = 1, row 0 then row 1.
  const std::string first =
      "gl: glBegin GL_POINTS\ngl: glNormal3f 0.0 0.0 0.0\ngl: glTexCoord2f 0.0 0.0\n"
      "gl: glVertex3f 1.0 -1.0 0.0\ngl: glNormal3f 0.0 0.0 0.0\ngl: glTexCoord2f 0.0 0.0\n"
      "gl: glVertex3f 1.0 -0.8947368 0.0\n";
  EXPECT_EQ(t.substr(0, first.size()), first);
  // Drawn again, the same.
  EXPECT_EQ(traced_draw("r"), t);
}

TEST_F(ReliefTest, GridmodeChoosesThePrimitive) {
  run("new r jit.gl.scanrelief @dim 3 3");
  const struct {
    const char* mode;
    const char* prim;
  } cases[] = {{"0", "GL_POINTS"},         {"1", "GL_LINES"},          {"2", "GL_LINE_STRIP"},
               {"3", "GL_LINE_LOOP"},      {"4", "GL_TRIANGLES"},      {"5", "GL_TRIANGLE_STRIP"},
               {"6", "GL_TRIANGLE_FAN"},   {"7", "GL_QUADS"},          {"8", "GL_QUAD_STRIP"},
               {"9", "GL_POLYGON"},        {"10", "GL_TRIANGLE_STRIP"}, {"127", "GL_TRIANGLE_STRIP"},
               {"-1", "GL_TRIANGLE_STRIP"}, {"128", "GL_TRIANGLE_STRIP"}, {"258", "GL_LINE_STRIP"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    run(std::string("send r gridmode ") + c.mode);
    const std::string t = traced_draw("r");
    EXPECT_EQ(count(t, std::string("gl: glBegin ") + c.prim), 2);
    EXPECT_EQ(count(t, "gl: glEnd"), 2);
  }
}

TEST_F(ReliefTest, DisplayListIsCompiledOnceThenCalled) {
  run("new r jit.gl.scanrelief @dim 3 3");
  const std::string strips = traced_draw("r");
  EXPECT_EQ(count(strips, "gl: glBegin GL_POINTS"), 2);
  run("send r displaylist 1");
  EXPECT_EQ(traced_draw("r"),
            "gl: glGenLists 1\ngl: glNewList 1 GL_COMPILE\n" + strips + "gl: glEndList\ngl: glCallList 1\n");
  EXPECT_EQ(traced_draw("r"), "gl: glCallList 1\n");
  // gridmode does not rebuild: the list keeps its primitive.
  run("send r gridmode 5");
  EXPECT_EQ(traced_draw("r"), "gl: glCallList 1\n");
  // A new matrix does: the old list goes, a new one is compiled with the new primitive.
  run("matrix m char 1 3 3\nsend r jit_matrix m");
  std::vector<std::string> l = lines_of(traced_draw("r"));
  ASSERT_EQ(l.size(), 5u + 2u * 20u);
  EXPECT_EQ(l[0], "gl: glDeleteLists 1 1");
  EXPECT_EQ(l[1], "gl: glGenLists 1");
  const std::string id = l[2].substr(14, l[2].find(' ', 14) - 14);
  EXPECT_EQ(l[2], "gl: glNewList " + id + " GL_COMPILE");
  EXPECT_EQ(l[3], "gl: glBegin GL_TRIANGLE_STRIP");
  EXPECT_EQ(l[l.size() - 2], "gl: glEndList");
  EXPECT_EQ(l.back(), "gl: glCallList " + id);
  // Off: the list stays but is never called; direct drawing uses the current primitive.
  run("send r displaylist 0\nsend r gridmode 1");
  std::string t = traced_draw("r");
  EXPECT_EQ(t.find("List"), std::string::npos);
  EXPECT_EQ(count(t, "gl: glBegin GL_LINES"), 2);
  // Closing the context deletes it; the next context compiles anew once it is on again.
  run("gltrace on");
  kohost::close_gl_context();
  EXPECT_EQ(out.str(), "gl: glDeleteLists " + id + " 1\n");
  run("gltrace off\nsend r displaylist 1");
  t = traced_draw("r");
  EXPECT_EQ(t.substr(0, 44), "gl: glGenLists 1\ngl: glNewList 1 GL_COMPILE\n");
  // Freeing it deletes the list (with the context current) after the buffers' lines.
  EXPECT_EQ(run("gltrace on\nfree r\ngltrace off"),
            "console: just free 'd facenorms\nconsole: just free 'd texcoords\nconsole: just free 'd vertnormz\n"
            "console: just free 'd posit\ngl: glDeleteLists 1 1\n");
}

TEST_F(ReliefTest, DestinationMessagesAndTheList) {
  run("new r jit.gl.scanrelief @dim 3 3");
  traced_draw("r");
  // No list: closing the context, or a new one, changes nothing.
  kohost::close_gl_context();
  EXPECT_EQ(inner("r")->rebuild, 0);
  max::Symbol* const changed = max::gensym("dest_changed");
  jit::jit_object_method(inner("r"), changed);
  EXPECT_EQ(inner("r")->rebuild, 0);
  run("send r displaylist 1");
  traced_draw("r");
  ASSERT_EQ(inner("r")->listid, 1u);
  EXPECT_EQ(inner("r")->rebuild, 0);
  // With a list, a new destination rebuilds it at the next draw.
  jit::jit_object_method(inner("r"), changed);
  EXPECT_EQ(inner("r")->rebuild, 1);
  EXPECT_EQ(traced_draw("r").substr(0, 39), "gl: glDeleteLists 1 1\ngl: glGenLists 1\n");
  EXPECT_EQ(inner("r")->rebuild, 0);
  kohost::close_gl_context();
  EXPECT_EQ(inner("r")->listid, 0u);
  EXPECT_EQ(inner("r")->rebuild, 1);
  // A list whose compile gave no name: later draws take the direct way.
  EXPECT_EQ(run("send r displaylist 0\nsend r displaylist 256\nsend r getdisplaylist"), "r.1: displaylist 0\n");
}

TEST_F(ReliefTest, ShapeOtherThanQuadFreezesTheVertexMatrix) {
  run("new r jit.gl.scanrelief @dim 3 3 @zscale 1\nmatrix m char 1 3 3\nmatrix m fill 255");
  const std::string flat = traced_draw("r");
  EXPECT_NE(flat.find("gl: glVertex3f 1.0 -1.0 0.0\n"), std::string::npos);
  // The buffers follow the matrix, the picture does not.
  run("send r shape tri\nsend r jit_matrix m");
  EXPECT_EQ(inner("r")->posit[0], height(255, 1.0f));
  EXPECT_EQ(traced_draw("r"), flat);
  run("send r shape quad");
  const std::string t = traced_draw("r");
  EXPECT_NE(t.find("gl: glVertex3f 1.0 -1.0 " + f(height(255, 1.0f)) + "\n"), std::string::npos);
}

TEST_F(ReliefTest, VertexMatrixOfAnyPlaneCount) {
  run("new r jit.gl.scanrelief @dim 3 2");
  traced_draw("r");
  void* vertex = inner("r")->chunk->vertex;
  // calls per vertex: 2 planes none, 3 and 4 the vertex, 5 to 7 with the texture
  // coordinate, 8 to 16 with the normal too, more: none.
  const struct {
    int planes;
    int calls;
  } cases[] = {{1, 0}, {2, 0}, {3, 1}, {4, 1}, {5, 2}, {7, 2}, {8, 3}, {12, 3}, {16, 3}, {17, 0}, {32, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.planes);
    jit::MatrixInfo info{};
    jit::jit_object_method(vertex, jit::_jit_sym_getinfo, &info);
    info.planecount = c.planes;
    ASSERT_EQ(ko::jit_result(jit::jit_object_method(vertex, jit::_jit_sym_setinfo, &info)), jit::kOk);
    run("send r gridmode 4");  // a new primitive, no rebuild
    const std::string t = traced_draw("r");
    EXPECT_EQ(lines_of(t).size(), 2u + 6u * static_cast<unsigned>(c.calls));
    EXPECT_EQ(t.substr(0, 26), "gl: glBegin GL_TRIANGLES\ng");
    // A rebuild fills what planes there are and draws the same way.
    run("send r shape quad");
    EXPECT_EQ(lines_of(traced_draw("r")).size(), 2u + 6u * static_cast<unsigned>(c.calls));
  }
  // A vertex matrix of another cell type is not drawn at all.
  jit::MatrixInfo info{};
  jit::jit_object_method(vertex, jit::_jit_sym_getinfo, &info);
  info.type = jit::_jit_sym_char;
  info.planecount = 12;
  ASSERT_EQ(ko::jit_result(jit::jit_object_method(vertex, jit::_jit_sym_setinfo, &info)), jit::kOk);
  run("send r shape quad");
  EXPECT_EQ(traced_draw("r"), "");
}

TEST_F(ReliefTest, MatrixOutputSendsTheVertexMatrixWithTheColour) {
  run("new r jit.gl.scanrelief @dim 3 3 @matrixoutput 1 @color 1 0.5 0.25 1");
  const std::string name = inner("r")->chunk->vertex_name->s_name;
  EXPECT_EQ(traced_draw("r"), "r.0: jit_matrix " + name + "\n");
  std::vector<float> v = vertices("r");
  ASSERT_EQ(v.size(), 9u * 12u);
  for (std::size_t k = 0; k < 9; ++k) {
    EXPECT_EQ(v[k * 12 + 8], 1.0f);
    EXPECT_EQ(v[k * 12 + 9], 0.5f);
    EXPECT_EQ(v[k * 12 + 10], 0.25f);
    EXPECT_EQ(v[k * 12 + 11], 1.0f);
  }
  // A new colour reaches every vertex at the next draw, without a rebuild.
  run("send r color 0 1 0 0.5");
  EXPECT_EQ(traced_draw("r"), "r.0: jit_matrix " + name + "\n");
  v = vertices("r");
  for (std::size_t k = 0; k < 9; ++k) {
    EXPECT_EQ(v[k * 12 + 8], 0.0f);
    EXPECT_EQ(v[k * 12 + 9], 1.0f);
    EXPECT_EQ(v[k * 12 + 11], 0.5f);
  }
  // Off again: drawn directly, colours never sent.
  EXPECT_EQ(traced_draw("r"), "r.0: jit_matrix " + name + "\n");
  const std::string t = run("send r matrixoutput 0\ngltrace on\ndraw r\ngltrace off");
  EXPECT_EQ(t.find("Color"), std::string::npos);
  EXPECT_EQ(count(t, "gl: glBegin GL_POINTS"), 2);
}

TEST_F(ReliefTest, DimResizesTheGridAndHugeOnesStayInTheBuffers) {
  run("new r jit.gl.scanrelief @dim 5 4");
  std::string t = traced_draw("r");
  EXPECT_EQ(count(t, "gl: glBegin GL_POINTS"), 3);
  EXPECT_EQ(lines_of(t).size(), 3u * (2u + 10u * 3u));
  // One value makes a one-row grid: nothing to draw.
  EXPECT_EQ(run("send r dim 7\nsend r getdim"), "r.1: dim 7 0\n");
  EXPECT_EQ(traced_draw("r"), "");
  // Grids beyond the buffers' 512 x 512 vertices, and a wide one whose texture pass would
  // reach far past them: every pass and the fill stop at the buffers.
  run("matrix m char 1 256 256\nmatrix m fill 200");
  for (const char* dim : {"600 600", "2000 3", "3 90000", "1100 300"}) {
    SCOPED_TRACE(dim);
    run(std::string("send r dim ") + dim + "\nsend r jit_matrix m\ndraw r");
    const std::vector<float> v = vertices("r");
    const std::size_t n = v.size() / 12;
    // Past the buffers, a vertex has no height, normal or texture coordinate.
    for (std::size_t k = 262144; k < n; k += 997)
      for (int p = 2; p < 8; ++p) ASSERT_EQ(v[k * 12 + p], 0.0f) << k;
    EXPECT_EQ(v[2], height(200, -1.0f));
  }
  EXPECT_EQ(mistakes(), "");
}

}  // namespace
