// The matrix and drawing layer on its own: attributes, methods and their deferral, the
// wrapper, matrices and the kohost matrix commands, drawing records, chunks and matrix
// output, seen through a probe drawing class linked into the test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "frame/bind.h"
#include "frame/glapi.h"
#include "frame/jitapi.h"
#include "frame/jitbind.h"
#include "host/jit/scene.h"
#include "host/text.h"
#include "support/patch_fixture.h"

namespace {

struct Probe {
  jit::Object ob;
  void* ob3d;
  std::int32_t level;
  float gain;
  max::Symbol* label;
  std::int8_t mode;
  std::int32_t size[2];
  double vals[3];
  std::int32_t vals_count;
  jit::GlChunk* chunk;
};

struct ProbeWrap {
  max::Object ob;
  void* obex;
};

jit::Class* probe_class;
max::Class* wrap_class;
max::Symbol* probe_name;
std::string log;

void note(const std::string& s) { log += s + ";"; }

std::string atoms_text(std::int32_t argc, const max::Atom* argv) {
  std::string s;
  for (std::int32_t i = 0; i < argc; ++i) s += " " + kohost::format_atom(argv[i]);
  return s;
}

void probe_matrix(Probe*, max::Symbol* s, std::int32_t argc, const max::Atom* argv) {
  note(std::string(s->s_name) + atoms_text(argc, argv));
}

void probe_poke(Probe* x, max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  note("poke" + atoms_text(argc, argv) + " level " + std::to_string(x->level));
}

jit::jit_err probe_draw(Probe* x) {
  note("draw");
  if (jit::jit_attr_getlong(x, max::gensym("matrixoutput"))) return jit::jit_ob3d_draw_chunk(x->ob3d, x->chunk);
  glBegin(GL_TRIANGLES);
  glNormal3f(0.0f, 0.0f, 1.0f);
  glTexCoord2f(0.5f, 0.25f);
  glVertex3f(1.0f, -1.0f, 0.0f);
  glEnd();
  const GLuint list = glGenLists(1);
  glNewList(list, GL_COMPILE);
  glEndList();
  glCallList(list);
  glDeleteLists(list, 1);
  return 0;
}

jit::jit_err probe_closing(Probe*) {
  note("dest_closing");
  return 0;
}
jit::jit_err probe_changed(Probe*) {
  note("dest_changed");
  return 0;
}
jit::jit_err probe_secret(Probe*) {
  note("secret");
  return 0;
}

// "level" has a custom setter that doubles what it gets.
jit::jit_err probe_level(Probe* x, void*, std::int32_t argc, const max::Atom* argv) {
  if (argc > 0) x->level = 2 * jit::jit_atom_getlong(argv);
  return 0;
}

Probe* probe_new(max::Symbol* dest) {
  auto* x = static_cast<Probe*>(jit::jit_object_alloc(probe_class));
  if (!x) return nullptr;
  jit::jit_ob3d_new(x, dest);
  x->gain = 0.5f;
  x->label = max::gensym("none");
  x->size[0] = x->size[1] = 1;
  x->chunk = jit::jit_glchunk_grid_new(jit::_jit_sym_gl_quad_grid, 12, 3, 2);
  note("new " + std::string(dest->s_name));
  return x;
}

void probe_free(Probe* x) {
  jit::jit_glchunk_delete(x->chunk);
  jit::jit_ob3d_free(x);
  note("free");
}

ProbeWrap* wrap_new(max::Symbol*, std::int32_t argc, const max::Atom* argv) {
  max::Symbol* dest = jit::_jit_sym_nothing;
  auto* x = static_cast<ProbeWrap*>(jit::max_jit_obex_new(wrap_class, probe_name));
  if (!x) return nullptr;
  const std::int32_t n = jit::max_jit_attr_args_offset(argc, argv);
  if (n != 0) jit::jit_atom_arg_getsym(&dest, 0, n, argv);
  void* inner = jit::jit_object_new(probe_name, dest);
  jit::max_jit_obex_jitob_set(x, inner);
  jit::max_jit_obex_dumpout_set(x, max::outlet_new(&x->ob, nullptr));
  jit::max_jit_attr_args(x, argc, argv);
  jit::max_jit_ob3d_attach(x, inner, max::outlet_new(&x->ob, "jit_matrix"));
  return x;
}

void wrap_free(ProbeWrap* x) {
  jit::max_jit_ob3d_detach(x);
  jit::jit_object_free(jit::max_jit_obex_jitob_get(x));
  jit::max_jit_obex_free(x);
}

int probe_main() {
  using namespace jit;
  probe_class = jit_class_new("jit_probe", ko::jit_handler<probe_new>(), ko::jit_handler<probe_free>(), sizeof(Probe),
                              kPrivate, 0);
  jit_ob3d_setup(probe_class, offsetof(Probe, ob3d), 0);
  const std::int32_t deferred = kAttrSetDeferred | kAttrGetDeferred;
  jit_class_addattr(probe_class, jit_object_new(_jit_sym_jit_attr_offset, "level", _jit_sym_long, deferred, nullptr,
                                                ko::jit_handler<probe_level>(), offsetof(Probe, level)));
  jit_class_addattr(probe_class, jit_object_new(_jit_sym_jit_attr_offset, "gain", _jit_sym_float32, 0, nullptr,
                                                nullptr, offsetof(Probe, gain)));
  jit_class_addattr(probe_class, jit_object_new(_jit_sym_jit_attr_offset, "label", _jit_sym_symbol, 0, nullptr,
                                                nullptr, offsetof(Probe, label)));
  jit_class_addattr(probe_class, jit_object_new(_jit_sym_jit_attr_offset, "mode", _jit_sym_char, 0, nullptr, nullptr,
                                                offsetof(Probe, mode)));
  void* size = jit_object_new(_jit_sym_jit_attr_offset_array, "size", _jit_sym_long, 2, 0, nullptr, nullptr, 0,
                              offsetof(Probe, size));
  jit_attr_addfilterset_clip(size, 1.0, 100.0, 1, 1);
  jit_class_addattr(probe_class, size);
  jit_class_addattr(probe_class, jit_object_new(_jit_sym_jit_attr_offset_array, "vals", _jit_sym_float64, 3, 0,
                                                nullptr, nullptr, offsetof(Probe, vals_count), offsetof(Probe, vals)));
  jit_class_addmethod(probe_class, ko::jit_handler<probe_matrix>(), "jit_matrix", kDeferredUsurp, 0);
  jit_class_addmethod(probe_class, ko::jit_handler<probe_poke>(), "poke", kGimme, 0);
  jit_class_addmethod(probe_class, ko::jit_handler<probe_draw>(), "ob3d_draw", kPrivate, 0);
  jit_class_addmethod(probe_class, ko::jit_handler<probe_changed>(), "dest_changed", kPrivate, 0);
  jit_class_addmethod(probe_class, ko::jit_handler<probe_closing>(), "dest_closing", kPrivate, 0);
  jit_class_addmethod(probe_class, ko::jit_handler<probe_secret>(), "secret", kPrivate, 0);
  jit_class_register(probe_class);
  probe_name = max::gensym("jit_probe");
  max::setup(&wrap_class, ko::handler<wrap_new>(), ko::handler<wrap_free>(), sizeof(ProbeWrap), nullptr,
             max::A_GIMME, 0);
  jit::max_jit_classex_standard_wrap(jit::max_jit_classex_setup(offsetof(ProbeWrap, obex)),
                                     jit_class_findbyname(probe_name), 0);
  max::addmess(max::as_method(&max_jit_ob3d_assist), "assist", max::A_CANT, 0);
  max_ob3d_setup();
  return 0;
}

class JitLayerTest : public PatchTest {
 protected:
  void SetUp() override {
    kohost::register_class("jit.probe", probe_main);
    load({"ko-mirror4"});
    log.clear();
  }
  void* inner(const char* id) { return jit::max_jit_obex_jitob_get(patch.find(id)); }
};

TEST_F(JitLayerTest, AttributesSetByMessageAndAnsweredOnTheDumpOutlet) {
  EXPECT_EQ(run("new p jit.probe ctx @gain 2 @label hi @size 0 500 @mode 300"), "");
  EXPECT_EQ(log, "new ctx;");
  EXPECT_EQ(run("send p getgain\nsend p getlabel\nsend p getsize\nsend p getmode\nsend p getdrawto"),
            "p.1: gain 2.0\np.1: label hi\np.1: size 1 100\np.1: mode 44\np.1: drawto ctx\n");
  // A float is truncated for a long; a char keeps the low 8 bits; a symbol where a number
  // belongs leaves the value; an array set with fewer values keeps the rest.
  EXPECT_EQ(run("send p size 7.9\nsend p getsize\nsend p mode -1\nsend p getmode\nsend p gain x\nsend p getgain"),
            "p.1: size 7 100\np.1: mode 255\np.1: gain 2.0\n");
  EXPECT_EQ(reinterpret_cast<Probe*>(inner("p"))->mode, -1);
  EXPECT_EQ(run("send p gain 0.1\nsend p getgain\nsend p label 3\nsend p getlabel"), "p.1: gain 0.1\np.1: label hi\n");
  // The layer's own attributes, with their defaults.
  EXPECT_EQ(run("send p getcolor\nsend p getmatrixoutput\nsend p getenable\nsend p getscale\nsend p getpoly_mode"),
            "p.1: color 1.0 1.0 1.0 1.0\np.1: matrixoutput 0\np.1: enable 1\np.1: scale 1.0 1.0 1.0\n"
            "p.1: poly_mode 0 0\n");
  // The count field of an array follows the values set.
  EXPECT_EQ(run("send p vals 1.5 2\nsend p getvals"), "p.1: vals 1.5 2.0 0.0\n");
  EXPECT_EQ(reinterpret_cast<Probe*>(inner("p"))->vals_count, 2);
  EXPECT_EQ(run("send p secret\nsend p ob3d_draw\nsend p getnothing"),
            "error: jit.probe: doesn't understand \"secret\"\n"
            "error: jit.probe: doesn't understand \"ob3d_draw\"\n"
            "error: jit.probe: doesn't understand \"getnothing\"\n");
  EXPECT_EQ(mistakes(), "");
}

TEST_F(JitLayerTest, DeferredSetsAndMethodsWaitAndTheNewestWins) {
  run("new p jit.probe");
  log.clear();
  // "level" sets and gets run later; jit_matrix runs later; poke runs at once.
  EXPECT_EQ(run("defer hold\nsend p level 5\nsend p jit_matrix a\nsend p level 7\nsend p getlevel\n"
                "send p jit_matrix b 1\nsend p poke 3"),
            "");
  EXPECT_EQ(log, "poke 3 level 0;");
  EXPECT_EQ(kohost::deferred_count(), 1u);
  // One turn of the queue: level 7 (doubled), then the one jit_matrix left, then the get.
  EXPECT_EQ(run("defer run"), "p.1: level 14\n");
  EXPECT_EQ(log, "poke 3 level 0;jit_matrix b 1;");
  EXPECT_EQ(kohost::deferred_count(), 0u);
  // Two gets both answer.
  EXPECT_EQ(run("send p getlevel\nsend p getlevel"), "p.1: level 14\np.1: level 14\n");
  // Freeing the object drops what waits for it.
  run("defer hold\nsend p jit_matrix c\nfree p\ndefer run");
  EXPECT_EQ(log, "poke 3 level 0;jit_matrix b 1;free;");
}

TEST_F(JitLayerTest, ObjectMethodReachesMethodsSettersAndGetters) {
  run("new p jit.probe");
  void* x = inner("p");
  ASSERT_NE(x, nullptr);
  max::Atom v[2] = {kohost::long_atom(3), kohost::float_atom(250.5f)};
  EXPECT_EQ(ko::jit_result(jit::jit_object_method(x, max::gensym("size"), std::int32_t{2}, v)), jit::kOk);
  std::int32_t ac = 0;
  max::Atom* av = nullptr;
  EXPECT_EQ(ko::jit_result(jit::jit_object_method(x, max::gensym("getsize"), &ac, &av)), jit::kOk);
  ASSERT_EQ(ac, 2);
  EXPECT_EQ(av[0].a_w.w_long, 3);
  EXPECT_EQ(av[1].a_w.w_long, 100);
  jit::jit_freebytes(av, ac * static_cast<std::int64_t>(sizeof(max::Atom)));
  EXPECT_EQ(ko::jit_result(jit::jit_object_method(x, max::gensym("getcolor"), &ac, &av)), jit::kOk);
  EXPECT_EQ(ac, 4);
  jit::jit_freebytes(av, ac * static_cast<std::int64_t>(sizeof(max::Atom)));
  // The custom setter runs for a direct set too, and the deferral is the wrapper's only.
  max::Atom four = kohost::long_atom(4);
  jit::jit_object_method(x, max::gensym("level"), std::int32_t{1}, &four);
  EXPECT_EQ(jit::jit_attr_getlong(x, max::gensym("level")), 8);
  jit::jit_object_method(x, max::gensym("secret"));
  EXPECT_EQ(log, "new ;secret;");
  EXPECT_EQ(jit::jit_object_method(x, max::gensym("nothing")), nullptr);
  EXPECT_EQ(jit::jit_object_method(nullptr, max::gensym("secret")), nullptr);
  // Typed accessors.
  EXPECT_EQ(jit::jit_attr_setfloat(x, max::gensym("gain"), 1.25), jit::kOk);
  EXPECT_EQ(jit::jit_attr_getfloat(x, max::gensym("gain")), 1.25);
  EXPECT_EQ(jit::jit_attr_setsym(x, max::gensym("label"), max::gensym("yo")), jit::kOk);
  EXPECT_EQ(jit::jit_attr_getsym(x, max::gensym("label")), max::gensym("yo"));
  EXPECT_EQ(jit::jit_attr_setlong(x, max::gensym("matrixoutput"), 1), jit::kOk);
  EXPECT_EQ(jit::jit_attr_getlong(x, max::gensym("matrixoutput")), 1);
  EXPECT_EQ(jit::jit_attr_getlong(x, max::gensym("nope")), 0);
  EXPECT_NE(jit::jit_attr_setlong(x, max::gensym("nope"), 1), jit::kOk);
}

TEST_F(JitLayerTest, WrapperHelpers) {
  const max::Atom args[] = {kohost::sym_atom("ctx"), kohost::long_atom(1), kohost::sym_atom("@size"),
                            kohost::long_atom(2), kohost::sym_atom("@gain")};
  EXPECT_EQ(jit::max_jit_attr_args_offset(5, args), 2);
  EXPECT_EQ(jit::max_jit_attr_args_offset(2, args), 2);
  EXPECT_EQ(jit::max_jit_attr_args_offset(3, args + 2), 0);
  EXPECT_EQ(jit::max_jit_attr_args_offset(0, nullptr), 0);
  max::Symbol* s = max::gensym("kept");
  EXPECT_NE(jit::jit_atom_arg_getsym(&s, 1, 5, args), jit::kOk);
  EXPECT_EQ(s, max::gensym("kept"));
  EXPECT_NE(jit::jit_atom_arg_getsym(&s, 7, 5, args), jit::kOk);
  EXPECT_EQ(jit::jit_atom_arg_getsym(&s, 0, 5, args), jit::kOk);
  EXPECT_EQ(s, max::gensym("ctx"));
  EXPECT_EQ(jit::jit_atom_getlong(&args[1]), 1);
  const max::Atom f = kohost::float_atom(-2.7f);
  EXPECT_EQ(jit::jit_atom_getlong(&f), -2);
  EXPECT_EQ(jit::jit_atom_getfloat(&args[0]), 0.0);
  EXPECT_EQ(jit::jit_atom_getsym(&args[1]), jit::_jit_sym_nothing);
  EXPECT_EQ(jit::jit_math_sqrt(2.25), 1.5);
  // A creation whose first argument is the destination, attributes with no values.
  EXPECT_EQ(run("new p jit.probe there 5 @gain @size 4"), "");
  EXPECT_EQ(run("send p getgain\nsend p getsize\nsend p getdrawto"), "p.1: gain 0.5\np.1: size 4 1\np.1: drawto there\n");
  EXPECT_EQ(run("assist p outlet 1"), "assist p outlet 1: (messages) attribute values\n");
}

std::int32_t convert_probe(std::int32_t a, double b, const char* p, std::int32_t missing) {
  return a * 1000 + static_cast<std::int32_t>(b * 10) + (p ? 1 : 0) * 100 + missing;
}

TEST_F(JitLayerTest, HandlerWordsConvertLikeTheirParameters) {
  const jit::method m = ko::jit_handler<convert_probe>();
  const jit::Word w[] = {jit::jit_word(2.9), jit::jit_word(3), jit::jit_word("x")};
  EXPECT_EQ(ko::jit_result(m(3, w)), 2000 + 30 + 100);
}

TEST_F(JitLayerTest, MatricesOfEveryTypeWithInfoDataLockAndDim) {
  struct Case {
    max::Symbol* type;
    std::int64_t cell;
  };
  for (const Case& c : {Case{jit::_jit_sym_char, 1}, Case{jit::_jit_sym_long, 4}, Case{jit::_jit_sym_float32, 4},
                        Case{jit::_jit_sym_float64, 8}}) {
    SCOPED_TRACE(c.type->s_name);
    jit::MatrixInfo info{};
    info.type = c.type;
    info.planecount = 3;
    info.dimcount = 3;
    info.dim[0] = 5;
    info.dim[1] = 4;
    info.dim[2] = 2;
    void* m = jit::jit_object_new(jit::_jit_sym_jit_matrix, &info);
    ASSERT_NE(m, nullptr);
    jit::MatrixInfo got{};
    EXPECT_EQ(ko::jit_result(jit::jit_object_method(m, jit::_jit_sym_getinfo, &got)), jit::kOk);
    EXPECT_EQ(got.type, c.type);
    EXPECT_EQ(got.planecount, 3);
    EXPECT_EQ(got.dimcount, 3);
    EXPECT_EQ(got.dimstride[0], 3 * c.cell);
    EXPECT_EQ(got.dimstride[1], 15 * c.cell);
    EXPECT_EQ(got.dimstride[2], 60 * c.cell);
    EXPECT_EQ(got.size, 120 * c.cell);
    char* data = nullptr;
    EXPECT_EQ(jit::jit_object_method(m, jit::_jit_sym_getdata, &data), data);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::vector<char>(data, data + got.size), std::vector<char>(static_cast<std::size_t>(got.size), 0));
    EXPECT_EQ(ko::jit_result(jit::jit_object_method(m, jit::_jit_sym_lock, 1)), 0);
    EXPECT_EQ(ko::jit_result(jit::jit_object_method(m, jit::_jit_sym_lock, 0)), 1);
    const max::Atom dims[] = {kohost::long_atom(7), kohost::float_atom(-3.0f)};
    jit::jit_object_method(m, jit::_jit_sym_dim, std::int32_t{2}, dims);
    jit::jit_object_method(m, jit::_jit_sym_getinfo, &got);
    EXPECT_EQ(got.dimcount, 2);
    EXPECT_EQ(got.dim[0], 7);
    EXPECT_EQ(got.dim[1], 1);
    EXPECT_EQ(got.size, 21 * c.cell);
    jit::jit_object_free(m);
  }
}

