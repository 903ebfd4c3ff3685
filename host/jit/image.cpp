// Images in and out: PNG through libpng's simplified interface, and binary or plain PGM.
#include <png.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "host/jit/scene.h"

namespace kohost {

namespace {

constexpr std::int64_t kMaxSide = 65535;
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;

bool fail(std::string* why, const std::string& w) {
  if (why) *why = w;
  return false;
}

// Skips blanks and '#' comments of a PGM header.
void skip_blanks(std::istream& in) {
  for (;;) {
    const int c = in.peek();
    if (c == '#') {
      std::string rest;
      std::getline(in, rest);
    } else if (c != EOF && std::isspace(c)) {
      in.get();
    } else {
      return;
    }
  }
}

bool read_header_number(std::istream& in, std::int64_t& v) {
  skip_blanks(in);
  v = 0;
  int digits = 0;
  while (std::isdigit(in.peek()) && digits < 12) {
    v = v * 10 + (in.get() - '0');
    ++digits;
  }
  return digits > 0 && digits < 12;
}

bool read_pgm(const std::string& path, GreyImage& out, std::string* why) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return fail(why, "cannot open \"" + path + "\"");
  char magic[2] = {};
  in.read(magic, 2);
  const bool binary = magic[1] == '5';
  std::int64_t w = 0, h = 0, maxval = 0;
  if (!read_header_number(in, w) || !read_header_number(in, h) || !read_header_number(in, maxval))
    return fail(why, "\"" + path + "\" has a broken PGM header");
  if (w < 1 || h < 1 || w > kMaxSide || h > kMaxSide || w * h > kMaxPixels)
    return fail(why, "\"" + path + "\" is too large or empty");
  if (maxval < 1 || maxval > 65535) return fail(why, "\"" + path + "\" has a PGM maximum outside 1..65535");
  out.width = static_cast<int>(w);
  out.height = static_cast<int>(h);
  out.pixels.assign(static_cast<std::size_t>(w * h), 0);
  const bool wide = maxval > 255;
  if (binary) in.get();  // the one blank after the header
  for (std::int64_t i = 0; i < w * h; ++i) {
    std::int64_t v = 0;
    if (binary) {
      const int hi = in.get();
      const int lo = wide ? in.get() : 0;
      if (hi == EOF || lo == EOF) return fail(why, "\"" + path + "\" ends early");
      v = wide ? (hi << 8 | lo) : hi;
    } else if (!read_header_number(in, v)) {
      return fail(why, "\"" + path + "\" ends early");
    }
    if (v > maxval) v = maxval;
    out.pixels[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((v * 255 + maxval / 2) / maxval);
  }
  return true;
}

bool read_png(const std::string& path, GreyImage& out, std::string* why) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str()))
    return fail(why, "cannot read \"" + path + "\": " + image.message);
  if (image.width < 1 || image.height < 1 || image.width > kMaxSide || image.height > kMaxSide ||
      static_cast<std::int64_t>(image.width) * image.height > kMaxPixels) {
    png_image_free(&image);
    return fail(why, "\"" + path + "\" is too large or empty");
  }
  image.format = PNG_FORMAT_GRAY;
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  out.pixels.assign(PNG_IMAGE_SIZE(image), 0);
  if (!png_image_finish_read(&image, nullptr, out.pixels.data(), 0, nullptr)) {
    const std::string msg = image.message;
    png_image_free(&image);
    return fail(why, "cannot read \"" + path + "\": " + msg);
  }
  return true;
}

}  // namespace

bool read_grey_image(const std::string& path, GreyImage& out, std::string* why) {
  std::ifstream probe(path, std::ios::binary);
  if (!probe) return fail(why, "cannot open \"" + path + "\"");
  unsigned char sig[8] = {};
  probe.read(reinterpret_cast<char*>(sig), 8);
  const std::streamsize got = probe.gcount();
  probe.close();
  if (got == 8 && png_sig_cmp(sig, 0, 8) == 0) return read_png(path, out, why);
  if (got >= 2 && sig[0] == 'P' && (sig[1] == '5' || sig[1] == '2')) return read_pgm(path, out, why);
  return fail(why, "\"" + path + "\" is neither PNG nor PGM");
}

bool write_png_rgb(const std::string& path, int w, int h, const std::uint8_t* rgb_bottom_up, std::string* why) {
  if (w < 1 || h < 1 || !rgb_bottom_up) return fail(why, "nothing to write");
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(w);
  image.height = static_cast<png_uint_32>(h);
  image.format = PNG_FORMAT_RGB;
  // A negative row stride writes the bottom-up rows top first.
  if (!png_image_write_to_file(&image, path.c_str(), 0, rgb_bottom_up, -w * 3, nullptr))
    return fail(why, "cannot write \"" + path + "\": " + image.message);
  return true;
}

}  // namespace kohost
