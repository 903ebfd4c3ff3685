#!/usr/bin/env python3
"""Writes the grey terrain image that examples/relief.kpat and examples/flyover.kpat show.

    tools/make_terrain.py [OUT.png] [SIZE] [SEED]      (defaults: terrain.png 48 11)

Fractal value noise (three octaves on a hashed lattice, smoothly interpolated), sharpened
into ridges, with a valley cut along one diagonal; stretched to grey values 0..255. Pure
Python and deterministic: the same arguments always give the same bytes.
"""
import math
import struct
import sys
import zlib


def lattice(ix, iy, seed):
    # A 32-bit integer hash of the lattice point, as a value in 0..1.
    h = (ix * 374761393 + iy * 668265263 + seed * 2147483647) & 0xFFFFFFFF
    h = ((h ^ (h >> 13)) * 1274126177) & 0xFFFFFFFF
    h ^= h >> 16
    return h / 0xFFFFFFFF


def smooth(t):
    return t * t * (3 - 2 * t)


def value_noise(x, y, seed):
    ix, iy = math.floor(x), math.floor(y)
    fx, fy = smooth(x - ix), smooth(y - iy)
    a = lattice(ix, iy, seed)
    b = lattice(ix + 1, iy, seed)
    c = lattice(ix, iy + 1, seed)
    d = lattice(ix + 1, iy + 1, seed)
    return (a + (b - a) * fx) * (1 - fy) + (c + (d - c) * fx) * fy


def height(x, y, seed):
    total, amplitude, frequency, norm = 0.0, 1.0, 2.0, 0.0
    for octave in range(3):
        n = value_noise(x * frequency, y * frequency, seed + octave)
        # Ridged: sharp crests where the noise crosses its middle.
        total += amplitude * (1.0 - abs(2.0 * n - 1.0))
        norm += amplitude
        amplitude *= 0.5
        frequency *= 2.0
    h = total / norm
    # A valley along the diagonal from one corner to the other.
    d = abs(x - y) / math.sqrt(2.0)
    return h * (0.35 + 0.65 * min(1.0, d / 0.25))


def png_grey(path, size, pixels):
    raw = b"".join(b"\x00" + bytes(pixels[r * size:(r + 1) * size]) for r in range(size))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 0, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "terrain.png"
    size = int(sys.argv[2]) if len(sys.argv) > 2 else 48
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else 11
    values = [height(c / size, r / size, seed) for r in range(size) for c in range(size)]
    lo, hi = min(values), max(values)
    pixels = [round(255 * (v - lo) / (hi - lo)) for v in values]
    png_grey(out, size, pixels)


if __name__ == "__main__":
    main()