TEST_F(JitLayerTest, UnusableMatricesAreRefused) {
  jit::MatrixInfo info{};
  info.type = jit::_jit_sym_float64;
  info.planecount = 32;
  info.dimcount = 3;
  info.dim[0] = info.dim[1] = info.dim[2] = 2147483647;  // far beyond the limit, no overflow
  EXPECT_EQ(jit::jit_object_new(jit::_jit_sym_jit_matrix, &info), nullptr);
  info.dim[0] = info.dim[1] = info.dim[2] = 0;
  EXPECT_EQ(jit::jit_object_new(jit::_jit_sym_jit_matrix, &info), nullptr);
  info.dim[0] = 1;
  info.type = jit::_jit_sym_symbol;
  EXPECT_EQ(jit::jit_object_new(jit::_jit_sym_jit_matrix, &info), nullptr);
  EXPECT_EQ(jit::jit_object_new(jit::_jit_sym_jit_matrix, jit::_jit_sym_nothing), nullptr);
  EXPECT_EQ(jit::jit_object_new(max::gensym("no_such_class"), jit::_jit_sym_nothing), nullptr);
}

TEST_F(JitLayerTest, RegisteredNames) {
  jit::MatrixInfo info{};
  info.type = jit::_jit_sym_char;
  info.planecount = 1;
  info.dimcount = 1;
  info.dim[0] = 4;
  void* a = jit::jit_object_new(jit::_jit_sym_jit_matrix, &info);
  void* b = jit::jit_object_new(jit::_jit_sym_jit_matrix, &info);
  max::Symbol* name = max::gensym("layer-test-name");
  EXPECT_EQ(jit::jit_object_register(a, name), a);
  EXPECT_EQ(jit::jit_object_register(b, name), nullptr);
  EXPECT_EQ(jit::jit_object_findregistered(name), a);
  EXPECT_EQ(jit::jit_object_method(b, max::gensym("register"), jit::_jit_sym_nothing), b);
  EXPECT_NE(jit::jit_object_name(b), jit::_jit_sym_nothing);
  EXPECT_EQ(jit::jit_object_findregistered(jit::jit_object_name(b)), b);
  EXPECT_EQ(jit::jit_object_classname(a), max::gensym("jit_matrix"));
  jit::jit_object_free(a);
  EXPECT_EQ(jit::jit_object_findregistered(name), nullptr);
  jit::jit_object_free(b);
}

