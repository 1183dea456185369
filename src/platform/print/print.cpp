// Printing figures: the figure's scene drawn by the Cairo renderer to a file
// or to the clipboard.
#include "platform/print/print.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/graphics.hpp"
#include "platform/graphics/scene.hpp"
#include "platform/render/axes_parts.hpp"
#include "platform/render/renderer.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::gfx {

namespace {

// A number that fills all of `text`, or nullopt.
std::optional<double> whole_number_text(const std::string& text) {
  if (text.empty()) return std::nullopt;
  double v = 0;
  const char* end = text.data() + text.size();
  auto [at, ec] = std::from_chars(text.data(), end, v);
  if (ec != std::errc() || at != end || !std::isfinite(v)) return std::nullopt;
  return v;
}

// "WxHcm" or "WxHin" as width and height in inches, each above 0 and at
// most a metre; nullopt for anything else.
std::optional<std::array<double, 2>> print_size(const std::string& text) {
  if (text.size() < 5) return std::nullopt;
  const std::string unit = lower(text.substr(text.size() - 2));
  const double per_inch = unit == "in" ? 1 : unit == "cm" ? 2.54 : 0;
  const std::size_t x = text.find_first_of("xX");
  if (per_inch == 0 || x == std::string::npos) return std::nullopt;
  auto w = whole_number_text(text.substr(0, x));
  auto h = whole_number_text(text.substr(x + 1, text.size() - 2 - x - 1));
  if (!w || !h) return std::nullopt;
  const double wi = *w / per_inch, hi = *h / per_inch;
  if (!(wi > 0 && hi > 0 && wi <= kLargestSideIn && hi <= kLargestSideIn)) return std::nullopt;
  return std::array<double, 2>{wi, hi};
}

// The scene laid out on a figure of another size: every rectangle keeps its
// place and share of the figure.
render::FigureScene resized(render::FigureScene f, double width_px, double height_px) {
  const double kx = width_px / f.width_px, ky = height_px / f.height_px;
  auto stretch = [&](render::Rect& r) {
    r = {r.left * kx, r.bottom * ky, r.width * kx, r.height * ky};
  };
  for (auto& p : f.axes) stretch(p.rect_px);
  for (auto& c : f.controls) stretch(c.rect_px);
  f.width_px = width_px;
  f.height_px = height_px;
  return f;
}

// The text size an export of `width_in` inches wide takes when none is
// asked: 8 pt up to a journal column (9 cm), 10 pt above.
double default_text_pt(double width_in) {
  return width_in * 2.54 <= 9 ? 8 : 10;
}

// The scene with its texts at `text_pt`: each axes' tick labels at that
// size (axis labels and title 1.1 times it), every other text scaled with
// them and never above 1.2 times it; markers and line widths, and so the
// legend and colour bar laid out from them, scale with the text.  A 3-D
// plot's symbols were sized for the spacing of its points on screen: they
// scale with the plot itself (`plot_k`, the printed plot's side over the
// window's), so that they keep their share of the data and cover at print
// what they covered on screen.
render::FigureScene with_text_size(render::FigureScene f, double text_pt, double plot_k) {
  for (auto& p : f.axes) {
    render::AxesScene& a = p.axes;
    const double k = text_pt / render::tick_font_pt(a);
    const double marker_k = a.three_d ? plot_k : k;
    if (k == 1 && marker_k == 1) continue;
    a.font_size_pt = text_pt;
    for (render::SceneLine& l : a.lines) {
      l.line_width_pt *= k;
      l.marker_size_pt *= marker_k;
    }
    for (render::LegendEntry& e : a.legend) {
      e.sample.line_width_pt *= k;
      e.sample.marker_size_pt *= k;
    }
    for (render::SceneText& t : a.texts)
      t.font_size_pt = std::min(t.font_size_pt * k, kLargestTextShare * text_pt);
  }
  return f;
}

}  // namespace

std::vector<std::string> export_options(const std::string& ext, const std::string& size_text) {
  const std::string e = lower(ext);
  std::vector<std::string> options;
  if (e == "png") {
    options = {"-dpng"};
  } else if (e == "svg") {
    options = {"-dsvg"};
  } else if (e == "pdf") {
    options = {"-dpdf"};
  } else if (e == "eps") {
    options = {"-depsc"};
  } else {
    throw RuntimeError("\"" + ext + "\" is no picture format: use png, svg, pdf or eps.");
  }
  std::string dpi = "-r300";
  std::string text;
  std::string word;
  auto take = [&] {
    if (word.empty()) return;
    const std::string w = lower(word);
    std::optional<double> n, pt;
    if (w.size() > 3 && w.substr(w.size() - 3) == "dpi")
      n = whole_number_text(w.substr(0, w.size() - 3));
    if (w.size() > 2 && w.substr(w.size() - 2) == "pt")
      pt = whole_number_text(w.substr(0, w.size() - 2));
    if (n && *n >= 10 && *n <= 2400) {
      dpi = "-r" + w.substr(0, w.size() - 3);
    } else if (pt && *pt >= kSmallestTextPt && *pt <= kLargestTextPt) {
      text = "-t" + w.substr(0, w.size() - 2);
    } else if (w == "talk") {
      options.push_back("-s" + std::string(kTalkSize));
      if (text.empty()) text = "-t" + std::to_string(static_cast<int>(kTalkTextPt));
    } else if (print_size(w)) {
      options.push_back("-s" + w);
    } else {
      throw RuntimeError("\"" + word +
                         "\" is neither a size (\"17x12cm\", \"6.5x5in\", at most 100 cm a side, "
                         "or \"talk\"), a resolution (\"300dpi\", from 10 to 2400) nor a text size "
                         "(\"8pt\", from 4 to 48).");
    }
    word.clear();
  };
  for (char c : size_text) {
    if (c == ',')
      take();
    else
      word += c;
  }
  take();
  if (!text.empty()) options.push_back(text);
  options.push_back(dpi);
  return options;
}

