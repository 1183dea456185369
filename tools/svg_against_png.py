"""Checks an SVG, PDF or EPS export against Cairo's PNG of the same figure.

Usage: /usr/bin/python3 tools/svg_against_png.py FIGURE.svg|.pdf|.eps FIGURE.png

Renders the SVG with librsvg (through ctypes), a PDF or EPS with
Ghostscript, at the PNG's size, and
compares the two pictures pixel by pixel: prints the share of the inked
pixels (not white in either) whose colour differs by more than a quarter
of the range in any channel from every pixel within one pixel of it in the
other picture, and exits 1 when that share is above LIMIT
(anti-aliasing and glyph rendering differ a little; a misplaced marker,
line or text differs much more).
Exits 77 when librsvg (for SVG), Ghostscript (for PDF and EPS) or numpy
is missing.
"""
import ctypes
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

try:
    import numpy as np
    rsvg = ctypes.CDLL("librsvg-2.so.2")
    cairo = ctypes.CDLL("libcairo.so.2")
except (ImportError, OSError):
    sys.exit(77)


LIMIT = 0.015


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    return struct.unpack(">II", head[16:24])


def render(svg, width, height, view_width):
    rsvg.rsvg_handle_new_from_file.restype = ctypes.c_void_p
    cairo.cairo_image_surface_create.restype = ctypes.c_void_p
    cairo.cairo_create.restype = ctypes.c_void_p
    cairo.cairo_create.argtypes = [ctypes.c_void_p]
    cairo.cairo_scale.argtypes = [ctypes.c_void_p, ctypes.c_double, ctypes.c_double]
    cairo.cairo_image_surface_get_data.restype = ctypes.POINTER(ctypes.c_ubyte)
    cairo.cairo_image_surface_get_data.argtypes = [ctypes.c_void_p]
    cairo.cairo_image_surface_get_stride.argtypes = [ctypes.c_void_p]
    cairo.cairo_surface_flush.argtypes = [ctypes.c_void_p]
    rsvg.rsvg_handle_render_cairo.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
    rsvg.rsvg_handle_get_dimensions.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
    err = ctypes.c_void_p()
    handle = rsvg.rsvg_handle_new_from_file(svg.encode(), ctypes.byref(err))
    if not handle:
        sys.exit("librsvg cannot read " + svg)
    # At 72 dots per inch a point is a pixel: the page's size is exact.
    rsvg.rsvg_handle_set_dpi.argtypes = [ctypes.c_void_p, ctypes.c_double]
    rsvg.rsvg_handle_set_dpi(ctypes.c_void_p(handle), 72.0)
    dims = (ctypes.c_int * 8)()  # RsvgDimensionData: width, height, em, ex
    rsvg.rsvg_handle_get_dimensions(ctypes.c_void_p(handle), dims)
    surface = cairo.cairo_image_surface_create(1, width, height)  # RGB24
    cr = cairo.cairo_create(surface)
    cairo.cairo_scale(cr, width / dims[0], height / dims[1])
    rsvg.rsvg_handle_render_cairo(ctypes.c_void_p(handle), cr)
    cairo.cairo_surface_flush(surface)
    stride = cairo.cairo_image_surface_get_stride(surface)
    data = cairo.cairo_image_surface_get_data(surface)
    pixels = np.ctypeslib.as_array(data, shape=(height * stride,)).copy()
    return pixels.reshape(height, stride)[:, : 4 * width].reshape(height, width, 4)[:, :, 2::-1]


def ghostscript(path, width, height):
    """A PDF or EPS page rendered by Ghostscript at the PNG's size."""
    if not shutil.which("gs"):
        sys.exit(77)
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "page.png")
        eps = ["-dEPSFitPage"] if path.lower().endswith(".eps") else []
        subprocess.run(["gs", "-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=png16m",
                        "-dTextAlphaBits=4", "-dGraphicsAlphaBits=4", "-g%dx%d" % (width, height),
                        "-dFIXEDMEDIA"] + (eps or ["-dPDFFitPage"]) + ["-sOutputFile=" + out, path],
                       check=True)
        return read_png(out)


def read_png(path):
    """RGB rows of an 8-bit RGB or RGBA PNG without interlacing."""
    with open(path, "rb") as f:
        data = f.read()
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    channels = {2: 3, 6: 4}[colour]
    raw = zlib.decompress(idat)
    rows = np.zeros((height, width * channels), dtype=np.int32)
    stride = width * channels
    prev = np.zeros(stride, dtype=np.int32)
    for r in range(height):
        kind = raw[r * (stride + 1)]
        line = np.frombuffer(raw, dtype=np.uint8, count=stride, offset=r * (stride + 1) + 1).astype(np.int32)
        if kind == 1:
            out = line.copy()
            for i in range(channels, stride):
                out[i] = (out[i] + out[i - channels]) & 255
        elif kind == 2:
            out = (line + prev) & 255
        elif kind == 3:
            out = line.copy()
            for i in range(stride):
                left = out[i - channels] if i >= channels else 0
                out[i] = (out[i] + (left + prev[i]) // 2) & 255
        elif kind == 4:
            out = line.copy()
            for i in range(stride):
                a = out[i - channels] if i >= channels else 0
                b, c = prev[i], prev[i - channels] if i >= channels else 0
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else b if pb <= pc else c
                out[i] = (out[i] + pred) & 255
        else:
            out = line
        rows[r] = out
        prev = out
    return rows.reshape(height, width, channels)[:, :, :3]


def main():
    svg, png = sys.argv[1], sys.argv[2]
    width, height = png_size(png)
    want = read_png(png)
    if svg.lower().endswith((".pdf", ".eps")):
        got = ghostscript(svg, width, height)
    else:
        got = render(svg, width, height, width).astype(np.int32)
    # Only pixels with ink in either picture count: a blank page is mostly
    # background and would hide a misplaced marker or text.
    ink = (want < 235).any(axis=2) | (got < 235).any(axis=2)
    # A pixel differs when no pixel of the other picture within one pixel
    # of it has its colour: edges anti-aliased a little differently do not.
    h, w = want.shape[:2]
    pad = np.pad(got, ((1, 1), (1, 1), (0, 0)), mode="edge")
    far = np.ones((h, w), dtype=bool)
    for dy in (0, 1, 2):
        for dx in (0, 1, 2):
            far &= (np.abs(pad[dy:dy + h, dx:dx + w] - want) > 64).any(axis=2)
    differ = (far & ink).sum() / max(1, ink.sum())
    print("%.2f %% of the inked pixels differ" % (100 * differ))
    # Ghostscript's glyphs differ more from Cairo's than librsvg's do: about
    # 4-5 % of the inked pixels for a PDF or EPS page Cairo drew entirely.
    limit = 0.06 if svg.lower().endswith((".pdf", ".eps")) else LIMIT
    sys.exit(1 if differ > limit else 0)


if __name__ == "__main__":
    main()
