#include "platform/graphics/property_schema.hpp"

#include <cmath>
#include <set>
#include <string>

#include "platform/graphics/units.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::gfx {

namespace {

Value rgb(double r, double g, double b) {
  return Value::row({r, g, b});
}

// Properties whose values are on/off words, read back in lower case.
const std::set<std::string>& switch_props() {
  static const std::set<std::string> s = {"visible",
                                          "enable",
                                          "checked",
                                          "xgrid",
                                          "ygrid",
                                          "zgrid",
                                          "box",
                                          "handlevisibility",
                                          "nextplot",
                                          "clipping",
                                          "separator",
                                          "resize",
                                          "numbertitle",
                                          "integerhandle",
                                          "xlimmode",
                                          "ylimmode",
                                          "zlimmode",
                                          "dataaspectratiomode",
                                          "menubar",
                                          "toolbar",
                                          "windowstyle",
                                          "units",
                                          "style",
                                          "interpreter",
                                          "horizontalalignment",
                                          "verticalalignment",
                                          "fontweight",
                                          "fontangle",
                                          "pointer",
                                          "showhiddenhandles",
                                          "activepositionproperty",
                                          "linestyle",
                                          "paperpositionmode"};
  return s;
}

// Properties that are never set by the user.
const std::set<std::string>& read_only_props() {
  static const std::set<std::string> s = {"type", "children", "extent", "callbackobject"};
  return s;
}

bool is_positive_number(const Value& v) {
  return v.is_double() && v.numel() == 1 && std::isfinite(v(0)) && v(0) > 0;
}

}  // namespace

PropList defaults_for(Type t, const Backend& backend) {
  auto screen = backend.screen_size_px();
  switch (t) {
    case Type::Root:
      return {{"Tag", ""},
              {"Units", "pixels"},
              {"CurrentFigure", Value()},
              {"ShowHiddenHandles", "off"},
              {"defaultUicontrolBackgroundColor", rgb(0.94, 0.94, 0.94)},
              {"FactoryUicontrolFontName", "DejaVu Sans"},
              {"HandleVisibility", "on"},
              {"Visible", "on"},
              {"UserData", Value()}};
    case Type::Figure:
      return {{"Tag", ""},
              {"Units", "pixels"},
              {"Name", ""},
              {"NumberTitle", "on"},
              {"Visible", "on"},
              {"Color", rgb(0.94, 0.94, 0.94)},
              {"MenuBar", "figure"},
              {"ToolBar", "auto"},
              {"WindowStyle", "normal"},
              {"HandleVisibility", "on"},
              {"KeyPressFcn", Value()},
              {"CloseRequestFcn", Value()},
              {"SizeChangedFcn", Value()},
              {"CurrentCharacter", Value()},
              {"CurrentAxes", Value()},
              {"Pointer", "arrow"},
              {"Resize", "on"},
              {"IntegerHandle", "on"},
              {"Colormap", Value()},
              {"FileName", ""},
              {"PaperPositionMode", "auto"},
              {"ActivePositionProperty", "outerposition"},
              {"UserData", Value()},
              {"Position", Value::row({std::floor((screen[0] - 640) / 2),
                                       std::floor((screen[1] - 560) / 2), 640, 560})}};
    case Type::Axes:
      return {{"Tag", ""},
              {"Units", "normalized"},
              {"Position", Value::row({0.13, 0.11, 0.775, 0.815})},
              {"Visible", "on"},
              {"HandleVisibility", "on"},
              {"NextPlot", "replace"},
              {"XLim", Value::row({0, 1})},
              {"YLim", Value::row({0, 1})},
              {"ZLim", Value::row({0, 1})},
              {"XLimMode", "auto"},
              {"YLimMode", "auto"},
              {"ZLimMode", "auto"},
              {"DataAspectRatio", Value::row({1, 1, 1})},
              {"DataAspectRatioMode", "auto"},
              {"View", Value::row({0, 90})},
              {"XGrid", "off"},
              {"YGrid", "off"},
              {"ZGrid", "off"},
              {"Box", "off"},
              {"Color", rgb(1, 1, 1)},
              {"FontAngle", "normal"},
              {"FontName", "DejaVu Sans"},
              {"FontSize", 10.0},
              {"FontWeight", "normal"},
              {"ButtonDownFcn", Value()},
              {"Clipping", "on"},
              {"UserData", Value()}};
    case Type::Line:
      return {{"Tag", ""},
              {"XData", Value()},
              {"YData", Value()},
              {"ZData", Value()},
              {"Color", rgb(0, 0.447, 0.741)},
              {"LineStyle", "-"},
              {"LineWidth", 0.5},
              {"Marker", "none"},
              {"MarkerSize", 6.0},
              {"MarkerFaceColor", "none"},
              {"MarkerEdgeColor", "auto"},
              {"DisplayName", ""},
              {"Visible", "on"},
              {"HandleVisibility", "on"},
              {"Clipping", "on"},
              {"ButtonDownFcn", Value()},
              {"UserData", Value()}};
    case Type::Text:
      return {{"Tag", ""},
              {"String", ""},
              {"Position", Value::row({0, 0, 0})},
              {"Units", "data"},
              {"Color", rgb(0, 0, 0)},
              {"FontAngle", "normal"},
              {"FontName", "DejaVu Sans"},
              {"FontSize", 10.0},
              {"FontWeight", "normal"},
              {"HorizontalAlignment", "left"},
              {"VerticalAlignment", "middle"},
              {"Interpreter", "tex"},
              {"Margin", 0.0},
              {"Visible", "on"},
              {"HandleVisibility", "on"},
              {"Clipping", "off"},
              {"UserData", Value()}};
    case Type::Image:
      return {{"Tag", ""},
              {"CData", Value()},
              {"XData", Value::row({1, 1})},
              {"YData", Value::row({1, 1})},
              {"Visible", "on"},
              {"HandleVisibility", "on"},
              {"UserData", Value()}};
    case Type::UiControl:
      return {{"Tag", ""},
              {"Style", "pushbutton"},
              {"String", ""},
              {"Value", 0.0},
              {"Min", 0.0},
              {"Max", 1.0},
              {"Enable", "on"},
              {"Units", "pixels"},
              {"Position", Value::row({20, 20, 60, 20})},
              {"Callback", Value()},
              // A slider's: once a move ends (let go, or a step by key or
              // click), after Callback, which runs at every position.
              {"ValueChangedFcn", Value()},
              {"BackgroundColor", rgb(0.94, 0.94, 0.94)},
              {"ForegroundColor", rgb(0, 0, 0)},
              {"FontName", "DejaVu Sans"},
              {"FontSize", 9.0},
              {"FontWeight", "normal"},
              {"FontAngle", "normal"},
              {"HorizontalAlignment", "center"},
              {"TooltipString", ""},
              {"Visible", "on"},
              {"HandleVisibility", "on"},
              {"KeyPressFcn", Value()},
              {"UserData", Value()}};
    case Type::UiMenu:
      return {{"Tag", ""},           {"Label", ""},        {"Callback", Value()},
              {"Checked", "off"},    {"Enable", "on"},     {"Separator", "off"},
              {"Accelerator", ""},   {"Visible", "on"},    {"HandleVisibility", "on"},
              {"TooltipString", ""}, {"UserData", Value()}};
  }
  return {};
}

