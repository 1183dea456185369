// Turning graphics objects into the renderer's scene description.  The
// scene is plain data: drawing it is the renderer's.
#include "platform/graphics/scene.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "platform/graphics/graphics.hpp"
#include "platform/render/line_spec.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::gfx {

namespace {

render::Rgb to_rgb(const Value& v, render::Rgb fallback) {
  if (v.is_double() && v.numel() == 3) return {v(0), v(1), v(2)};
  return fallback;
}

std::vector<double> numbers(const Value& v) {
  if (!v.is_double()) return {};
  return v.data();
}

bool on(const Graphics& g, Handle h, std::string_view prop) {
  return g.get_text(h, prop) == "on";
}

std::string text_of(const Value& v) {
  if (v.is_char()) return v.to_string();
  if (v.is_cell()) {
    std::string out;
    for (std::size_t i = 0; i < v.numel(); ++i) {
      if (i) out += "\n";
      out += v.at(i).text_or_empty();
    }
    return out;
  }
  if (v.is_double() && !v.empty()) return format_number(v(0));
  return {};
}

render::SceneText scene_text(const Graphics& g, Handle t) {
  render::SceneText st;
  Value pos = g.get(t, "Position");
  st.x = pos.numel() > 0 ? pos(0) : 0;
  st.y = pos.numel() > 1 ? pos(1) : 0;
  st.z = pos.numel() > 2 ? pos(2) : 0;
  st.text = text_of(g.get(t, "String"));
  st.color = to_rgb(g.get(t, "Color"), {0, 0, 0});
  st.font_size_pt = g.get_number(t, "FontSize");
  st.font_name = g.get_text(t, "FontName");
  st.bold = g.get_text(t, "FontWeight") == "bold";
  st.italic = g.get_text(t, "FontAngle") == "italic";
  std::string ha = g.get_text(t, "HorizontalAlignment");
  st.halign = ha == "center"  ? render::HAlign::Center
              : ha == "right" ? render::HAlign::Right
                              : render::HAlign::Left;
  std::string va = g.get_text(t, "VerticalAlignment");
  st.valign = va == "top"                          ? render::VAlign::Top
              : va == "bottom" || va == "baseline" ? render::VAlign::Bottom
                                                   : render::VAlign::Middle;
  // The margin is in points, like the font size.
  st.margin_px = g.get_number(t, "Margin") * 96.0 / 72.0;
  return st;
}

/// The colour bar an axes' application data `key` (its [low high] range)
/// and `key`Label (its label) describe, if the range is there.
std::optional<render::ColorBar> colour_bar(const Graphics& g, Handle ax, const std::string& key) {
  if (!g.has_appdata(ax, key)) return std::nullopt;
  const Value range = g.appdata(ax, key);
  if (!range.is_double() || range.numel() != 2) return std::nullopt;
  render::ColorBar cb{range(0), range(1), {}};
  if (g.has_appdata(ax, key + "Label")) cb.label = g.appdata(ax, key + "Label").text_or_empty();
  return cb;
}

}  // namespace

