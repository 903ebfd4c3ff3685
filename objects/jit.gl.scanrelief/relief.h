// jit.gl.scanrelief: the inner record and the geometry that relief.cpp (binding,
// attributes, drawing) and geometry.cpp (buffers, heights, normals, texture coordinates,
// the vertex matrix) share.
#pragma once

#include <cstdint>

#include "frame/glapi.h"
#include "frame/jitapi.h"

namespace relief {

struct Relief {
  jit::Object ob;
  void* ob3d;
  jit::GlChunk* chunk;
  std::int32_t rebuild;
  max::Symbol* shape;
  std::int32_t dim[2];
  std::int8_t gridmode;
  std::int8_t displaylist;
  GLuint listid;
  std::int32_t maxdim[2];
  float zscale;
  float* posit;      // heights, one per vertex
  float* vertnorms;  // three per vertex
  float* texcoords;  // two per vertex
  float* facenorms;  // six per cell: triangle 1, then triangle 2
  // Vertices each present buffer holds (maxdim[0] * maxdim[1]); every pass stays below it.
  std::int64_t capacity;
};

inline constexpr std::int32_t kMinMaxdim = 512;
inline constexpr std::int32_t kMaxMaxdim = 65535;

// The four buffers for maxdim, zero-filled; one that cannot be had posts its error line
// and stays null. Lines: true posts what is freed and allocated, as a "maxdim" set does.
void allocate_buffers(Relief* x, bool lines);
// Frees the buffers present, with the destructor's lines.
void free_buffers(Relief* x);

// Heights from a matrix of 8-bit cells (at most 256 x 256 read), each cell unsigned.
void read_heights(Relief* x, const jit::MatrixInfo& info, const unsigned char* data);
// Face normals, vertex normals and texture coordinates for the current dim.
void derive(Relief* x);

// How many cells the geometry's passes take at a time: 8 (AVX, where the processor has
// it), 4 (SSE) or 1. Every width gives the same results to the bit; the passes use the
// widest unless limit_lanes lowers it (tests run each width).
int lanes();
void limit_lanes(int widest);

// The vertex matrix from the buffers and the colour.
void fill_vertices(Relief* x, void* matrix);
// The colour planes of every vertex, when the colour changed.
void update_colour(Relief* x, void* matrix);

}  // namespace relief
