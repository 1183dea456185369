// Positions: every rectangle is kept in pixels and converted to and from the
// object's "Units" (pixels, points, inches, centimeters, characters,
// normalized to the parent) on each get and set.
#include "platform/graphics/units.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/graphics/graphics.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::gfx {

double pixels_per_unit(std::string_view units, bool vertical, double ppi) {
  std::string u = lower(units);
  if (u == "pixels") return 1;
  if (u == "points") return ppi / 72;
  if (u == "inches") return ppi;
  if (u == "centimeters") return ppi / 2.54;
  if (u == "characters") return vertical ? ppi * 13 / 96 : ppi * 5 / 96;
  throw RuntimeError("Unknown units \"" + std::string(units) + "\".");
}

double Graphics::pixels_per_unit(std::string_view units, bool vertical) const {
  return gfx::pixels_per_unit(units, vertical, backend_->pixels_per_inch());
}

std::array<double, 2> Graphics::parent_size_px(const Object& o) const {
  if (o.type == Type::Root) return backend_->screen_size_px();
  const Object& p = object(o.parent);
  if (p.type == Type::Root) return backend_->screen_size_px();
  return {p.pos_px[2], p.pos_px[3]};
}

namespace {
// A figure's frame: the outer position adds a title bar above the inner area.
constexpr double kTitleBarPx = 24;
}  // namespace

Value Graphics::get_position(const Object& o, std::string_view which) const {
  std::array<double, 4> px = o.pos_px;
  if (o.type == Type::Root) {
    auto s = backend_->screen_size_px();
    px = {0, 0, s[0], s[1]};
  }
  if (which == "outerposition" && o.type == Type::Figure) px[3] += kTitleBarPx;
  std::string units = lower(o.props.at("units").text_or_empty());
  if (units == "normalized") {
    auto ps = parent_size_px(o);
    return Value::row({px[0] / ps[0], px[1] / ps[1], px[2] / ps[0], px[3] / ps[1]});
  }
  double fx = pixels_per_unit(units, false), fy = pixels_per_unit(units, true);
  if (o.type == Type::Root) {
    // The screen size counts from 1, as the run-time reports it.
    return Value::row({1, 1, px[2] / fx, px[3] / fy});
  }
  return Value::row({px[0] / fx, px[1] / fy, px[2] / fx, px[3] / fy});
}

void Graphics::set_position(Object& o, std::string_view which, const Value& v) {
  if (o.type == Type::Root) throw RuntimeError("The screen size cannot be set.");
  if (!v.is_double() || v.numel() != 4) {
    throw RuntimeError("Position must be a vector of four numbers [left bottom width height].");
  }
  for (double x : v.data())
    if (!std::isfinite(x)) throw RuntimeError("Position values must be finite numbers.");
  std::string units = lower(o.props.at("units").text_or_empty());
  std::array<double, 4> px;
  if (units == "normalized") {
    auto ps = parent_size_px(o);
    px = {v(0) * ps[0], v(1) * ps[1], v(2) * ps[0], v(3) * ps[1]};
  } else {
    double fx = pixels_per_unit(units, false), fy = pixels_per_unit(units, true);
    px = {v(0) * fx, v(1) * fy, v(2) * fx, v(3) * fy};
  }
  if (which == "outerposition" && o.type == Type::Figure)
    px[3] = std::max(0.0, px[3] - kTitleBarPx);
  o.pos_px = px;
}

}  // namespace velmora::gfx
