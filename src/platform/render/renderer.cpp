// Whole figures onto raster and vector surfaces, and the figure files.
#include "platform/render/renderer.hpp"

#include <cairo-pdf.h>
#include <cairo-ps.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "platform/render/svg_writer.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "platform/runtime/safe_file.hpp"

namespace velmora::render {

namespace {

constexpr double kPtPerPx = 72.0 / 96.0;
constexpr int kMaxImageSide = 32767;  // Cairo's limit for image surfaces

double sane_size(double px) {
  return std::isfinite(px) && px >= 1 ? px : 1;
}

int device_size(double px, double scale) {
  double d = std::round(sane_size(px) * scale);
  if (!(d >= 1 && d <= kMaxImageSide))
    throw RuntimeError("Cannot render an image " + std::to_string(static_cast<long long>(d)) +
                       " pixels wide or high.");
  return static_cast<int>(d);
}

void check(cairo_status_t status) {
  if (status != CAIRO_STATUS_SUCCESS)
    throw RuntimeError(std::string("Cannot render the figure: ") + cairo_status_to_string(status) +
                       ".");
}

/// A vector surface could not write its document; `error` is the errno of
/// the failed write (Cairo keeps pages in a temporary file of its own), or 0.
class StreamError : public RuntimeError {
 public:
  StreamError(const std::string& what, int error) : RuntimeError(what), error(error) {}
  int error;
};

/// Seconds since 1970 that stand as the creation date of a PDF or EPS
/// export: SOURCE_DATE_EPOCH when it holds a whole number of seconds, else
/// the fixed 1 January 2000, so that the same figure makes the same bytes.
std::time_t document_time() {
  constexpr std::time_t kFixedDate = 946684800;  // 2000-01-01 00:00:00 UTC
  const char* text = std::getenv("SOURCE_DATE_EPOCH");
  if (!text || !*text) return kFixedDate;
  long long seconds = 0;
  const char* end = text + std::strlen(text);
  auto [at, ec] = std::from_chars(text, end, seconds);
  if (ec != std::errc() || at != end || seconds < 0 || seconds > 253402300799LL) return kFixedDate;
  return static_cast<std::time_t>(seconds);
}

std::string utc_text(const char* format) {
  const std::time_t t = document_time();
  std::tm parts{};
  ::gmtime_r(&t, &parts);
  char buf[64];
  const std::size_t n = std::strftime(buf, sizeof buf, format, &parts);
  return std::string(buf, n);
}

/// Puts the document date in place of the clock time that Cairo writes
/// into an EPS file's "%%CreationDate:" comment.
void set_eps_date(std::string& eps) {
  constexpr std::string_view kKey = "\n%%CreationDate:";
  const std::size_t at = eps.find(kKey);
  if (at == std::string::npos) return;
  const std::size_t start = at + kKey.size();
  const std::size_t end = eps.find('\n', start);
  if (end == std::string::npos) return;
  eps.replace(start, end - start, " " + utc_text("%a %b %e %H:%M:%S %Y"));
}

cairo_status_t append(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

// Draws the figure onto a surface at `scale` surface units per figure pixel.
cairo_status_t paint_onto(cairo_surface_t* s, double scale, const FigureScene& f,
                          bool include_controls) {
  cairo_t* cr = cairo_create(s);
  cairo_scale(cr, scale, scale);
  draw_figure(cr, f, include_controls);
  cairo_status_t st = cairo_status(cr);
  cairo_destroy(cr);
  return st;
}

// Draws the figure on a fresh raster surface; the caller destroys it.
cairo_surface_t* raster(const FigureScene& f, double scale, bool include_controls) {
  if (!(std::isfinite(scale) && scale > 0))
    throw RuntimeError("Bad image scale " + std::to_string(scale) + ".");
  const int width = device_size(f.width_px, scale), height = device_size(f.height_px, scale);
  check_pixel_budget(width, height);
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  {
    // The figure's size times the scale is rounded to whole pixels: the
    // pixels the figure covers only in part take its colour too, so the
    // picture has no half-transparent edge.
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, f.color.r, f.color.g, f.color.b);
    cairo_paint(cr);
    cairo_destroy(cr);
  }
  cairo_status_t st = paint_onto(s, scale, f, include_controls);
  cairo_surface_flush(s);
  if (st != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    check(st);
  }
  return s;
}

enum class Vector { Pdf, Eps };

// Draws the figure onto a vector surface writing into a string: one figure
// pixel is 0.75 pt, so the page is the figure at 96 pixels per inch.
std::string vector_document(const FigureScene& f, bool include_controls, Vector kind) {
  std::string out;
  const double w = sane_size(f.width_px) * kPtPerPx, h = sane_size(f.height_px) * kPtPerPx;
  cairo_surface_t* s = nullptr;
  switch (kind) {
    case Vector::Pdf: {
      s = cairo_pdf_surface_create_for_stream(append, &out, w, h);
      const std::string date = utc_text("%Y-%m-%dT%H:%M:%SZ");
      cairo_pdf_surface_set_metadata(s, CAIRO_PDF_METADATA_CREATE_DATE, date.c_str());
      cairo_pdf_surface_set_metadata(s, CAIRO_PDF_METADATA_MOD_DATE, date.c_str());
      break;
    }
    case Vector::Eps:
      s = cairo_ps_surface_create_for_stream(append, &out, w, h);
      cairo_ps_surface_restrict_to_level(s, CAIRO_PS_LEVEL_2);
      cairo_ps_surface_set_eps(s, 1);
      cairo_ps_surface_dsc_comment(s, "%%Title: Velmora figure");
      break;
  }
  errno = 0;
  cairo_status_t st = paint_onto(s, kPtPerPx, f, include_controls);
  cairo_surface_finish(s);
  const int error = errno;
  if (st == CAIRO_STATUS_SUCCESS) st = cairo_surface_status(s);
  cairo_surface_destroy(s);
  if (st == CAIRO_STATUS_WRITE_ERROR)
    throw StreamError(std::string("Cannot render the figure: ") + cairo_status_to_string(st) + ".",
                      error);
  check(st);
  if (kind == Vector::Eps) set_eps_date(out);
  return out;
}

}  // namespace

void draw_figure(const Ink& ink, const FigureScene& f, bool include_controls) {
  cairo_t* cr = ink.cr;
  ink.save();
  cairo_rectangle(cr, 0, 0, sane_size(f.width_px), sane_size(f.height_px));
  ink.clip();
  cairo_set_source_rgb(cr, f.color.r, f.color.g, f.color.b);
  ink.paint();
  // Texts that would fall off the figure take room from the plot instead.
  for (const FigureScene::Placed& p : f.axes)
    draw_axes(ink, p.axes, fit_axes_rect(cr, p.axes, p.rect_px, f.width_px, f.height_px),
              f.height_px);
  if (include_controls)
    for (const SceneControl& c : f.controls) draw_control(ink, c, f.height_px);
  ink.restore();
}

void draw_figure(cairo_t* cr, const FigureScene& f, bool include_controls) {
  draw_figure(Ink{cr}, f, include_controls);
}

Image to_image(const FigureScene& f, double scale, bool include_controls) {
  cairo_surface_t* s = raster(f, scale, include_controls);
  Image im;
  im.width = cairo_image_surface_get_width(s);
  im.height = cairo_image_surface_get_height(s);
  im.stride = cairo_image_surface_get_stride(s);
  const unsigned char* d = cairo_image_surface_get_data(s);
  im.bytes.assign(d, d + static_cast<std::size_t>(im.stride) * im.height);
  cairo_surface_destroy(s);
  return im;
}

void check_pixel_budget(double width, double height) {
  const double pixels = width * height;
  if (pixels <= kPixelBudget) return;
  char size[96];
  std::snprintf(size, sizeof size, "%.0f × %.0f pixels (%.1f megapixels)", width, height,
                pixels / 1e6);
  throw DataRefusal("The picture would be " + std::string(size) + "; pictures are capped at " +
                        std::to_string(static_cast<long long>(kPixelBudget / 1e6)) +
                        " megapixels. Make the figure smaller or use a lower resolution.",
                    "Picture too large");
}

namespace {

std::uint32_t crc32(std::string_view bytes) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : bytes) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void put_be32(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

std::uint32_t be32(std::string_view b, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
  return v;
}

}  // namespace

std::string with_resolution(std::string png, double dpi) {
  constexpr std::string_view kSignature = "\x89PNG\r\n\x1a\n";
  constexpr std::size_t kAfterHeader = 8 + 4 + 4 + 13 + 4;  // signature, IHDR chunk
  if (!(std::isfinite(dpi) && dpi > 0) || png.size() < kAfterHeader ||
      std::string_view(png).substr(0, 8) != kSignature || png.compare(12, 4, "IHDR") != 0)
    return png;
  // Drop any pHYs chunk already there, then put ours after the header.
  for (std::size_t at = kAfterHeader; at + 12 <= png.size();) {
    const std::size_t length = be32(png, at);
    if (at + 12 + length > png.size()) break;
    if (png.compare(at + 4, 4, "pHYs") == 0) {
      png.erase(at, 12 + length);
      continue;
    }
    if (png.compare(at + 4, 4, "IDAT") == 0) break;  // pHYs must come before the image data
    at += 12 + length;
  }
  const auto per_metre = static_cast<std::uint32_t>(std::lround(std::min(dpi, 1e6) / 0.0254));
  std::string chunk;
  put_be32(chunk, 9);
  chunk += "pHYs";
  put_be32(chunk, per_metre);
  put_be32(chunk, per_metre);
  chunk += '\x01';  // unit: the metre
  put_be32(chunk, crc32(std::string_view(chunk).substr(4)));
  png.insert(kAfterHeader, chunk);
  return png;
}

std::string to_png(const FigureScene& f, double scale, bool include_controls, double dpi) {
  cairo_surface_t* s = raster(f, scale, include_controls);
  std::string out;
  cairo_status_t st = cairo_surface_write_to_png_stream(s, append, &out);
  cairo_surface_destroy(s);
  check(st);
  return with_resolution(std::move(out), dpi > 0 ? dpi : 96 * scale);
}

std::string to_svg(const FigureScene& f, bool include_controls) {
  // Drawn by our own writer: Cairo's SVG surface turns text into glyph
  // outlines and writes every marker out in full.
  const double w = sane_size(f.width_px), h = sane_size(f.height_px);
  SvgWriter svg(w, h);
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(s);
  draw_figure(Ink{cr, &svg}, f, include_controls);
  const cairo_status_t st = cairo_status(cr);
  cairo_destroy(cr);
  cairo_surface_destroy(s);
  check(st);
  return svg.finish();
}

std::string to_pdf(const FigureScene& f, bool include_controls) {
  return vector_document(f, include_controls, Vector::Pdf);
}

std::string to_eps(const FigureScene& f, bool include_controls) {
  return vector_document(f, include_controls, Vector::Eps);
}

namespace {

/// Makes a document for the file `path`; a write that failed on the way
/// (Cairo's own temporary file past a file-size limit or on a full disk)
/// is a refused write of that file.
template <class Make>
std::string document_for(const std::string& path, Make make) {
  try {
    return make();
  } catch (const StreamError& e) {
    throw WriteError(write_error_text(
        path, e.error != 0 ? std::strerror(e.error) : "error while writing to output stream"));
  }
}

}  // namespace

void write_png(const FigureScene& f, const std::string& path, double scale, bool include_controls,
               double dpi) {
  write_file_safely(path, to_png(f, scale, include_controls, dpi));
}

void write_svg(const FigureScene& f, const std::string& path, bool include_controls) {
  write_file_safely(path, document_for(path, [&] { return to_svg(f, include_controls); }));
}

void write_pdf(const FigureScene& f, const std::string& path, bool include_controls) {
  write_file_safely(path, document_for(path, [&] { return to_pdf(f, include_controls); }));
}

void write_eps(const FigureScene& f, const std::string& path, bool include_controls) {
  write_file_safely(path, document_for(path, [&] { return to_eps(f, include_controls); }));
}

}  // namespace velmora::render