bool is_keyword_property(std::string_view lname) {
  return switch_props().count(std::string(lname)) != 0;
}

bool is_read_only_property(std::string_view lname) {
  return read_only_props().count(std::string(lname)) != 0;
}

bool is_rect_property(Type t, std::string_view lname) {
  switch (t) {
    case Type::Root:
      return lname == "screensize";
    case Type::Figure:
      return lname == "position" || lname == "outerposition";
    case Type::Axes:
    case Type::UiControl:
      return lname == "position";
    default:
      return false;
  }
}

Value checked_value(Type t, std::string_view lname, Value v) {
  if (v.is_char() && is_keyword_property(lname)) v = Value(lower(v.to_string()));
  if (lname == "linewidth" || lname == "markersize" || lname == "fontsize") {
    if (!is_positive_number(v)) {
      std::string got = v.is_double() && v.numel() == 1 ? format_number(v(0)) : "a non-number";
      throw RuntimeError("Bad value for the \"" +
                         std::string(lname == "linewidth"    ? "LineWidth"
                                     : lname == "markersize" ? "MarkerSize"
                                                             : "FontSize") +
                         "\" property: it must be a number greater than 0, not " + got + ".");
    }
  }
  if (lname == "units" && t != Type::Text) {
    // Changing units keeps the object where it is; only the name is checked.
    std::string u = v.to_string();
    if (u != "normalized") pixels_per_unit(u, false, 96);
  }
  if (lname == "handlevisibility") {
    std::string s = v.text_or_empty();
    if (s != "on" && s != "off" && s != "callback")
      throw RuntimeError("HandleVisibility must be \"on\", \"off\" or \"callback\".");
  }
  if ((lname == "xlim" || lname == "ylim" || lname == "zlim") && t == Type::Axes) {
    if (!v.is_double() || v.numel() != 2 || !(v(0) < v(1)))
      throw RuntimeError("Axis limits must be two increasing numbers.");
  }
  return v;
}

}  // namespace velmora::gfx
