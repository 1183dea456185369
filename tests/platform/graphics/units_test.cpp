#include "platform/graphics/units.hpp"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

#include "platform/graphics/graphics.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::gfx {
namespace {

// Each unit's size in inches (width, height), from its definition rather
// than from the code under test: 72 points or 2.54 cm to the inch, a
// character cell 5/96 inch wide and 13/96 inch high.
struct UnitSize {
  const char* name;
  double width_in, height_in;
};
constexpr std::array<UnitSize, 4> kInchUnits = {{{"points", 1.0 / 72, 1.0 / 72},
                                                 {"inches", 1, 1},
                                                 {"centimeters", 1 / 2.54, 1 / 2.54},
                                                 {"characters", 5.0 / 96, 13.0 / 96}}};

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

TEST(Units, LengthsFollowTheirDefinitionsOnAnyScreen) {
  for (double ppi : {72.0, 96.0, 120.0, 144.0}) {
    EXPECT_EQ(pixels_per_unit("pixels", false, ppi), 1);
    EXPECT_EQ(pixels_per_unit("Pixels", true, ppi), 1);
    for (const UnitSize& u : kInchUnits) {
      EXPECT_NEAR(pixels_per_unit(u.name, false, ppi), u.width_in * ppi, 1e-12) << u.name;
      EXPECT_NEAR(pixels_per_unit(upper(u.name), true, ppi), u.height_in * ppi, 1e-12) << u.name;
    }
  }
  for (const char* bad : {"furlongs", "normalized", ""}) {
    try {
      pixels_per_unit(bad, false, 96);
      FAIL() << bad;
    } catch (const RuntimeError& e) {
      EXPECT_EQ(std::string(e.what()), "Unknown units \"" + std::string(bad) + "\".");
    }
  }
}

// A denser screen than the usual 96 pixels per inch, so that a unit mix-up
// between screen and print sizes shows.
class DenseScreen : public HeadlessBackend {
 public:
  double pixels_per_inch() const override { return 120; }
};

TEST(Units, PositionsReadInEveryUnitAndChangingUnitsKeepsObjectsInPlace) {
  Graphics& g = install_graphics(std::make_unique<DenseScreen>());
  Handle f = g.new_figure({{"Position", Value::row({100, 80, 800, 600})}});
  Handle ax =
      g.create(Type::Axes, f, {{"Units", "pixels"}, {"Position", Value::row({40, 30, 500, 400})}});
  Handle b = g.create(Type::UiControl, f, {{"Position", Value::row({12, 8, 90, 24})}});
  for (Handle h : {f, ax, b}) {
    g.set(h, "Units", "pixels");
    const Value px = g.get(h, "Position");
    const std::array<double, 2> parent =
        h == f ? std::array<double, 2>{1920, 1080} : std::array<double, 2>{800, 600};

    g.set(h, "Units", "Normalized");
    Value n = g.get(h, "Position");
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(n(i), px(i) / parent[i % 2], 1e-12);
    for (const UnitSize& u : kInchUnits) {
      g.set(h, "Units", u.name);
      Value p = g.get(h, "Position");
      for (int i = 0; i < 4; ++i) {
        double in = i % 2 ? u.height_in : u.width_in;
        EXPECT_NEAR(p(i), px(i) / (in * 120), 1e-9) << u.name << " " << i;
      }
      // Setting back what was read changes nothing.
      g.set(h, "Position", p);
    }
    g.set(h, "Units", "pixels");
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(g.get(h, "Position")(i), px(i), 1e-9);

    // A refused unit leaves the object as it was.
    const Value now = g.get(h, "Position");
    EXPECT_THROW(g.set(h, "Units", "furlongs"), RuntimeError);
    EXPECT_EQ(g.get_text(h, "Units"), "pixels");
    EXPECT_EQ(g.get(h, "Position"), now);
  }
}

}  // namespace
}  // namespace velmora::gfx
