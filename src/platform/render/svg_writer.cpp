// SVG documents written element by element from what the painters draw.
#include "platform/render/svg_writer.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

namespace velmora::render {

namespace {

// A number with at most `decimals` decimals, without trailing zeros.
void put(std::string& out, double v, int decimals = 3) {
  const double unit = decimals == 3 ? 1000 : 100;
  if (!std::isfinite(v)) v = 0;
  v = std::round(v * unit) / unit;
  if (v == 0) v = 0;  // no "-0"
  char buf[40];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  if (ec != std::errc()) return;
  char* p = end;
  while (p > buf && p[-1] == '0') --p;
  if (p > buf && p[-1] == '.') --p;
  out.append(buf, p);
}

std::string num(double v) {
  std::string s;
  put(s, v);
  return s;
}

std::string colour(double r, double g, double b) {
  auto byte = [](double v) {
    return static_cast<int>(std::lround(std::clamp(std::isfinite(v) ? v : 0.0, 0.0, 1.0) * 255));
  };
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02x%02x%02x", byte(r), byte(g), byte(b));
  return buf;
}

std::string colour(Rgb c) {
  return colour(c.r, c.g, c.b);
}

void escape(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        // Control characters are not allowed in XML 1.0.
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
    }
  }
}

std::string base64(const std::string& bytes) {
  static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                 static_cast<unsigned char>(bytes[i + 1]) << 8 |
                 static_cast<unsigned char>(bytes[i + 2]);
    out += k[v >> 18], out += k[(v >> 12) & 63], out += k[(v >> 6) & 63], out += k[v & 63];
  }
  if (i < bytes.size()) {
    unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += k[v >> 18], out += k[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? k[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

cairo_status_t append(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

bool same(const MarkerStyle& a, const MarkerStyle& b) {
  auto eq = [](Rgb x, Rgb y) { return x.r == y.r && x.g == y.g && x.b == y.b; };
  return a.marker == b.marker && a.size_px == b.size_px && a.line_width_px == b.line_width_px &&
         eq(a.edge, b.edge) && a.face.has_value() == b.face.has_value() &&
         (!a.face || eq(*a.face, *b.face));
}

}  // namespace

SvgWriter::SvgWriter(double width_px, double height_px)
    : width_(width_px),
      height_(height_px),
      scratch_surface_(cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1)),
      scratch_(cairo_create(scratch_surface_)) {}

SvgWriter::~SvgWriter() {
  cairo_destroy(scratch_);
  cairo_surface_destroy(scratch_surface_);
}

void SvgWriter::save() {
  open_groups_.push_back(0);
}

void SvgWriter::restore() {
  if (open_groups_.size() < 2) return;
  for (int i = 0; i < open_groups_.back(); ++i) body_ += "</g>\n";
  open_groups_.pop_back();
}

std::string SvgWriter::path_data(cairo_t* cr) const {
  std::string d;
  cairo_path_t* path = cairo_copy_path(cr);
  auto point = [&](const cairo_path_data_t& p) {
    double x = p.point.x, y = p.point.y;
    cairo_user_to_device(cr, &x, &y);
    put(d, x);
    d += ' ';
    put(d, y);
  };
  for (int i = 0; i < path->num_data; i += path->data[i].header.length) {
    const cairo_path_data_t* data = &path->data[i];
    if (!d.empty()) d += ' ';
    switch (data->header.type) {
      case CAIRO_PATH_MOVE_TO:
        d += 'M';
        point(data[1]);
        break;
      case CAIRO_PATH_LINE_TO:
        d += 'L';
        point(data[1]);
        break;
      case CAIRO_PATH_CURVE_TO:
        d += 'C';
        point(data[1]);
        d += ' ';
        point(data[2]);
        d += ' ';
        point(data[3]);
        break;
      case CAIRO_PATH_CLOSE_PATH:
        d += 'Z';
        break;
    }
  }
  cairo_path_destroy(path);
  return d;
}

// The fill or stroke attribute for the source of `cr`: a colour (with its
// opacity) or a gradient defined once for this use.
std::string SvgWriter::paint_of(cairo_t* cr, const char* what) {
  cairo_pattern_t* source = cairo_get_source(cr);
  double r = 0, g = 0, b = 0, a = 1;
  if (cairo_pattern_get_type(source) == CAIRO_PATTERN_TYPE_LINEAR) {
    double x0, y0, x1, y1;
    cairo_pattern_get_linear_points(source, &x0, &y0, &x1, &y1);
    cairo_user_to_device(cr, &x0, &y0);
    cairo_user_to_device(cr, &x1, &y1);
    const std::string id = "g" + std::to_string(next_id_++);
    defs_ += "<linearGradient id=\"" + id + "\" gradientUnits=\"userSpaceOnUse\" x1=\"" + num(x0) +
             "\" y1=\"" + num(y0) + "\" x2=\"" + num(x1) + "\" y2=\"" + num(y1) + "\">\n";
    int stops = 0;
    cairo_pattern_get_color_stop_count(source, &stops);
    for (int i = 0; i < stops; ++i) {
      double offset;
      cairo_pattern_get_color_stop_rgba(source, i, &offset, &r, &g, &b, &a);
      defs_ += "<stop offset=\"" + num(offset) + "\" stop-color=\"" + colour(r, g, b) + "\"";
      if (a < 1) defs_ += " stop-opacity=\"" + num(a) + "\"";
      defs_ += "/>\n";
    }
    defs_ += "</linearGradient>\n";
    return std::string(" ") + what + "=\"url(#" + id + ")\"";
  }
  cairo_pattern_get_rgba(source, &r, &g, &b, &a);
  std::string s = std::string(" ") + what + "=\"" + colour(r, g, b) + "\"";
  if (a < 1) s += std::string(" ") + what + "-opacity=\"" + num(a) + "\"";
  return s;
}

std::string SvgWriter::style_of(cairo_t* cr, bool fill, bool stroke) {
  std::string s = fill ? paint_of(cr, "fill") : std::string(" fill=\"none\"");
  if (!stroke) return s;
  s += paint_of(cr, "stroke");
  s += " stroke-width=\"" + num(cairo_get_line_width(cr)) + "\"";
  switch (cairo_get_line_cap(cr)) {
    case CAIRO_LINE_CAP_ROUND:
      s += " stroke-linecap=\"round\"";
      break;
    case CAIRO_LINE_CAP_SQUARE:
      s += " stroke-linecap=\"square\"";
      break;
    default:
      break;  // butt, the default
  }
  switch (cairo_get_line_join(cr)) {
    case CAIRO_LINE_JOIN_ROUND:
      s += " stroke-linejoin=\"round\"";
      break;
    case CAIRO_LINE_JOIN_BEVEL:
      s += " stroke-linejoin=\"bevel\"";
      break;
    default:
      break;  // miter, the default
  }
  const int dashes = cairo_get_dash_count(cr);
  if (dashes > 0) {
    std::vector<double> dash(static_cast<std::size_t>(dashes));
    double offset = 0;
    cairo_get_dash(cr, dash.data(), &offset);
    s += " stroke-dasharray=\"";
    for (int i = 0; i < dashes; ++i) {
      if (i) s += ' ';
      put(s, dash[static_cast<std::size_t>(i)]);
    }
    s += "\"";
    if (offset != 0) s += " stroke-dashoffset=\"" + num(offset) + "\"";
  }
  return s;
}

void SvgWriter::draw_path(cairo_t* cr, bool fill, bool stroke) {
  cairo_pattern_t* source = cairo_get_source(cr);
  cairo_surface_t* image = nullptr;
  if (fill && cairo_pattern_get_type(source) == CAIRO_PATTERN_TYPE_SURFACE &&
      cairo_pattern_get_surface(source, &image) == CAIRO_STATUS_SUCCESS &&
      cairo_surface_get_type(image) == CAIRO_SURFACE_TYPE_IMAGE) {
    // An image painted through the current transform, pixel (0, 0) at the
    // origin: the painters fill the image's own rectangle with it.
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    std::string png;
    cairo_surface_write_to_png_stream(image, append, &png);
    body_ += "<image width=\"" + std::to_string(cairo_image_surface_get_width(image)) +
             "\" height=\"" + std::to_string(cairo_image_surface_get_height(image)) +
             "\" preserveAspectRatio=\"none\" style=\"image-rendering:pixelated\" "
             "transform=\"matrix(" +
             num(m.xx) + " " + num(m.yx) + " " + num(m.xy) + " " + num(m.yy) + " " + num(m.x0) +
             " " + num(m.y0) + ")\" xlink:href=\"data:image/png;base64," + base64(png) + "\"/>\n";
    return;
  }
  const std::string d = path_data(cr);
  if (d.empty()) return;
  body_ += "<path" + style_of(cr, fill, stroke) + " d=\"" + d + "\"/>\n";
}

void SvgWriter::paint(cairo_t* cr) {
  body_ += "<rect width=\"" + num(width_) + "\" height=\"" + num(height_) + "\"" +
           paint_of(cr, "fill") + "/>\n";
}

void SvgWriter::clip(cairo_t* cr) {
  const std::string id = "c" + std::to_string(next_id_++);
  defs_ += "<clipPath id=\"" + id + "\"><path d=\"" + path_data(cr) + "\"/></clipPath>\n";
  body_ += "<g clip-path=\"url(#" + id + ")\">\n";
  ++open_groups_.back();
}

void SvgWriter::text(cairo_t* cr, std::string_view text, double x, double y, HAlign halign,
                     VAlign valign, const TextStyle& style, double angle_rad) {
  const std::vector<TextLine> lines = text_lines(cr, text, halign, valign, style);
  if (lines.empty()) return;
  cairo_user_to_device(cr, &x, &y);
  std::string font = " font-family=\"";
  escape(font, style.font_name.empty() ? "DejaVu Sans" : style.font_name);
  font += "\" font-size=\"" +
          num(std::isfinite(style.size_px) && style.size_px > 0 ? style.size_px : 1) + "\"";
  if (style.bold) font += " font-weight=\"bold\"";
  if (style.italic) font += " font-style=\"italic\"";
  body_ += "<g transform=\"translate(" + num(x) + " " + num(y) + ")";
  if (angle_rad != 0) body_ += " rotate(" + num(-angle_rad * 180 / std::numbers::pi) + ")";
  body_ += "\"" + font + " fill=\"" + colour(style.color) + "\">\n";
  for (const TextLine& l : lines) {
    body_ +=
        "<text xml:space=\"preserve\" x=\"" + num(l.left) + "\" y=\"" + num(l.baseline) + "\">";
    escape(body_, l.text);
    body_ += "</text>\n";
  }
  body_ += "</g>\n";
}

const std::string& SvgWriter::symbol(const MarkerStyle& s) {
  for (const auto& [style, id] : symbols_)
    if (same(style, s)) return id;
  std::string id = "m" + std::to_string(symbols_.size());
  cairo_new_path(scratch_);
  add_marker_path(scratch_, s.marker, 0, 0, s.size_px);
  const std::string d = path_data(scratch_);
  cairo_new_path(scratch_);
  const bool open =
      s.marker == Marker::Plus || s.marker == Marker::Cross || s.marker == Marker::Asterisk;
  std::string paint;
  if (s.marker == Marker::Point) {
    paint = " fill=\"" + colour(s.edge) + "\"";
  } else {
    paint = std::string(" fill=\"") + (s.face && !open ? colour(*s.face) : "none") +
            "\" stroke=\"" + colour(s.edge) + "\" stroke-width=\"" + num(s.line_width_px) + "\"";
  }
  defs_ += "<symbol id=\"" + id + "\" overflow=\"visible\"><path" + paint + " d=\"" + d +
           "\"/></symbol>\n";
  symbols_.emplace_back(s, std::move(id));
  return symbols_.back().second;
}

void SvgWriter::markers(const MarkerStyle& style,
                        const std::vector<std::array<double, 2>>& points) {
  if (style.marker == Marker::None || points.empty()) return;
  const std::string href = "<use xlink:href=\"#" + symbol(style) + "\" x=\"";
  body_.reserve(body_.size() + points.size() * (href.size() + 24));
  for (const auto& p : points) {
    if (!(std::isfinite(p[0]) && std::isfinite(p[1]))) continue;
    // A hundredth of a pixel places a marker finer than any print shows;
    // the uses of one line share a text line, as a path's points do.
    body_ += href;
    put(body_, p[0], 2);
    body_ += "\" y=\"";
    put(body_, p[1], 2);
    body_ += "\"/>";
  }
  body_ += '\n';
}

std::string SvgWriter::finish() {
  while (open_groups_.size() > 1) restore();
  for (int i = 0; i < open_groups_.back(); ++i) body_ += "</g>\n";
  open_groups_.back() = 0;
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
      "version=\"1.1\" width=\"" +
      num(width_ * 0.75) + "pt\" height=\"" + num(height_ * 0.75) + "pt\" viewBox=\"0 0 " +
      num(width_) + " " + num(height_) + "\">\n";
  out.reserve(out.size() + defs_.size() + body_.size() + 64);
  if (!defs_.empty()) out += "<defs>\n" + defs_ + "</defs>\n";
  out += "<g stroke-miterlimit=\"10\">\n";
  out += body_;
  out += "</g>\n</svg>\n";
  return out;
}

void Ink::save() const {
  cairo_save(cr);
  if (svg) svg->save();
}

void Ink::restore() const {
  if (svg) svg->restore();
  cairo_restore(cr);
}

void Ink::stroke() const {
  if (!svg) return cairo_stroke(cr);
  svg->draw_path(cr, false, true);
  cairo_new_path(cr);
}

void Ink::fill() const {
  if (!svg) return cairo_fill(cr);
  svg->draw_path(cr, true, false);
  cairo_new_path(cr);
}

void Ink::fill_preserve() const {
  if (!svg) return cairo_fill_preserve(cr);
  svg->draw_path(cr, true, false);
}

void Ink::clip() const {
  if (svg) svg->clip(cr);
  cairo_clip(cr);
}

void Ink::paint() const {
  if (!svg) return cairo_paint(cr);
  svg->paint(cr);
}

void Ink::text(std::string_view text, double x, double y, HAlign halign, VAlign valign,
               const TextStyle& style, double angle_rad) const {
  if (!svg) return draw_text(cr, text, x, y, halign, valign, style, angle_rad);
  svg->text(cr, text, x, y, halign, valign, style, angle_rad);
}

void Ink::markers(MarkerStamper& stamper, const MarkerStyle& style,
                  const std::vector<std::array<double, 2>>& points) const {
  if (!svg) return stamper.draw(cr, style, points);
  // Marker centres are in user units; the writer places them in figure
  // pixels.
  std::vector<std::array<double, 2>> device = points;
  for (auto& p : device) cairo_user_to_device(cr, &p[0], &p[1]);
  svg->markers(style, device);
}

}  // namespace velmora::render
