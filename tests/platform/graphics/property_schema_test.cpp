#include "platform/graphics/property_schema.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/graphics.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::gfx {
namespace {

constexpr Type kAllTypes[] = {Type::Root, Type::Figure, Type::Axes,      Type::Line,
                              Type::Text, Type::Image,  Type::UiControl, Type::UiMenu};

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

/// A fresh run-time holding one object of each type; returns its handle.
Handle object_of(Graphics& g, Type t) {
  switch (t) {
    case Type::Root:
      return kRoot;
    case Type::Figure:
    case Type::UiControl:
    case Type::UiMenu:
    case Type::Axes:
      return t == Type::Figure ? g.new_figure() : g.create(t, g.new_figure());
    default:
      return g.create(t, g.current_axes());
  }
}

TEST(PropertySchema, EveryDefaultPassesItsOwnChecks) {
  HeadlessBackend backend;
  for (Type t : kAllTypes) {
    for (const auto& [name, v] : defaults_for(t, backend)) {
      std::string ln = lower(name);
      SCOPED_TRACE(std::string(type_name(t)) + " " + name);
      EXPECT_FALSE(is_read_only_property(ln));
      if (is_rect_property(t, ln)) continue;  // checked by the unit conversion
      EXPECT_EQ(checked_value(t, ln, v), v);
      if (is_keyword_property(ln) && v.is_char()) {
        EXPECT_EQ(v.to_string(), lower(v.to_string()));
      }
    }
  }
}

TEST(PropertySchema, EveryPropertyTakesBackWhatItReadsAndKeywordsIgnoreCase) {
  for (Type t : kAllTypes) {
    Graphics& g = install_graphics(std::make_unique<HeadlessBackend>());
    Handle h = object_of(g, t);
    for (const auto& [name, unused] : defaults_for(t, g.backend())) {
      SCOPED_TRACE(std::string(type_name(t)) + " " + name);
      const Value before = g.get(h, name);
      g.set(h, name, before);
      const Value after = g.get(h, name);
      if (is_rect_property(t, lower(name))) {
        // Rectangles pass through pixels and back.
        ASSERT_EQ(after.numel(), before.numel());
        for (std::size_t i = 0; i < before.numel(); ++i) EXPECT_NEAR(after(i), before(i), 1e-12);
      } else {
        EXPECT_EQ(after, before);
      }
      if (is_keyword_property(lower(name)) && before.is_char()) {
        g.set(h, upper(name), upper(before.to_string()));
        EXPECT_EQ(g.get(h, name), before);
      }
    }
  }
}

TEST(PropertySchema, RefusalsSayWhatIsWrongAndChangeNothing) {
  struct Case {
    Type type;
    const char* name;
    Value value;
    const char* message;
  };
  const std::vector<Case> cases = {
      {Type::Line, "LineWidth", Value(-1.0),
       "Bad value for the \"LineWidth\" property: it must be a number greater than 0, not -1."},
      {Type::Line, "MarkerSize", Value::row({1, 2}),
       "Bad value for the \"MarkerSize\" property: it must be a number greater than 0, not a "
       "non-number."},
      {Type::Text, "FontSize", Value("big"),
       "Bad value for the \"FontSize\" property: it must be a number greater than 0, not a "
       "non-number."},
      {Type::Figure, "HandleVisibility", Value("Sometimes"),
       "HandleVisibility must be \"on\", \"off\" or \"callback\"."},
      {Type::Axes, "XLim", Value::row({2, 1}), "Axis limits must be two increasing numbers."},
      {Type::Axes, "ZLim", Value(3.0), "Axis limits must be two increasing numbers."},
      {Type::UiControl, "Units", Value("Furlongs"), "Unknown units \"furlongs\"."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THROW(checked_value(c.type, lower(c.name), c.value), RuntimeError);
    Graphics& g = install_graphics(std::make_unique<HeadlessBackend>());
    Handle h = object_of(g, c.type);
    std::vector<Value> before;
    for (const auto& [name, unused] : defaults_for(c.type, g.backend()))
      before.push_back(g.get(h, name));
    try {
      g.set(h, c.name, c.value);
      ADD_FAILURE() << "accepted";
    } catch (const RuntimeError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    std::size_t i = 0;
    for (const auto& [name, unused] : defaults_for(c.type, g.backend()))
      EXPECT_EQ(g.get(h, name), before[i++]) << name;
  }
}

}  // namespace
}  // namespace velmora::gfx
