// Flat pictures of user-interface controls for printed figures.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "platform/render/renderer.hpp"
#include "platform/render/svg_writer.hpp"
#include "platform/render/text.hpp"

namespace velmora::render {

namespace {

constexpr double kControlFontPt = 9;
constexpr double kPadPx = 4;
constexpr Rgb kBorder{0.48, 0.48, 0.48};
constexpr Rgb kField{1, 1, 1};

void set_rgb(cairo_t* cr, Rgb c) {
  cairo_set_source_rgb(cr, c.r, c.g, c.b);
}

void fill_rect(const Ink& ink, double x, double y, double w, double h, Rgb c) {
  cairo_t* cr = ink.cr;
  cairo_rectangle(cr, x, y, w, h);
  set_rgb(cr, c);
  ink.fill();
}

void outline(const Ink& ink, double x, double y, double w, double h, Rgb c) {
  cairo_t* cr = ink.cr;
  cairo_rectangle(cr, x + 0.5, y + 0.5, std::max(w - 1, 0.0), std::max(h - 1, 0.0));
  set_rgb(cr, c);
  cairo_set_line_width(cr, 1);
  ink.stroke();
}

Rgb darker(Rgb c, double f) {
  return {c.r * f, c.g * f, c.b * f};
}

}  // namespace

void draw_control(const Ink& ink, const SceneControl& c, double figure_height_px) {
  cairo_t* cr = ink.cr;
  const double w = c.rect_px.width, h = c.rect_px.height;
  if (!(w > 0) || !(h > 0)) return;
  const double x = c.rect_px.left, y = figure_height_px - c.rect_px.bottom - h;
  const double cy = y + 0.5 * h;
  TextStyle font;
  font.size_px = kControlFontPt * kPxPerPt;
  font.color = c.foreground;
  ink.save();
  cairo_rectangle(cr, x, y, w, h);
  ink.clip();
  cairo_set_dash(cr, nullptr, 0, 0);
  const std::string& s = c.style;
  if (s == "checkbox" || s == "radiobutton") {
    fill_rect(ink, x, y, w, h, c.background);
    double box = std::min(13.0, h - 2);
    double bx = x + 2, by = cy - 0.5 * box;
    if (s == "checkbox") {
      fill_rect(ink, bx, by, box, box, kField);
      outline(ink, bx, by, box, box, kBorder);
      if (c.value) {
        cairo_move_to(cr, bx + 0.2 * box, by + 0.5 * box);
        cairo_line_to(cr, bx + 0.42 * box, by + 0.75 * box);
        cairo_line_to(cr, bx + 0.8 * box, by + 0.25 * box);
        set_rgb(cr, c.foreground);
        cairo_set_line_width(cr, 1.6);
        ink.stroke();
      }
    } else {
      cairo_arc(cr, bx + 0.5 * box, cy, 0.5 * box - 0.5, 0, 2 * std::numbers::pi);
      set_rgb(cr, kField);
      ink.fill_preserve();
      set_rgb(cr, kBorder);
      cairo_set_line_width(cr, 1);
      ink.stroke();
      if (c.value) {
        cairo_arc(cr, bx + 0.5 * box, cy, 0.22 * box, 0, 2 * std::numbers::pi);
        set_rgb(cr, c.foreground);
        ink.fill();
      }
    }
    ink.text(c.text, bx + box + kPadPx, cy, HAlign::Left, VAlign::Middle, font);
  } else if (s == "popupmenu") {
    fill_rect(ink, x, y, w, h, kField);
    outline(ink, x, y, w, h, kBorder);
    double a = std::min(8.0, 0.4 * h), ax = x + w - kPadPx - a;
    cairo_move_to(cr, ax, cy - 0.25 * a);
    cairo_line_to(cr, ax + a, cy - 0.25 * a);
    cairo_line_to(cr, ax + 0.5 * a, cy + 0.35 * a);
    cairo_close_path(cr);
    set_rgb(cr, c.foreground);
    ink.fill();
    ink.text(c.text, x + kPadPx, cy, HAlign::Left, VAlign::Middle, font);
  } else if (s == "edit" || s == "listbox") {
    fill_rect(ink, x, y, w, h, c.background);
    outline(ink, x, y, w, h, kBorder);
    if (c.multi_line) {
      // As on screen: the newest lines, those at the end, stay in view.
      std::vector<std::string> lines;
      std::size_t from = 0;
      for (std::size_t cut; (cut = c.text.find('\n', from)) != std::string::npos; from = cut + 1)
        lines.push_back(c.text.substr(from, cut - from));
      lines.push_back(c.text.substr(from));
      const double line_h = text_size(cr, "Ag", font)[1];
      const auto fit =
          static_cast<std::size_t>(std::max(1.0, std::floor((h - 2 * kPadPx) / line_h)));
      std::string shown;
      const std::size_t first = lines.size() > fit ? lines.size() - fit : 0;
      for (std::size_t i = first; i < lines.size(); ++i)
        shown += (i == first ? "" : "\n") + lines[i];
      ink.text(shown, x + kPadPx, y + kPadPx, HAlign::Left, VAlign::Top, font);
    } else if (s == "edit" && h < 2.5 * font.size_px) {
      ink.text(c.text, x + 0.5 * w, cy, HAlign::Center, VAlign::Middle, font);
    } else {
      ink.text(c.text, x + kPadPx, y + kPadPx, HAlign::Left, VAlign::Top, font);
    }
  } else if (s == "text") {
    fill_rect(ink, x, y, w, h, c.background);
    ink.text(c.text, x + 0.5 * w, y + 1, HAlign::Center, VAlign::Top, font);
  } else if (s == "frame") {
    fill_rect(ink, x, y, w, h, c.background);
    outline(ink, x, y, w, h, kBorder);
  } else if (s == "splitter") {
    fill_rect(ink, x, y, w, h, c.background);
    fill_rect(ink, x, cy - 0.5, w, 1, darker(c.background, 0.75));
  } else if (s == "slider") {
    fill_rect(ink, x, y, w, h, c.background);
    fill_rect(ink, x + 2, cy - 2, w - 4, 4, darker(c.background, 0.8));
    outline(ink, x, y, w, h, kBorder);
  } else {
    // Push and toggle buttons, and any style without a picture of its own.
    bool down = s == "togglebutton" && c.value;
    fill_rect(ink, x, y, w, h, down ? darker(c.background, 0.85) : c.background);
    outline(ink, x, y, w, h, kBorder);
    ink.text(c.text, x + 0.5 * w, cy, HAlign::Center, VAlign::Middle, font);
  }
  ink.restore();
}

void draw_control(cairo_t* cr, const SceneControl& c, double figure_height_px) {
  draw_control(Ink{cr}, c, figure_height_px);
}

}  // namespace velmora::render