namespace {

/// A figure's scene laid out as the print options ask, and how to draw it.
struct Prepared {
  render::FigureScene scene;
  std::string device;
  double scale = 1, dpi = 150;
  bool noui = false;
};

Prepared prepared(Graphics& g, Handle fig, const std::vector<std::string>& options) {
  if (!g.valid(fig) || g.type(fig) != Type::Figure)
    throw RuntimeError("print needs a figure handle.");
  Prepared p;
  std::optional<std::array<double, 2>> size_in;
  std::optional<double> text_pt;
  for (const std::string& o : options) {
    if (o == "-noui") {
      p.noui = true;
    } else if (o.rfind("-d", 0) == 0) {
      p.device = o.substr(2);
    } else if (o.rfind("-r", 0) == 0) {
      try {
        p.dpi = std::stod(o.substr(2));
      } catch (...) {
        throw RuntimeError("Bad print resolution \"" + o + "\".");
      }
      if (!(p.dpi > 0 && p.dpi <= 2400)) throw RuntimeError("Bad print resolution \"" + o + "\".");
    } else if (o.rfind("-s", 0) == 0) {
      size_in = print_size(o.substr(2));
      if (!size_in) throw RuntimeError("Bad print size \"" + o + "\".");
    } else if (o.rfind("-t", 0) == 0) {
      text_pt = whole_number_text(o.substr(2));
      if (!text_pt || (*text_pt != 0 && (*text_pt < kSmallestTextPt || *text_pt > kLargestTextPt)))
        throw RuntimeError("Bad print text size \"" + o + "\".");
    } else {
      throw RuntimeError("Unknown print option \"" + o + "\".");
    }
  }
  p.scene = figure_scene(g, fig, !p.noui);
  p.scale = p.dpi / g.backend().pixels_per_inch();
  double plot_k = 1;
  if (size_in) {
    // The scene's pixels are 96 to the inch.
    plot_k =
        std::min((*size_in)[0] * 96 / p.scene.width_px, (*size_in)[1] * 96 / p.scene.height_px);
    p.scene = resized(std::move(p.scene), (*size_in)[0] * 96, (*size_in)[1] * 96);
    p.scale = p.dpi / 96;
    if (!text_pt) text_pt = default_text_pt((*size_in)[0]);
  }
  // "-t0": the window's texts and layout at any size (video frames).
  const bool window_look = text_pt && *text_pt == 0;
  if (text_pt && !window_look) p.scene = with_text_size(std::move(p.scene), *text_pt, plot_k);
  // At a physical size a 3-D plot rarely leaves a corner free for its
  // legend: the legend stands under the plot, which keeps clear of it.
  if (size_in && !window_look)
    for (auto& placed : p.scene.axes)
      if (placed.axes.three_d && !placed.axes.legend.empty())
        placed.axes.legend_strip_px =
            render::legend_strip_height(placed.axes, placed.rect_px.width);
  return p;
}

}  // namespace

std::string figure_png(Graphics& g, Handle fig, const std::vector<std::string>& options) {
  const Prepared p = prepared(g, fig, options);
  return render::to_png(p.scene, p.scale, !p.noui, p.dpi);
}

render::Image figure_image(Graphics& g, Handle fig, const std::vector<std::string>& options) {
  const Prepared p = prepared(g, fig, options);
  return render::to_image(p.scene, p.scale, !p.noui);
}

void print_figure(Graphics& g, Handle fig, const std::vector<std::string>& options,
                  const std::string& path) {
  Prepared p = prepared(g, fig, options);
  const std::string& device = p.device;
  const bool noui = p.noui;
  const double scale = p.scale, dpi = p.dpi;
  render::FigureScene& scene = p.scene;
  if (device == "meta") {
    if (!path.empty()) throw RuntimeError("-dmeta prints to the clipboard, not to a file.");
    std::string svg = render::to_svg(scene, !noui), png = render::to_png(scene, scale, !noui, dpi);
    const std::size_t svg_size = svg.size(), png_size = png.size();
    g.backend().set_clipboard({{"image/svg+xml", std::move(svg)}, {"image/png", std::move(png)}});
    // Without a desktop no other program can paste the copy: say where it
    // went rather than seem to have done nothing.
    if (headless_backend()) {
      console().write("The figure was copied to the headless clipboard (SVG, " +
                      std::to_string(svg_size) + " bytes; PNG, " + std::to_string(png_size) +
                      " bytes); without a desktop no other program can paste it.\n");
    }
    return;
  }
  if (path.empty()) throw RuntimeError("print -d" + device + " needs a file name.");
  if (device == "epsc" || device == "eps" || device == "epsc2" || device == "eps2") {
    render::write_eps(scene, path, !noui);
  } else if (device == "png") {
    render::write_png(scene, path, scale, !noui, dpi);
  } else if (device == "svg") {
    render::write_svg(scene, path, !noui);
  } else if (device == "pdf") {
    render::write_pdf(scene, path, !noui);
  } else {
    throw RuntimeError("Unknown print device \"-d" + device + "\".");
  }
}

}  // namespace velmora::gfx
