#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/graphics.hpp"
#include "platform/qt/qt_backend.hpp"
#include "platform/runtime/function_table.hpp"

namespace velmora::qt::testing {

/// One call of the probe function "qtprobe": its arguments (texts of char
/// arguments, "#<number>" for numbers) and the current figure and callback
/// object while it ran.
struct ProbeCall {
  std::vector<std::string> args;
  gfx::Handle current_figure = -1;
  gfx::Handle callback_object = -1;
  std::string string_property;  // "String" of the callback object, if any
  double value_property = -1;   // "Value" of the callback object, if any
};

inline std::vector<ProbeCall>& probe_calls() {
  static std::vector<ProbeCall> calls;
  return calls;
}

/// Registers "qtprobe" (any inputs, no outputs) in the function table.
inline void register_probe() {
  function_table().add(
      {"qtprobe",
       [](const ValueList& args, int) {
         gfx::Graphics& g = gfx::graphics();
         ProbeCall c;
         for (const Value& a : args)
           c.args.push_back(a.is_char()                       ? a.to_string()
                            : a.is_double() && a.numel() == 1 ? "#" + format_number(a(0))
                                                              : std::string("?"));
         c.current_figure = g.current_figure_or_none();
         c.callback_object = g.callback_object();
         if (g.valid(c.callback_object) && g.type(c.callback_object) == gfx::Type::UiControl) {
           c.string_property = g.get_text(c.callback_object, "String");
           Value v = g.get(c.callback_object, "Value");
           if (v.is_double() && v.numel() == 1) c.value_property = v(0);
         }
         probe_calls().push_back(c);
         return ValueList{};
       },
       kAny, 0});
}

/// A callback value {"qtprobe", tag, "$gcbo"}.
inline Value probe_callback(const std::string& tag) {
  return Value::cell_row({Value("qtprobe"), Value(tag), Value("$gcbo")});
}

/// A fresh graphics run-time served by a QtBackend for every test.
class QtTest : public ::testing::Test {
 protected:
  QtTest() {
    auto backend = std::make_unique<QtBackend>();
    qt_ = backend.get();
    g_ = &gfx::install_graphics(std::move(backend));
    register_probe();
    probe_calls().clear();
  }
  ~QtTest() override {
    gfx::install_graphics(std::make_unique<gfx::HeadlessBackend>());
    QApplication::processEvents();
  }

  gfx::Graphics& g() { return *g_; }
  QtBackend& qt() { return *qt_; }

  /// A figure [left bottom width height] pixels.
  gfx::Handle figure(std::array<double, 4> pos = {100, 100, 400, 300}) {
    return g().new_figure({{"Position", Value::row({pos[0], pos[1], pos[2], pos[3]})}});
  }

  template <class W>
  W* widget(gfx::Handle h) {
    return dynamic_cast<W*>(qt().widget_of(h));
  }

 private:
  QtBackend* qt_;
  gfx::Graphics* g_;
};

}  // namespace velmora::qt::testing
