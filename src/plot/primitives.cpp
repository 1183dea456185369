#include "plot/primitives.hpp"

#include <Eigen/Geometry>
#include <cmath>
#include <limits>
#include <string>

#include "bindings/io_values.hpp"
#include "io/list_files.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::plot {

using gfx::graphics;
using gfx::Handle;

namespace {

// Landmark j of slice i of a k×3×n array, coordinate d.
double at(const Value& x, std::size_t j, std::size_t d, std::size_t i) {
  return x(j, d, i);
}

void check_configuration(const Value& x, std::string_view what) {
  if (!x.is_double() || x.cols() != 3 || x.rows() == 0) {
    throw RuntimeError(std::string(what) +
                       " must be a configuration of landmarks with three columns (x, y, z).");
  }
}

std::string spec_text(const Value& v, std::string_view what) {
  return v.to_string(what);
}

}  // namespace

std::vector<Handle> showshape3D(const Value& x, std::string_view spec) {
  check_configuration(x, "The configuration");
  auto& g = graphics();
  const std::size_t k = x.rows(), n = x.pages();
  std::vector<double> xs(k), ys(k), zs(k);
  std::vector<Handle> drawn;
  auto draw = [&](std::size_t i) {
    for (std::size_t j = 0; j < k; ++j) {
      xs[j] = at(x, j, 0, i);
      ys[j] = at(x, j, 1, i);
      zs[j] = at(x, j, 2, i);
    }
    drawn.push_back(g.plot(g.current_axes(), xs, ys, zs, spec, true));
  };
  draw(0);
  Handle ax = g.current_axes();
  g.hold(ax, true);
  g.axis(ax, "auto");
  g.axis(ax, "equal");
  for (std::size_t i = 1; i < n; ++i) draw(i);
  return drawn;
}

std::vector<Handle> wire3d(const Value& x, const Value& wirelist, std::string_view spec) {
  check_configuration(x, "The configuration");
  io::check_wires(wirelist, x.rows());
  const std::size_t w = wirelist.rows();
  if (w == 0) return {};
  // One line for all wires, each two points and a NaN that lifts the pen:
  // a wireframe of any size is one object, drawn as its separate wires.
  constexpr double kBreak = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> xs, ys, zs;
  for (auto* v : {&xs, &ys, &zs}) v->reserve(3 * w - 1);
  for (std::size_t i = 0; i < w; ++i) {
    if (i > 0) {
      xs.push_back(kBreak);
      ys.push_back(kBreak);
      zs.push_back(kBreak);
    }
    for (std::size_t c : {1, 2}) {
      const auto j = static_cast<std::size_t>(wirelist(i, c)) - 1;
      xs.push_back(x(j, 0));
      ys.push_back(x(j, 1));
      zs.push_back(x(j, 2));
    }
  }
  auto& g = graphics();
  return {g.plot(g.current_axes(), xs, ys, zs, spec, true)};
}

namespace {

void check_segments(const Value& ref, const Value& target) {
  check_configuration(ref, "The reference");
  check_configuration(target, "The target");
  if (target.rows() < ref.rows()) {
    throw RuntimeError("The target has " + std::to_string(target.rows()) +
                       " landmarks, fewer than the reference's " + std::to_string(ref.rows()) +
                       ".");
  }
}

}  // namespace

std::vector<Handle> disvec3d(const Value& ref, const Value& target, std::string_view spec) {
  check_segments(ref, target);
  auto& g = graphics();
  Handle ax = g.current_axes();
  std::vector<Handle> drawn;
  for (std::size_t i = 0; i < ref.rows(); ++i) {
    drawn.push_back(g.plot(ax, {ref(i, 0), target(i, 0)}, {ref(i, 1), target(i, 1)},
                           {ref(i, 2), target(i, 2)}, spec, true));
  }
  return drawn;
}

Handle arrowheads3d(const Value& ref, const Value& target, std::string_view spec,
                    double max_length) {
  check_segments(ref, target);
  constexpr double kShare = 0.35;
  const double spread = std::tan(20.0 * 3.14159265358979323846 / 180);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> xs, ys, zs;
  auto put = [&](const Eigen::Vector3d& p) {
    xs.push_back(p.x()), ys.push_back(p.y()), zs.push_back(p.z());
  };
  for (std::size_t i = 0; i < ref.rows(); ++i) {
    const Eigen::Vector3d a(ref(i, 0), ref(i, 1), ref(i, 2));
    const Eigen::Vector3d tip(target(i, 0), target(i, 1), target(i, 2));
    const double len = (tip - a).norm();
    if (!(len > 0) || !std::isfinite(len)) continue;
    const Eigen::Vector3d u = (tip - a) / len;
    // Two directions across the segment.
    Eigen::Vector3d p1 = u.unitOrthogonal(), p2 = u.cross(p1);
    const double h = std::min(kShare * len, max_length > 0 ? max_length : kShare * len);
    const Eigen::Vector3d base = tip - h * u;
    p1 *= h * spread;
    p2 *= h * spread;
    put(base + p1), put(tip), put(base - p1);
    xs.push_back(nan), ys.push_back(nan), zs.push_back(nan);
    put(base + p2), put(tip), put(base - p2);
    xs.push_back(nan), ys.push_back(nan), zs.push_back(nan);
  }
  auto& g = graphics();
  return g.plot(g.current_axes(), xs, ys, zs, spec, true);
}

