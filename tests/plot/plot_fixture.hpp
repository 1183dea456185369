#pragma once

#include <gtest/gtest.h>

#include <Eigen/Core>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/graphics/graphics.hpp"
#include "platform/runtime/function_table.hpp"
#include "platform/value/value.hpp"
#include "shape/types.hpp"

namespace velmora::plot {

/// A fresh headless graphics run-time with one figure and its axes current.
class PlotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g = &gfx::install_graphics(std::make_unique<gfx::HeadlessBackend>());
    fig = g->new_figure();
    ax = g->current_axes();
  }

  /// The axes' children, oldest first (the graphics layer lists them newest
  /// first).
  std::vector<gfx::Handle> lines() const {
    Value kids = g->get(ax, "Children");
    std::vector<gfx::Handle> out;
    for (std::size_t i = kids.numel(); i-- > 0;) out.push_back(kids(i));
    return out;
  }
  /// The three coordinates of point `j` of line `h`.
  Eigen::RowVector3d point(gfx::Handle h, std::size_t j) const {
    return {g->get(h, "XData")(j), g->get(h, "YData")(j), g->get(h, "ZData")(j)};
  }
  std::size_t points(gfx::Handle h) const { return g->get(h, "XData").numel(); }

  gfx::Graphics* g = nullptr;
  gfx::Handle fig = -1;
  gfx::Handle ax = -1;
};

/// A k×3×n stack of random coordinates.
inline Value random_stack(std::size_t k, std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> normal;
  std::vector<double> v(k * 3 * n);
  for (double& x : v) x = normal(rng);
  return Value::array(k, 3, n, v);
}

/// The same value as the drawing functions take it: every slice, the first
/// slice, a matrix.
inline shape::Stack stack(const Value& x) {
  std::vector<double> data = x.data();
  return shape::Stack(static_cast<Eigen::Index>(x.rows()), static_cast<Eigen::Index>(x.pages()),
                      std::move(data));
}
inline shape::Config config(const Value& x) {
  return Eigen::Map<const shape::Config>(x.data().data(), static_cast<Eigen::Index>(x.rows()), 3);
}

/// A k×3 configuration of random coordinates.
inline Eigen::MatrixXd random_config(Eigen::Index k, unsigned seed) {
  return random_stack(static_cast<std::size_t>(k), 1, seed).to_matrix();
}

/// The message of the exception of type E that `fn` throws ("" if none).
template <typename E>
std::string message_of(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const E& e) {
    return e.what();
  }
  return "";
}

/// The colour of a line's colour letter.
inline Value rgb(char letter) {
  switch (letter) {
    case 'b':
      return Value::row({0, 0, 1});
    case 'g':
      return Value::row({0, 1, 0});
    case 'r':
      return Value::row({1, 0, 0});
    default:
      return Value::row({0, 0, 0});
  }
}

}  // namespace velmora::plot
