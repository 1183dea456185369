#include "plot/primitives.hpp"

#include <Eigen/Geometry>
#include <cmath>
#include <limits>
#include <span>
#include <string>

#include "core/errors.hpp"
#include "io/list_files.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::plot {

using gfx::graphics;
using gfx::Handle;

namespace {

const char* const kNotConfiguration =
    " must be a configuration of landmarks with three columns (x, y, z).";

void check_landmarks(Eigen::Index k, std::string_view what) {
  if (k == 0) throw RuntimeError(std::string(what) + kNotConfiguration);
}

}  // namespace

std::vector<Handle> showshape3D(const shape::Stack& x, std::string_view spec) {
  if (x.n() == 0) throw RuntimeError(std::string("The configuration") + kNotConfiguration);
  check_landmarks(x.k(), "The configuration");
  auto& g = graphics();
  const auto k = static_cast<std::size_t>(x.k());
  std::vector<double> xs(k), ys(k), zs(k);
  std::vector<Handle> drawn;
  auto draw = [&](Eigen::Index i) {
    const auto c = x.slice(i);
    for (std::size_t j = 0; j < k; ++j) {
      const auto r = static_cast<Eigen::Index>(j);
      xs[j] = c(r, 0);
      ys[j] = c(r, 1);
      zs[j] = c(r, 2);
    }
    drawn.push_back(g.plot(g.current_axes(), xs, ys, zs, spec, true));
  };
  draw(0);
  Handle ax = g.current_axes();
  g.hold(ax, true);
  g.axis(ax, "auto");
  g.axis(ax, "equal");
  for (Eigen::Index i = 1; i < x.n(); ++i) draw(i);
  return drawn;
}

std::vector<Handle> showshape3D(const shape::Config& x, std::string_view spec) {
  check_landmarks(x.rows(), "The configuration");
  return showshape3D(shape::Stack(x), spec);
}

std::vector<Handle> wire3d(const shape::Config& x, const Eigen::MatrixXd& wirelist,
                           std::string_view spec) {
  check_landmarks(x.rows(), "The configuration");
  if (wirelist.size() == 0) return {};
  try {
    io::check_wires(static_cast<std::size_t>(wirelist.rows()),
                    static_cast<std::size_t>(wirelist.cols()),
                    std::span<const double>(wirelist.data(), wirelist.size()),
                    static_cast<std::size_t>(x.rows()));
  } catch (const io::FileError& e) {
    throw DataRefusal(e.what());
  }
  const Eigen::Index w = wirelist.rows();
  // One line for all wires, each two points and a NaN that lifts the pen:
  // a wireframe of any size is one object, drawn as its separate wires.
  constexpr double kBreak = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> xs, ys, zs;
  for (auto* v : {&xs, &ys, &zs}) v->reserve(static_cast<std::size_t>(3 * w - 1));
  for (Eigen::Index i = 0; i < w; ++i) {
    if (i > 0) {
      xs.push_back(kBreak);
      ys.push_back(kBreak);
      zs.push_back(kBreak);
    }
    for (Eigen::Index c : {1, 2}) {
      const auto j = static_cast<Eigen::Index>(wirelist(i, c)) - 1;
      xs.push_back(x(j, 0));
      ys.push_back(x(j, 1));
      zs.push_back(x(j, 2));
    }
  }
  auto& g = graphics();
  return {g.plot(g.current_axes(), xs, ys, zs, spec, true)};
}

namespace {

void check_segments(const shape::Config& ref, const shape::Config& target) {
  check_landmarks(ref.rows(), "The reference");
  check_landmarks(target.rows(), "The target");
  if (target.rows() < ref.rows()) {
    throw RuntimeError("The target has " + std::to_string(target.rows()) +
                       " landmarks, fewer than the reference's " + std::to_string(ref.rows()) +
                       ".");
  }
}

}  // namespace

std::vector<Handle> disvec3d(const shape::Config& ref, const shape::Config& target,
                             std::string_view spec) {
  check_segments(ref, target);
  auto& g = graphics();
  Handle ax = g.current_axes();
  std::vector<Handle> drawn;
  for (Eigen::Index i = 0; i < ref.rows(); ++i) {
    drawn.push_back(g.plot(ax, {ref(i, 0), target(i, 0)}, {ref(i, 1), target(i, 1)},
                           {ref(i, 2), target(i, 2)}, spec, true));
  }
  return drawn;
}

Handle arrowheads3d(const shape::Config& ref, const shape::Config& target, std::string_view spec,
                    double max_length) {
  check_segments(ref, target);
  constexpr double kShare = 0.35;
  const double spread = std::tan(20.0 * 3.14159265358979323846 / 180);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> xs, ys, zs;
  auto put = [&](const Eigen::Vector3d& p) {
    xs.push_back(p.x()), ys.push_back(p.y()), zs.push_back(p.z());
  };
  for (Eigen::Index i = 0; i < ref.rows(); ++i) {
    const Eigen::Vector3d a = ref.row(i).transpose();
    const Eigen::Vector3d tip = target.row(i).transpose();
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

}  // namespace velmora::plot
