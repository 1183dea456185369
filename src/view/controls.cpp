#include "view/controls.hpp"

#include "platform/graphics/graphics.hpp"
#include "view/document.hpp"

namespace velmora::app {

using gfx::graphics;
using gfx::Handle;

namespace {

// The tooltip a button has as laid out, kept before the first change.
constexpr const char* kLaidOutTip = "VelmoraLaidOutTip";

// The action a control runs: {"velmorasw", ACTION, ...} as its callback
// ("" for none).
std::string action_of(Handle h) {
  const Value cb = graphics().get(h, "Callback");
  if (!cb.is_cell() || cb.numel() < 2 || cb.at(0).text_or_empty() != "velmorasw") return {};
  return cb.at(1).text_or_empty();
}

std::string laid_out_tip(Handle h) {
  auto& g = graphics();
  if (!g.has_appdata(h, kLaidOutTip)) g.set_appdata(h, kLaidOutTip, g.get(h, "TooltipString"));
  return g.appdata(h, kLaidOutTip).text_or_empty();
}

void set_state(Handle h, const std::string& why, const std::string& tip) {
  auto& g = graphics();
  g.set(h, "Enable", why.empty() ? "on" : "off");
  g.set(h, "TooltipString", why.empty() ? tip : why + "\n" + tip);
}

// The Rotate buttons turn the reference only while no scores were computed
// on it; their tooltips say so.
void sync_rotation(Document& doc, Handle h, const std::string& why, char axis) {
  auto& g = graphics();
  const bool allowed = why.empty() && doc.window.rotation_allowed;
  const std::string turn =
      std::string("Turn the reference and the sample 90° about the ") + axis + " axis.";
  g.set(h, "Enable", allowed ? "on" : "off");
  g.set(h, "TooltipString",
        !why.empty() ? why + "\n" + turn
        : allowed    ? turn
                     : std::string("Off once X is loaded: the scores paired with X belong to the "
                                      "reference as it is. Load the landmarks again to turn it."));
}

// The start hint in the middle of the empty plot, while no sample is loaded.
void sync_hint(Document& doc, Handle main) {
  auto& g = graphics();
  Handle plot = -1;
  for (Handle h : g.find_by_tag("axes1"))
    if (g.valid(h) && g.figure_of(h) == main) plot = h;
  if (plot < 0) return;
  const bool want = !doc.session.has_sample();
  bool have = false;
  for (Handle h : g.children(plot)) {
    if (g.type(h) != gfx::Type::Text || g.get_text(h, "String") != kStartHint) continue;
    if (want && !have)
      have = true;
    else
      g.destroy(h);
  }
  if (!want || have) return;
  // In the middle of the limits the plot shows (0 to 1 when empty, or those
  // an earlier plot fixed).
  const Value x = g.get(plot, "XLim"), y = g.get(plot, "YLim");
  g.create(gfx::Type::Text, plot,
           {{"String", kStartHint},
            {"Position", Value::row({(x(0) + x(1)) / 2, (y(0) + y(1)) / 2, 0})},
            {"HorizontalAlignment", "center"},
            {"VerticalAlignment", "middle"},
            {"FontSize", 12.0},
            {"Color", Value::row({0.35, 0.35, 0.35})}});
}

}  // namespace

void sync_controls(Document& doc, const WhyNot& why_not) {
  auto& g = graphics();
  const std::optional<Handle> main = [&]() -> std::optional<Handle> {
    for (Handle h : g.find_by_tag("VelmoraMain"))
      if (g.valid(h) && g.type(h) == gfx::Type::Figure) return h;
    return std::nullopt;
  }();
  if (!main) return;
  for (Handle h : g.children(*main)) {
    if (g.type(h) != gfx::Type::UiControl) continue;
    const std::string action = action_of(h);
    if (action.empty()) continue;
    const std::optional<std::string> why_or_none = why_not(action);
    if (!why_or_none) continue;
    const std::string& why = *why_or_none;
    const std::string tag = g.get_text(h, "Tag");
    if (tag == "RotX" || tag == "RotZ")
      sync_rotation(doc, h, why, tag == "RotX" ? 'x' : 'z');
    else
      set_state(h, why, laid_out_tip(h));
  }
  sync_hint(doc, *main);
}

}  // namespace velmora::app