TEST_F(JitLayerTest, ScriptMatrices) {
  EXPECT_EQ(run("matrix m float32 2 3 2\nmatrix m fill 1.5\nmatrix m set 2 1 = 4 -5\nmatrix c char 1 2\n"
                "matrix c fill 300\nmatrix c set 1 = -7"),
            "");
  auto* m = jit::jit_object_findregistered(max::gensym("m"));
  ASSERT_NE(m, nullptr);
  char* data = nullptr;
  jit::jit_object_method(m, jit::_jit_sym_getdata, &data);
  std::vector<float> cells(12);
  std::memcpy(cells.data(), data, 48);
  EXPECT_EQ(cells, (std::vector<float>{1.5f, 1.5f, 1.5f, 1.5f, 1.5f, 1.5f, 1.5f, 1.5f, 1.5f, 1.5f, 4.0f, -5.0f}));
  auto* c = jit::jit_object_findregistered(max::gensym("c"));
  jit::jit_object_method(c, jit::_jit_sym_getdata, &data);
  EXPECT_EQ(static_cast<unsigned char>(data[0]), 255);
  EXPECT_EQ(static_cast<unsigned char>(data[1]), 0);
  // Replacing a matrix the script made is fine.
  EXPECT_EQ(run("matrix c long 1 1"), "");
  EXPECT_EQ(run("matrix nope fill 1\nmatrix m set 3 0 = 1\nmatrix m set 0 = 1\nmatrix m fill 1 2 3\n"
                "matrix m int8 1 2\nmatrix m char 33 2\nmatrix m char 1 0\nmatrix big char 4 100000 100000"),
            "error: matrix nope: no matrix \"nope\"\n"
            "error: matrix m: index 3 is outside dimension 0 (size 3)\n"
            "error: matrix m: give 2 indices\n"
            "error: matrix m: give one value or 2 (one per plane)\n"
            "error: matrix m: unknown cell type \"int8\" (char, long, float32, float64)\n"
            "error: matrix m: planes must be 1 to 32\n"
            "error: matrix m: every dimension must be 1 to 2147483647\n"
            "error: matrix big: larger than 1073741824 bytes\n");
  EXPECT_EQ(mistakes(), "");
  run("matrix m fill x\nmatrix m set 1 1 1\nmatrix m float32 two 3\nmatrix m");
  EXPECT_EQ(mistakes().substr(0, 22), "kohost: 1: usage: matr");
  // A name that an object holds is not the script's to replace.
  run("new p jit.probe");
  const std::string chunk_name = reinterpret_cast<Probe*>(inner("p"))->chunk->vertex_name->s_name;
  EXPECT_EQ(run("matrix " + chunk_name + " char 1 1"),
            "error: matrix " + chunk_name + ": the name \"" + chunk_name + "\" belongs to another object\n");
}

