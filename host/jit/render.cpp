// Drawing the attached objects with a camera: the projection, the view, a light at the
// viewer, each object's own placement and drawing state, then its "ob3d_draw".
#include <cmath>
#include <numbers>

#include "host/jit/dispatch.h"
#include "host/jit/glcontext.h"
#include "host/jit/layer.h"
#include "host/jit/scene.h"
#include "host/state.h"

namespace kohost {

namespace {

// Column-major 4 x 4, as OpenGL loads it.
struct Mat4 {
  float m[16];
};

Mat4 identity() {
  Mat4 r{};
  r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0f;
  return r;
}

Mat4 mul(const Mat4& a, const Mat4& b) {
  Mat4 r{};
  for (int c = 0; c < 4; ++c)
    for (int row = 0; row < 4; ++row) {
      double s = 0;
      for (int k = 0; k < 4; ++k) s += static_cast<double>(a.m[k * 4 + row]) * b.m[c * 4 + k];
      r.m[c * 4 + row] = static_cast<float>(s);
    }
  return r;
}

struct V3 {
  double x, y, z;
};
V3 sub(const V3& a, const V3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 cross(const V3& a, const V3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double length(const V3& a) { return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z); }
V3 unit(const V3& a) {
  const double l = length(a);
  return {a.x / l, a.y / l, a.z / l};
}
bool usable(const V3& a) { return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z) && length(a) > 1e-12; }

// The view from the eye towards the point looked at. A camera with no direction looks
// down -z; an up vector along the direction (or none) is replaced by one across it.
Mat4 look_at(const Camera& cam) {
  V3 eye{cam.eye[0], cam.eye[1], cam.eye[2]};
  if (!std::isfinite(eye.x) || !std::isfinite(eye.y) || !std::isfinite(eye.z)) eye = {0, 0, 2};
  V3 dir = sub(V3{cam.lookat[0], cam.lookat[1], cam.lookat[2]}, eye);
  if (!usable(dir)) dir = {0, 0, -1};
  const V3 f = unit(dir);
  V3 up{cam.up[0], cam.up[1], cam.up[2]};
  V3 s = usable(up) ? cross(f, unit(up)) : V3{0, 0, 0};
  if (!usable(s)) s = cross(f, std::fabs(f.y) < 0.9 ? V3{0, 1, 0} : V3{0, 0, 1});
  s = unit(s);
  const V3 u = cross(s, f);
  Mat4 r = identity();
  r.m[0] = static_cast<float>(s.x);
  r.m[4] = static_cast<float>(s.y);
  r.m[8] = static_cast<float>(s.z);
  r.m[1] = static_cast<float>(u.x);
  r.m[5] = static_cast<float>(u.y);
  r.m[9] = static_cast<float>(u.z);
  r.m[2] = static_cast<float>(-f.x);
  r.m[6] = static_cast<float>(-f.y);
  r.m[10] = static_cast<float>(-f.z);
  r.m[12] = static_cast<float>(-(s.x * eye.x + s.y * eye.y + s.z * eye.z));
  r.m[13] = static_cast<float>(-(u.x * eye.x + u.y * eye.y + u.z * eye.z));
  r.m[14] = static_cast<float>(f.x * eye.x + f.y * eye.y + f.z * eye.z);
  return r;
}

Mat4 perspective(const Camera& cam, int w, int h) {
  double fovy = cam.lens_angle;
  if (!(fovy > 1 && fovy < 179)) fovy = 45;
  double n = cam.near_clip, fa = cam.far_clip;
  if (!(n > 0) || !(fa > n)) n = 0.1, fa = 1000;
  const double t = 1.0 / std::tan(fovy * std::numbers::pi / 360.0);
  const double aspect = static_cast<double>(w) / h;
  Mat4 r{};
  r.m[0] = static_cast<float>(t / aspect);
  r.m[5] = static_cast<float>(t);
  r.m[10] = static_cast<float>((fa + n) / (n - fa));
  r.m[11] = -1.0f;
  r.m[14] = static_cast<float>(2 * fa * n / (n - fa));
  return r;
}

Mat4 translate(const float* p) {
  Mat4 r = identity();
  for (int i = 0; i < 3; ++i) r.m[12 + i] = std::isfinite(p[i]) ? p[i] : 0.0f;
  return r;
}

Mat4 scale(const float* s) {
  Mat4 r = identity();
  for (int i = 0; i < 3; ++i) r.m[i * 5] = std::isfinite(s[i]) ? s[i] : 1.0f;
  return r;
}

// A turn by degrees about axis 0 (x), 1 (y) or 2 (z).
Mat4 rotate(int axis, float degrees) {
  Mat4 r = identity();
  if (!std::isfinite(degrees)) return r;
  const double a = static_cast<double>(degrees) * std::numbers::pi / 180.0;
  const auto c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
  const int i = (axis + 1) % 3, j = (axis + 2) % 3;
  r.m[i * 4 + i] = c;
  r.m[j * 4 + j] = c;
  r.m[i * 4 + j] = s;
  r.m[j * 4 + i] = -s;
  return r;
}

float clamp_width(float v) {
  if (!(v >= 0.1f)) return v > 0.0f ? 0.1f : 1.0f;
  return v > 64.0f ? 64.0f : v;
}

// Towards the light, in eye coordinates (unit length): from the left, above and behind the
// viewer, low enough that small turns of a surface change its shading.
constexpr float kLight[3] = {-0.7990019f, 0.4494386f, 0.3995009f};

GLenum poly_mode(std::int32_t v) { return v == 1 ? GL_LINE : v == 2 ? GL_POINT : GL_FILL; }

// A draw is a message that enters the patch from outside: the patch receives what it
// posts and creates, and the draw has its own delivery budget and stack limit.
class DrawEntry {
 public:
  explicit DrawEntry(Patch* p) : active_(p), entry_(p->delivery_budget()) {}