namespace {

// Calls `fn` for every line child of `ax` in the order the axes list them.
template <typename Fn>
void for_each_child(Handle ax, Fn fn) {
  auto& g = graphics();
  Value kids = g.get(ax, "Children");
  for (std::size_t i = 0; i < kids.numel(); ++i) {
    Handle h = kids(i);
    std::string type = g.get_text(h, "Type");
    fn(h, type, !type.empty() && type[0] == 'l');
  }
}

}  // namespace

void incrementlinethickness(Handle ax, double step) {
  auto& g = graphics();
  for_each_child(ax, [&](Handle h, const std::string& type, bool is_line) {
    console().display("stemp", Value(type));
    if (!is_line) return;
    std::string style = g.get_text(h, "LineStyle");
    if (!style.empty() && style[0] == 'n') return;
    g.set(h, "LineWidth", g.get_number(h, "LineWidth") + step);
  });
}

void incrementsymbolsize(Handle ax, double step) {
  auto& g = graphics();
  for_each_child(ax, [&](Handle h, const std::string&, bool is_line) {
    if (is_line) g.set(h, "MarkerSize", g.get_number(h, "MarkerSize") + step);
  });
}

void setlinethickness(Handle ax, double width) {
  auto& g = graphics();
  for_each_child(ax, [&](Handle h, const std::string&, bool is_line) {
    if (is_line) g.set(h, "LineWidth", width);
  });
}

void setsymbolfill(Handle ax, double flag) {
  auto& g = graphics();
  for_each_child(ax, [&](Handle h, const std::string&, bool is_line) {
    if (!is_line) return;
    g.set(h, "MarkerFaceColor", flag == 0 ? Value("none") : g.get(h, "Color"));
  });
}

namespace {

Handle axes_arg(const ValueList& args, std::string_view fn) {
  const Value& v = arg(args, 0, fn, "axes");
  if (!graphics().valid(v) || graphics().type(v(0)) != gfx::Type::Axes)
    throw RuntimeError(std::string(fn) + ": the first input must be an axes handle.");
  return v(0);
}

NamedFunction styling(void (*fn)(Handle, double), std::string_view name, std::string_view input) {
  return [fn, name, input](const ValueList& args, int) {
    Handle ax = axes_arg(args, name);
    fn(ax, arg(args, 1, name, input).to_scalar(input));
    return ValueList{};
  };
}

}  // namespace

void register_plot_functions(FunctionTable& table) {
  table.add({"showshape3D",
             [](const ValueList& args, int) {
               showshape3D(arg(args, 0, "showshape3D", "x"),
                           spec_text(arg(args, 1, "showshape3D", "dsymbol"), "dsymbol"));
               return ValueList{};
             },
             2, 0});
  table.add({"wire3d",
             [](const ValueList& args, int) {
               std::string spec = args.size() > 2 ? spec_text(args[2], "color") : "b-";
               wire3d(arg(args, 0, "wire3d", "x"), arg(args, 1, "wire3d", "wirelist"), spec);
               return ValueList{};
             },
             3, 0});
  table.add({"disvec3d",
             [](const ValueList& args, int) {
               disvec3d(arg(args, 0, "disvec3d", "ref"), arg(args, 1, "disvec3d", "target"),
                        spec_text(arg(args, 2, "disvec3d", "linespec"), "linespec"));
               return ValueList{};
             },
             3, 0});
  table.add({"incrementlinethickness",
             styling(incrementlinethickness, "incrementlinethickness", "step"), 2, 0});
  table.add(
      {"incrementsymbolsize", styling(incrementsymbolsize, "incrementsymbolsize", "step"), 2, 0});
  table.add({"setlinethickness", styling(setlinethickness, "setlinethickness", "width"), 2, 0});
  table.add({"setsymbolfill", styling(setsymbolfill, "setsymbolfill", "flag"), 2, 0});
}

}  // namespace velmora::plot
