// What the host offers around the drawing layer: the camera, drawing one object or
// rendering every drawing object of a patch into an image, the GL trace, and the
// matrices a script makes, fills and loads from images.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "frame/maxapi.h"
#include "host/patch.h"

namespace kohost {

struct Camera {
  double eye[3] = {0.0, 0.0, 2.0};
  double lookat[3] = {0.0, 0.0, 0.0};
  double up[3] = {0.0, 1.0, 0.0};
  double lens_angle = 45.0;  // vertical field of view, degrees
  double near_clip = 0.1;
  double far_clip = 1000.0;
};

inline constexpr int kDefaultImageWidth = 640;
inline constexpr int kDefaultImageHeight = 480;
inline constexpr int kMaxImageSide = 8192;
inline constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 24;

// Lets the layer draw one object of the patch once, with the camera, in the offscreen
// context. False, with the reason, when the object does not draw or there is no context
// (its OpenGL calls are then still traced).
bool draw_object(Patch& patch, max::Object* x, const Camera& cam, std::string* why);

// Draws every enabled drawing object of the patch, in the order they were attached, into
// a w x h image: perspective projection, depth test, a light over the viewer's left
// shoulder (geometry without normals shows its full colour), a black background. rgb
// gets w * h * 3 bytes, rows from the bottom up.
bool render_image(Patch& patch, const Camera& cam, int w, int h, std::vector<std::uint8_t>& rgb, std::string* why);
// The same, written as a PNG file.
bool render_png(Patch& patch, const Camera& cam, int w, int h, const std::string& path, std::string* why);

// The GL trace: with it on, every OpenGL call of a drawing object is also given to the
// sink as "glNAME ARG ..." (without the "gl: " of kohost's output).
using GlTraceSink = void (*)(void* ctx, std::string_view line);
void gl_trace(bool on, GlTraceSink sink, void* ctx);
// Ends the trace when its sink is ctx's (a sink going away).
void gl_trace_off_for(void* ctx);

// Sends "dest_closing" to every attached drawing object, with the context current, and
// ends the context; the next draw makes a new one and sends "dest_changed".
void close_gl_context();

// Matrices made by the host. A name that already holds a host-made matrix is replaced; a
// name that holds anything else is refused.
bool matrix_create(const std::string& name, const std::string& type, std::int64_t planes,
                   const std::vector<std::int64_t>& dims, std::string* why);
// Every cell (fill) or one cell (set, one index per dimension) takes the values, one per
// plane; a single value goes to every plane. Values are clamped to the cell type.
bool matrix_fill(const std::string& name, const std::vector<double>& values, std::string* why);
bool matrix_set(const std::string& name, const std::vector<std::int64_t>& index, const std::vector<double>& values,
                std::string* why);
// A PNG or PGM image as a 1-plane char matrix of grey values, width x height, row 0 the top.
bool matrix_load(const std::string& name, const std::string& path, std::string* why);

// Images.
struct GreyImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // rows from the top
};
bool read_grey_image(const std::string& path, GreyImage& out, std::string* why);
bool write_png_rgb(const std::string& path, int w, int h, const std::uint8_t* rgb_bottom_up, std::string* why);

}  // namespace kohost
