#include "gui/message_icons.hpp"

#include <algorithm>
#include <cmath>
#include <functional>

namespace velmora::gui {

namespace {

constexpr double kCentre = (kIconSize - 1) / 2.0;  // pixel-centre coordinates

// Distance from point p to the segment a–b.
double segment_distance(double px, double py, double ax, double ay, double bx, double by) {
  double dx = bx - ax, dy = by - ay;
  double t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy);
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

bool in_box(double r, double c, double r0, double r1, double c0, double c1) {
  return r >= r0 && r <= r1 && c >= c0 && c <= c1;
}

bool on_ring(double r, double c) {
  double d = std::hypot(r - kCentre, c - kCentre);
  return d >= 13.0 && d <= 15.4;
}

bool warn_pixel(double r, double c) {
  // Triangle: apex at the top centre, base along the bottom.
  const double ar = 1, ac = kCentre, lr = 30, lc = 1, rr = 30, rc = 30;
  bool edge = segment_distance(r, c, ar, ac, lr, lc) < 1.2 ||
              segment_distance(r, c, ar, ac, rr, rc) < 1.2 ||
              segment_distance(r, c, lr, lc, rr, rc) < 1.2;
  bool mark = in_box(r, c, 10, 22, 14, 17) || in_box(r, c, 25, 27, 14, 17);
  return edge || mark;
}

bool help_pixel(double r, double c) {
  bool mark = in_box(r, c, 7, 9, 14, 17) || in_box(r, c, 12, 23, 14, 17) ||
              in_box(r, c, 12, 13, 12, 17) || in_box(r, c, 23, 24, 12, 19);
  return on_ring(r, c) || mark;
}

bool error_pixel(double r, double c) {
  bool cross = std::hypot(r - kCentre, c - kCentre) < 10 &&
               (std::fabs(r - c) < 1.6 || std::fabs(r + c - 2 * kCentre) < 1.6);
  return on_ring(r, c) || cross;
}

}  // namespace

Value stock_icon_image(StockIcon icon) {
  std::function<bool(double, double)> black = icon == StockIcon::Warn   ? warn_pixel
                                              : icon == StockIcon::Help ? help_pixel
                                                                        : error_pixel;
  Value img = Value::zeros(kIconSize, kIconSize);
  for (std::size_t r = 0; r < kIconSize; ++r)
    for (std::size_t c = 0; c < kIconSize; ++c)
      img(r, c) = black(static_cast<double>(r), static_cast<double>(c)) ? 1 : 2;
  return img;
}

Value stock_icon_colormap(const Value& background) {
  Value map = Value::zeros(2, 3);
  for (std::size_t k = 0; k < 3; ++k) map(1, k) = background.numel() == 3 ? background(k) : 0.94;
  return map;
}

}  // namespace velmora::gui
