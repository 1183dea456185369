#include "platform/graphics/scene.hpp"

#include <gtest/gtest.h>

#include "platform/graphics/graphics.hpp"
#include "platform/graphics/sample_figure.hpp"

namespace velmora::gfx {
namespace {

class SceneTest : public ::testing::Test, protected SampleFigure {};

TEST_F(SceneTest, SceneReflectsTheObjects) {
  render::FigureScene s = figure_scene(g, fig, true);
  ASSERT_EQ(s.axes.size(), 1u);
  EXPECT_EQ(s.controls.size(), 1u);
  EXPECT_EQ(figure_scene(g, fig, false).controls.size(), 0u);
  const render::AxesScene& a = s.axes[0].axes;
  ASSERT_EQ(a.lines.size(), 2u);
  EXPECT_EQ(a.lines[0].marker, render::Marker::Star5);
  EXPECT_EQ(a.lines[0].style, render::LineStyle::None);
  EXPECT_FALSE(a.lines[0].marker_face.has_value());
  EXPECT_EQ(a.lines[1].style, render::LineStyle::Solid);
  EXPECT_DOUBLE_EQ(a.azimuth_deg, -37.5);
  EXPECT_TRUE(a.three_d);
  g.set(g.get(ax, "Children")(1), "MarkerFaceColor", Value::row({0, 1, 0}));
  EXPECT_TRUE(figure_scene(g, fig, true).axes[0].axes.lines[0].marker_face.has_value());
  g.axis(ax, "off");
  EXPECT_FALSE(axes_scene(g, ax).axis_visible);
}

}  // namespace
}  // namespace velmora::gfx
