#pragma once

#include <memory>

#include "platform/graphics/graphics.hpp"

namespace velmora::gfx {

/// A fresh headless run-time holding a white 400×300 figure whose axes show
/// a 3-D line of green stars and a black line, and one push button.
struct SampleFigure {
  SampleFigure() : g(install_graphics(std::make_unique<HeadlessBackend>())) {
    fig = g.new_figure(
        {{"Position", Value::row({0, 0, 400, 300})}, {"Color", Value::row({1, 1, 1})}});
    ax = g.current_axes();
    g.plot(ax, {0, 1, 2}, {0, 1, 0}, {0, 0, 1}, "gp", true);
    g.hold(ax, true);
    g.plot(ax, {0, 2}, {0, 0}, {0, 1}, "k-", true);
    g.create(Type::UiControl, fig, {{"String", "OK"}});
  }
  Graphics& g;
  Handle fig = 0, ax = 0;
};

}  // namespace velmora::gfx