 private:
  struct Active {
    explicit Active(Patch* p) : saved(run.active) { run.active = p; }
    ~Active() { run.active = saved; }
    Active(const Active&) = delete;
    Active& operator=(const Active&) = delete;
    Patch* saved;
  };
  Active active_;  // made first, undone last: the entry closes while the patch is active
  Entry entry_;
};

void begin_frame(const Camera& cam, int w, int h, bool clear) {
  const gl::Fns& f = gl::fns();
  f.glViewport(0, 0, w, h);
  if (clear) {
    f.glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    f.glClearDepth(1.0);
    f.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }
  const Mat4 p = perspective(cam, w, h);
  f.glMatrixMode(GL_PROJECTION);
  f.glLoadMatrixf(p.m);
  f.glMatrixMode(GL_MODELVIEW);
  f.glLoadIdentity();
  // One light, over the viewer's left shoulder: surfaces turned towards it are bright and
  // those turned away dark, so an object's normals show in its shading. Ambient and
  // diffuse add up to 1: a surface facing the light shows its full colour.
  const float toward_light[] = {kLight[0], kLight[1], kLight[2], 0.0f};
  const float ambient[] = {0.12f, 0.12f, 0.12f, 1.0f};
  const float diffuse[] = {0.88f, 0.88f, 0.88f, 1.0f};
  const float none[] = {0.0f, 0.0f, 0.0f, 1.0f};
  f.glLightfv(GL_LIGHT0, GL_POSITION, toward_light);
  f.glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
  f.glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
  f.glLightfv(GL_LIGHT0, GL_SPECULAR, none);
  f.glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
  f.glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
  f.glEnable(GL_LIGHT0);
  f.glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  f.glEnable(GL_COLOR_MATERIAL);
  f.glEnable(GL_NORMALIZE);
  f.glShadeModel(GL_SMOOTH);
  f.glDepthFunc(GL_LESS);
}

// One object, placed by its own attributes, in its own colour and drawing state. Its
// current normal faces the light, so geometry without normals of its own (lines, points)
// shows its full colour.
void draw_one(jit::Ob3d* o, const Mat4& view) {
  const gl::Fns& f = gl::fns();
  f.glPushAttrib(GL_ALL_ATTRIB_BITS);
  f.glPushMatrix();
  const Mat4 model = mul(mul(mul(mul(translate(o->position), rotate(2, o->rotatexyz[2])), rotate(1, o->rotatexyz[1])),
                             rotate(0, o->rotatexyz[0])),
                         scale(o->scale));
  const Mat4 mv = mul(view, model);
  f.glLoadMatrixf(mv.m);
  // The normal that the model-view M turns towards the light: normals go by M^-T, so
  // M^T L (GL_NORMALIZE restores the length).
  float n[3];
  for (int i = 0; i < 3; ++i)
    n[i] = mv.m[i * 4] * kLight[0] + mv.m[i * 4 + 1] * kLight[1] + mv.m[i * 4 + 2] * kLight[2];
  f.glNormal3f(n[0], n[1], n[2]);
  f.glTexCoord2f(0.0f, 0.0f);
  f.glColor4f(o->color[0], o->color[1], o->color[2], o->color[3]);
  f.glLineWidth(clamp_width(o->line_width));
  f.glPointSize(clamp_width(o->point_size));
  if (o->lighting_enable) f.glEnable(GL_LIGHTING); else f.glDisable(GL_LIGHTING);
  if (o->depth_enable) f.glEnable(GL_DEPTH_TEST); else f.glDisable(GL_DEPTH_TEST);
  if (o->blend_enable) {
    f.glEnable(GL_BLEND);
    f.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  } else {
    f.glDisable(GL_BLEND);
  }
  f.glPolygonMode(GL_FRONT, poly_mode(o->poly_mode[0]));
  f.glPolygonMode(GL_BACK, poly_mode(o->poly_mode[1]));
  jit::call_simple(o->owner, jit::lsyms().ob3d_draw);
  f.glPopMatrix();
  f.glPopAttrib();
}

bool fail(std::string* why, const std::string& w) {
  if (why) *why = w;
  return false;
}

bool belongs(const jit::Ob3d* o, const Patch& patch) {
  return o->wrapper && o->wrapper->o_host && o->wrapper->o_host->patch == &patch;
}

}  // namespace

bool draw_object(Patch& patch, max::Object* x, const Camera& cam, std::string* why) {
  jit::Ob3d* o = x ? jit::attached_for(x) : nullptr;
  if (!o) {
    const std::string& id = patch.id_of(x);
    return fail(why, (id.empty() ? std::string("the object") : "\"" + id + "\"") + " does not draw");
  }
  DrawEntry entry(&patch);
  std::string reason;
  const bool have_gl = gl::make_current(&reason);
  if (have_gl) {
    const int w = gl::target_width() > 0 ? gl::target_width() : kDefaultImageWidth;
    const int h = gl::target_height() > 0 ? gl::target_height() : kDefaultImageHeight;
    if (gl::bind_target(w, h, &reason)) {
      begin_frame(cam, w, h, false);
      draw_one(o, look_at(cam));
      return true;
    }
  }
  // No context: the object still draws, into nothing, so its calls can be traced.
  jit::call_simple(o->owner, jit::lsyms().ob3d_draw);
  return fail(why, "no OpenGL context (" + reason + ")");
}

bool render_image(Patch& patch, const Camera& cam, int w, int h, std::vector<std::uint8_t>& rgb, std::string* why) {
  if (w < 1 || h < 1 || w > kMaxImageSide || h > kMaxImageSide ||
      static_cast<std::int64_t>(w) * h > kMaxImagePixels)
    return fail(why, "the image must be 1 to " + std::to_string(kMaxImageSide) + " pixels a side and at most " +
                         std::to_string(kMaxImagePixels) + " pixels");
  DrawEntry entry(&patch);
  std::string reason;
  if (!gl::bind_target(w, h, &reason)) return fail(why, "no OpenGL context (" + reason + ")");
  begin_frame(cam, w, h, true);
  const Mat4 view = look_at(cam);
  // An object that goes away while another draws is passed over.
  const std::vector<jit::Ob3d*> order = jit::attached();
  for (jit::Ob3d* o : order)
    if (jit::still_attached(o) && belongs(o, patch) && o->enable) draw_one(o, view);
  if (!gl::read_rgb(w, h, rgb)) return fail(why, "the image could not be read back");
  return true;
}

bool render_png(Patch& patch, const Camera& cam, int w, int h, const std::string& path, std::string* why) {
  std::vector<std::uint8_t> rgb;
  if (!render_image(patch, cam, w, h, rgb, why)) return false;
  return write_png_rgb(path, w, h, rgb.data(), why);
}

void gl_trace(bool on, GlTraceSink sink, void* ctx) {
  if (on) gl::set_trace_sink(sink, ctx);
  gl::set_trace(on);
}

void gl_trace_off_for(void* ctx) {
  gl::clear_trace_sink(ctx);
}

void close_gl_context() { gl::close(); }

}  // namespace kohost
