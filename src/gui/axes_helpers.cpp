#include "gui/axes_helpers.hpp"

#include "platform/runtime/runtime_error.hpp"

namespace velmora::gui {

using gfx::Handle;

namespace {

constexpr const char* kNotAxesText = "First argument must be an axes handle.";
constexpr const char* kUnknownOptionText = "Unknown command option.";

void refuse_options(std::string_view function, const ValueList& options) {
  if (options.empty()) return;
  const Value& first = options.front();
  std::string given =
      first.is_char() ? "\"" + first.to_string() + "\"" : "a value that is not text";
  throw RuntimeError(std::string(function) + " takes no options (the first one given is " + given +
                     ").");
}

}  // namespace

Handle axis_label(LabelAxis axis, const Value& label, const ValueList& pairs) {
  if (pairs.size() % 2 != 0) throw RuntimeError("Incorrect number of input arguments");
  gfx::Graphics& g = gfx::graphics();
  Handle ax = g.current_axes();
  const char* prop = axis == LabelAxis::X ? "XLabel" : axis == LabelAxis::Y ? "YLabel" : "ZLabel";
  Handle h = g.get(ax, prop)(0);
  for (const char* font : {"FontAngle", "FontName", "FontSize", "FontWeight"})
    g.set(h, font, g.get(ax, font));
  g.set(h, "String", label);
  for (std::size_t i = 0; i < pairs.size(); i += 2)
    g.set(h, pairs[i].to_string("property name"), pairs[i + 1]);
  return h;
}

void grid(Handle ax, std::optional<std::string_view> option) {
  gfx::Graphics& g = gfx::graphics();
  static constexpr const char* kGrids[] = {"XGrid", "YGrid", "ZGrid"};
  if (!option) {
    for (const char* p : kGrids) g.set(ax, p, g.get_text(ax, p) == "off" ? "on" : "off");
  } else if (*option == "on" || *option == "off") {
    for (const char* p : kGrids) g.set(ax, p, Value(*option));
  } else {
    throw RuntimeError(kUnknownOptionText);
  }
}

void grid(const ValueList& args) {
  gfx::Graphics& g = gfx::graphics();
  if (args.empty()) return grid(g.current_axes());
  const Value& first = args[0];
  std::optional<std::string> option;
  Handle ax = -1;
  if (first.is_char()) {
    if (args.size() > 1) throw RuntimeError(kNotAxesText);
    option = gfx::lower(first.to_string());
  } else if (first.empty()) {
    option = std::string();
  } else {
    if (first.numel() > 1) throw RuntimeError("Axes handle must be a scalar");
    if (!g.valid(first) || g.get_text(first(0), "Type") != "axes") throw RuntimeError(kNotAxesText);
    ax = first(0);
    if (args.size() > 1) option = gfx::lower(args[1].text_or_empty());
  }
  // Refused before the current axes are looked up (which may create them).
  if (option && *option != "on" && *option != "off") throw RuntimeError(kUnknownOptionText);
  if (ax < 0) ax = g.current_axes();
  grid(ax, option ? std::optional<std::string_view>(*option) : std::nullopt);
}

Handle cla(const ValueList& options) {
  refuse_options("cla", options);
  gfx::Graphics& g = gfx::graphics();
  Handle ax = g.current_axes();
  g.clear_axes(ax);
  return ax;
}

Handle clf(const ValueList& options) {
  refuse_options("clf", options);
  gfx::Graphics& g = gfx::graphics();
  Handle fig = g.current_figure();
  // Clearing notifies the backend, which repaints the window at once.
  g.clear_figure(fig);
  return fig;
}

}  // namespace velmora::gui
