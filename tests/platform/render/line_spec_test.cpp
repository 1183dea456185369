#include "platform/render/line_spec.hpp"

#include <gtest/gtest.h>

#include <string>

#include "platform/runtime/runtime_error.hpp"

namespace velmora::render {
namespace {

struct SpecCase {
  const char* spec;
  std::optional<char> color;
  Marker marker;
  LineStyle style;
};

TEST(LineSpec, EveryStringTheProgramPasses) {
  const SpecCase cases[] = {
      {"gp", 'g', Marker::Star5, LineStyle::None},
      {"bo", 'b', Marker::Circle, LineStyle::None},
      {"ko", 'k', Marker::Circle, LineStyle::None},
      {"ks", 'k', Marker::Square, LineStyle::None},
      {"kd", 'k', Marker::Diamond, LineStyle::None},
      {"k+", 'k', Marker::Plus, LineStyle::None},
      {"ro", 'r', Marker::Circle, LineStyle::None},
      {"k-", 'k', Marker::None, LineStyle::Solid},
      {"b-", 'b', Marker::None, LineStyle::Solid},
      {"r-", 'r', Marker::None, LineStyle::Solid},
      {"k-.", 'k', Marker::None, LineStyle::DashDot},
      {"k:", 'k', Marker::None, LineStyle::Dotted},
      {"r", 'r', Marker::None, LineStyle::Solid},
      {"k", 'k', Marker::None, LineStyle::Solid},
      {"", std::nullopt, Marker::None, LineStyle::Solid},
      {"--", std::nullopt, Marker::None, LineStyle::Dashed},
      {"o-", std::nullopt, Marker::Circle, LineStyle::Solid},
      {"-.xm", 'm', Marker::Cross, LineStyle::DashDot},
      {"h", std::nullopt, Marker::Hexagram, LineStyle::None},
  };
  for (const SpecCase& c : cases) {
    SCOPED_TRACE(c.spec);
    LineSpec s = parse_line_spec(c.spec);
    EXPECT_EQ(s.marker, c.marker);
    EXPECT_EQ(s.style, c.style);
    ASSERT_EQ(s.color.has_value(), c.color.has_value());
    if (c.color) {
      Rgb want = color_from_letter(*c.color);
      EXPECT_EQ(s.color->r, want.r);
      EXPECT_EQ(s.color->g, want.g);
      EXPECT_EQ(s.color->b, want.b);
    }
  }
}

TEST(LineSpec, EveryMarkerAndColourLetter) {
  const std::pair<char, Marker> markers[] = {
      {'o', Marker::Circle},       {'p', Marker::Star5},    {'s', Marker::Square},
      {'d', Marker::Diamond},      {'+', Marker::Plus},     {'.', Marker::Point},
      {'x', Marker::Cross},        {'*', Marker::Asterisk}, {'^', Marker::TriangleUp},
      {'v', Marker::TriangleDown}, {'h', Marker::Hexagram}};
  for (auto [letter, marker] : markers) {
    EXPECT_EQ(parse_line_spec(std::string(1, letter)).marker, marker) << letter;
    EXPECT_EQ(parse_line_spec(std::string(1, letter)).style, LineStyle::None) << letter;
  }
  const std::pair<char, Rgb> colours[] = {{'b', {0, 0, 1}}, {'g', {0, 1, 0}}, {'r', {1, 0, 0}},
                                          {'c', {0, 1, 1}}, {'m', {1, 0, 1}}, {'y', {1, 1, 0}},
                                          {'k', {0, 0, 0}}, {'w', {1, 1, 1}}};
  for (auto [letter, rgb] : colours) {
    Rgb got = color_from_letter(letter);
    EXPECT_TRUE(got.r == rgb.r && got.g == rgb.g && got.b == rgb.b) << letter;
  }
}

TEST(LineSpec, BadSpecificationsAreRefusedNamingTheString) {
  for (const char* bad : {"kq", "kk", "oo", "--:", "k-o-", "z", "ko "}) {
    try {
      parse_line_spec(bad);
      ADD_FAILURE() << "accepted " << bad;
    } catch (const RuntimeError& e) {
      EXPECT_EQ(std::string(e.what()), "Bad line specification \"" + std::string(bad) + "\".");
    }
  }
  EXPECT_THROW(color_from_letter('q'), RuntimeError);
}

TEST(LineSpec, PropertyNamesRoundTrip) {
  const Marker all[] = {Marker::None,       Marker::Circle,       Marker::Star5,
                        Marker::Square,     Marker::Diamond,      Marker::Plus,
                        Marker::Point,      Marker::Cross,        Marker::Asterisk,
                        Marker::TriangleUp, Marker::TriangleDown, Marker::Hexagram};
  const char* names[] = {"none", "o", "pentagram", "square", "diamond", "+",
                         ".",    "x", "*",         "^",      "v",       "hexagram"};
  for (std::size_t i = 0; i < std::size(all); ++i) {
    EXPECT_EQ(marker_name(all[i]), names[i]);
    EXPECT_EQ(parse_marker_name(names[i]), all[i]);
  }
  EXPECT_EQ(parse_marker_name("p"), Marker::Star5);
  EXPECT_EQ(parse_marker_name("s"), Marker::Square);
  EXPECT_EQ(parse_marker_name("d"), Marker::Diamond);
  EXPECT_EQ(parse_marker_name("h"), Marker::Hexagram);

  const LineStyle styles[] = {LineStyle::Solid, LineStyle::Dashed, LineStyle::Dotted,
                              LineStyle::DashDot, LineStyle::None};
  const char* style_names[] = {"-", "--", ":", "-.", "none"};
  for (std::size_t i = 0; i < std::size(styles); ++i) {
    EXPECT_EQ(line_style_name(styles[i]), style_names[i]);
    EXPECT_EQ(parse_line_style_name(style_names[i]), styles[i]);
  }
  try {
    parse_marker_name("q");
    ADD_FAILURE();
  } catch (const RuntimeError& e) {
    EXPECT_NE(std::string(e.what()).find("\"q\""), std::string::npos);
  }
  try {
    parse_line_style_name("wavy");
    ADD_FAILURE();
  } catch (const RuntimeError& e) {
    EXPECT_NE(std::string(e.what()).find("\"wavy\""), std::string::npos);
  }
}

}  // namespace
}  // namespace velmora::render