TEST_F(JitLayerTest, ScriptMatricesLoadImages) {
  const auto dir = std::filesystem::temp_directory_path() / ("ko-layer-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  {
    std::ofstream pgm(dir / "a.pgm", std::ios::binary);
    pgm << "P5\n# three by two\n3 2\n255\n";
    const unsigned char px[] = {0, 10, 20, 30, 40, 255};
    pgm.write(reinterpret_cast<const char*>(px), sizeof px);
    std::ofstream plain(dir / "b.pgm");
    plain << "P2 2 1 15 0 15\n";
    std::ofstream junk(dir / "c.png");
    junk << "not an image";
  }
  const std::vector<std::uint8_t> rgb = {0, 0, 0, 255, 255, 255, 128, 128, 128, 40, 40, 40};  // bottom row first
  std::string why;
  ASSERT_TRUE(kohost::write_png_rgb((dir / "d.png").string(), 2, 2, rgb.data(), &why)) << why;
  script.set_base_dir(dir.string());
  EXPECT_EQ(run("matrix a load a.pgm\nmatrix b load b.pgm\nmatrix d load d.png"), "");
  auto cells = [](const char* name, jit::MatrixInfo& info) {
    void* m = jit::jit_object_findregistered(max::gensym(name));
    char* data = nullptr;
    jit::jit_object_method(m, jit::_jit_sym_getinfo, &info);
    jit::jit_object_method(m, jit::_jit_sym_getdata, &data);
    return std::vector<std::uint8_t>(data, data + info.size);
  };
  jit::MatrixInfo info{};
  EXPECT_EQ(cells("a", info), (std::vector<std::uint8_t>{0, 10, 20, 30, 40, 255}));
  EXPECT_EQ(info.type, jit::_jit_sym_char);
  EXPECT_EQ(info.planecount, 1);
  EXPECT_EQ(info.dim[0], 3);
  EXPECT_EQ(info.dim[1], 2);
  EXPECT_EQ(cells("b", info), (std::vector<std::uint8_t>{0, 255}));
  // Row 0 is the top of the picture.
  EXPECT_EQ(cells("d", info), (std::vector<std::uint8_t>{128, 40, 0, 255}));
  EXPECT_EQ(run("matrix e load c.png\nmatrix e load missing.png").substr(0, 24), "error: matrix e: \"" +
                                                                                    (dir / "c.png").string().substr(0, 6));
  std::filesystem::remove_all(dir);
}