render::AxesScene axes_scene(const Graphics& g, Handle ax) {
  render::AxesScene s;
  Value view = g.get(ax, "View");
  s.azimuth_deg = view(0);
  s.elevation_deg = view(1);
  s.three_d = !(std::fabs(view(1) - 90) < 1e-12 && std::fabs(view(0)) < 1e-12);
  auto lim = [&](const char* name, const char* mode, std::array<double, 2>& out, bool& is_auto) {
    Value l = g.get(ax, name);
    out = {l(0), l(1)};
    is_auto = g.get_text(ax, mode) == "auto";
  };
  lim("XLim", "XLimMode", s.xlim, s.auto_x);
  lim("YLim", "YLimMode", s.ylim, s.auto_y);
  lim("ZLim", "ZLimMode", s.zlim, s.auto_z);
  s.equal = g.get_text(ax, "DataAspectRatioMode") == "manual";
  s.axis_visible = on(g, ax, "Visible");
  s.box = on(g, ax, "Box");
  s.xgrid = on(g, ax, "XGrid");
  s.ygrid = on(g, ax, "YGrid");
  s.zgrid = on(g, ax, "ZGrid");
  s.background = to_rgb(g.get(ax, "Color"), {1, 1, 1});
  s.font_size_pt = g.get_number(ax, "FontSize");
  auto label = [&](const char* prop) { return text_of(g.get(g.get(ax, prop)(0), "String")); };
  s.xlabel = label("XLabel");
  s.ylabel = label("YLabel");
  s.zlabel = label("ZLabel");
  s.title = label("Title");
  if (g.has_appdata(ax, "ViewZoom")) s.zoom = g.appdata(ax, "ViewZoom").to_scalar();
  // The legend names the lines that carry a DisplayName, in drawing order,
  // each name once.
  const bool legend = g.has_appdata(ax, "Legend") && g.appdata(ax, "Legend").is_true();
  s.colorbar = colour_bar(g, ax, "ColorBar");
  s.surface = g.object(ax).surface;
  // A surface's heat map has its own colour bar, unless the axes show one.
  if (s.surface && !s.colorbar) s.colorbar = colour_bar(g, ax, "SurfaceColorBar");
  for (Handle c : g.children(ax)) {
    Type t = g.type(c);
    if (!on(g, c, "Visible")) continue;
    if (t == Type::Line) {
      render::SceneLine l;
      l.x = numbers(g.get(c, "XData"));
      l.y = numbers(g.get(c, "YData"));
      l.z = numbers(g.get(c, "ZData"));
      if (l.z.size() != l.x.size()) l.z.assign(l.x.size(), 0.0);
      l.color = to_rgb(g.get(c, "Color"), {0, 0, 0});
      l.line_width_pt = g.get_number(c, "LineWidth");
      l.style = render::parse_line_style_name(g.get_text(c, "LineStyle"));
      l.marker = render::parse_marker_name(g.get_text(c, "Marker"));
      l.marker_size_pt = g.get_number(c, "MarkerSize");
      Value face = g.get(c, "MarkerFaceColor");
      if (face.is_double() && face.numel() == 3) {
        l.marker_face = to_rgb(face, l.color);
      } else if (face.text_or_empty() == "auto") {
        l.marker_face = s.background;
      }
      Value edge = g.get(c, "MarkerEdgeColor");
      if (edge.is_double() && edge.numel() == 3) l.marker_edge = to_rgb(edge, l.color);
      if (legend) {
        const std::string name = g.get_text(c, "DisplayName");
        const bool named_before = std::any_of(s.legend.begin(), s.legend.end(),
                                              [&](const auto& e) { return e.label == name; });
        if (!name.empty() && !named_before) {
          render::SceneLine sample = l;  // only the style is drawn
          sample.x.clear(), sample.y.clear(), sample.z.clear();
          s.legend.push_back({name, std::move(sample)});
        }
      }
      s.lines.push_back(std::move(l));
    } else if (t == Type::Text) {
      if (g.get_text(c, "HandleVisibility") == "off" && g.get_text(c, "Tag").empty()) {
        // The axis label texts are drawn as labels, not as data texts.
        bool is_label = false;
        for (const char* prop : {"XLabel", "YLabel", "ZLabel", "Title"})
          if (g.get(ax, prop)(0) == c) is_label = true;
        if (is_label) continue;
      }
      s.texts.push_back(scene_text(g, c));
    } else if (t == Type::Image) {
      Value cdata = g.get(c, "CData");
      if (cdata.empty() || !cdata.is_double()) continue;
      render::SceneImage im;
      im.height = static_cast<int>(cdata.rows());
      im.width = static_cast<int>(cdata.cols());
      Value cmap = g.get(g.figure_of(c), "Colormap");
      bool truecolor = cdata.pages() == 3;
      for (int r = 0; r < im.height; ++r) {
        for (int col = 0; col < im.width; ++col) {
          render::Rgb px{0, 0, 0};
          if (truecolor) {
            px = {cdata(r, col, 0), cdata(r, col, 1), cdata(r, col, 2)};
          } else if (cmap.is_double() && cmap.cols() == 3 && cmap.rows() > 0) {
            long idx = std::lround(cdata(r, col)) - 1;
            idx = std::clamp<long>(idx, 0, static_cast<long>(cmap.rows()) - 1);
            px = {cmap(idx, 0), cmap(idx, 1), cmap(idx, 2)};
          }
          im.pixels.push_back(px);
        }
      }
      Value xd = g.get(c, "XData"), yd = g.get(c, "YData");
      im.x0 = xd(0) - 0.5;
      im.x1 = xd(xd.numel() - 1) + 0.5;
      im.y0 = yd(0) - 0.5;
      im.y1 = yd(yd.numel() - 1) + 0.5;
      s.images.push_back(std::move(im));
    }
  }
  return s;
}

render::FigureScene figure_scene(const Graphics& g, Handle fig, bool include_controls) {
  render::FigureScene fs;
  const Object& fo = g.object(fig);
  fs.width_px = fo.pos_px[2];
  fs.height_px = fo.pos_px[3];
  fs.color = to_rgb(g.get(fig, "Color"), {0.94, 0.94, 0.94});
  for (Handle c : fo.children) {
    const Object& co = g.object(c);
    if (co.type == Type::Axes) {
      render::FigureScene::Placed p;
      p.axes = axes_scene(g, c);
      p.rect_px = {co.pos_px[0], co.pos_px[1], co.pos_px[2], co.pos_px[3]};
      fs.axes.push_back(std::move(p));
    } else if (co.type == Type::UiControl && include_controls && on(g, c, "Visible") &&
               !g.has_appdata(c, "NoPrint")) {
      render::SceneControl sc;
      sc.rect_px = {co.pos_px[0], co.pos_px[1], co.pos_px[2], co.pos_px[3]};
      Value str = g.get(c, "String");
      sc.style = g.get_text(c, "Style");
      if (sc.style == "popupmenu" && str.is_cell() && str.numel() > 0) {
        long idx = std::lround(g.get_number(c, "Value")) - 1;
        idx = std::clamp<long>(idx, 0, static_cast<long>(str.numel()) - 1);
        sc.text = str.at(static_cast<std::size_t>(idx)).text_or_empty();
      } else {
        sc.text = text_of(str);
      }
      sc.background = to_rgb(g.get(c, "BackgroundColor"), fs.color);
      sc.foreground = to_rgb(g.get(c, "ForegroundColor"), {0, 0, 0});
      Value val = g.get(c, "Value");
      sc.value = val.is_double() && !val.empty() && val(0) != 0;
      sc.multi_line = sc.style == "edit" && g.get_number(c, "Max") - g.get_number(c, "Min") > 1;
      fs.controls.push_back(std::move(sc));
    }
  }
  return fs;
}

}  // namespace velmora::gfx