TEST_F(JitLayerTest, DrawingTracesMatrixOutputAndDestinations) {
  run("new p jit.probe");
  kohost::close_gl_context();
  log.clear();
  EXPECT_EQ(run("gltrace on\ndraw p\ngltrace off"),
            "gl: glBegin GL_TRIANGLES\ngl: glNormal3f 0.0 0.0 1.0\ngl: glTexCoord2f 0.5 0.25\n"
            "gl: glVertex3f 1.0 -1.0 0.0\ngl: glEnd\ngl: glGenLists 1\ngl: glNewList 1 GL_COMPILE\ngl: glEndList\n"
            "gl: glCallList 1\ngl: glDeleteLists 1 1\n");
  // With matrix output on, the chunk's vertex matrix leaves the matrix outlet by name.
  const std::string name = reinterpret_cast<Probe*>(inner("p"))->chunk->vertex_name->s_name;
  EXPECT_EQ(run("send p matrixoutput 1\ngltrace on\ndraw p\ngltrace off"), "p.0: jit_matrix " + name + "\n");
  // The context is made at the first draw; attached objects hear of it.
  EXPECT_EQ(log, "dest_changed;draw;draw;");
  // Drawing a plain object is refused; so is one freed.
  EXPECT_EQ(run("new m ko-mirror4\ndraw m"), "error: draw: \"m\" does not draw\n");
  // Closing the context tells every attached object; the next draw makes a new one.
  log.clear();
  kohost::close_gl_context();
  EXPECT_EQ(log, "dest_closing;");
  run("draw p");
  EXPECT_EQ(log, "dest_closing;dest_changed;draw;");
  EXPECT_EQ(run("free p"), "");
}

}  // namespace
