// The main window's input controls: edit boxes, the display-type pop-up and
// the check box whose values the actions read from the model.
#include "app/inputs.hpp"

#include <charconv>
#include <climits>
#include <cmath>
#include <exception>
#include <optional>

#include "app/script_text.hpp"
#include "core/errors.hpp"
#include "platform/graphics/graphics.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "shape/principal_components.hpp"
#include "shape/tangent_coordinates.hpp"

namespace velmora::app {

using gfx::graphics;
using gfx::Handle;

namespace {

/// The largest number of permutations a run may ask for.
constexpr long long kMostPermutations = 10'000'000;
/// Seeds up to 2^53 are typed and shown exactly.
constexpr long long kLargestSeed = 9'007'199'254'740'992LL;
/// The largest exaggeration factor, either sign.
constexpr double kLargestExaggeration = 1e6;

ActionReport& input_report() {
  static ActionReport r;
  return r;
}

std::optional<double> typed_number(std::string_view text) {
  return number_from_text(text, true);
}

double number_or_refuse(std::string_view text, std::string_view what, std::string_view example) {
  const auto v = typed_number(text);
  if (!v) {
    refuse("The " + std::string(what) + " \"" + std::string(text) +
           "\" is not a number. Type a number such as " + std::string(example) + ".");
  }
  return *v;
}

long long whole_or_refuse(std::string_view text, std::string_view what, long long lo,
                          long long hi) {
  const auto v = typed_number(text);
  if (!v || *v != std::floor(*v) || *v < static_cast<double>(lo) || *v > static_cast<double>(hi))
    refuse(not_whole_number_text(what, text, lo, hi));
  return static_cast<long long>(*v);
}

// How many principal components the loaded sample has (the most PCBox may
// name); without a sample, or when it has none to analyse, any count.
long long component_limit() {
  const AppState& s = state();
  if (!s.sample) return INT_MAX;
  try {
    const auto pca = shape::principal_components(
        shape::tangent_coordinates(s.sample->reference, s.sample->fitted));
    return std::max<long long>(1, static_cast<long long>(pca.variances.size()));
  } catch (const NumericError&) {
    // ShowPCA says why the sample cannot be analysed.
    return INT_MAX;
  }
}

/// Checks a control's value and stores it in the model.
void take(std::string_view tag, const Value& held) {
  Inputs& in = state().inputs;
  const std::string text = held.text_or_empty();
  if (tag == "ExagerationBox") {
    const double factor = number_or_refuse(text, "exaggeration factor", "3");
    // Beyond this the drawn shape change is far outside any window, and its
    // coordinates may overflow.
    if (std::fabs(factor) > kLargestExaggeration) {
      refuse("The exaggeration factor \"" + text +
             "\" is too large: type a number from -1000000 to 1000000 (1e6).");
    }
    in.exaggeration = factor;
  } else if (tag == "DeFormat") {
    const double v = held.is_double() && held.numel() == 1 ? held(0) : 0;
    const auto count = deformation_codes().size();
    if (!(v >= 1 && v <= static_cast<double>(count) && v == std::floor(v)))
      refuse(not_whole_number_text("display type", format_number_exact(v), 1,
                                   static_cast<long long>(count)));
    in.display_type = static_cast<std::size_t>(v);
  } else if (tag == "CSBox") {
    in.report_cs = held.is_double() && held.numel() == 1 && held(0) == 1;
  } else if (tag == "PermBox") {
    in.permutations = whole_or_refuse(text, "number of permutations", 1, kMostPermutations);
  } else if (tag == "SeedBox") {
    in.seed = whole_or_refuse(text, "seed", 0, kLargestSeed);
  } else if (tag == "PCBox") {
    in.component = whole_or_refuse(text, "principal component", 1, component_limit());
  } else if (tag == "PCFactorBox") {
    in.component_factor = number_or_refuse(text, "factor", "2");
  }
}

// The main window's control tagged `tag` (none when the window is closed).
std::optional<Handle> main_control(std::string_view tag) {
  const auto found = graphics().find_by_tag(tag);
  if (found.empty()) return std::nullopt;
  return found.front();
}

}  // namespace

const std::vector<InputControl>& input_controls() {
  static const std::vector<InputControl> controls = {
      {"DeFormat", InputKind::Popup},   {"ExagerationBox", InputKind::Edit},
      {"CSBox", InputKind::Check},      {"PermBox", InputKind::Edit},
      {"SeedBox", InputKind::Edit},     {"PCBox", InputKind::Edit},
      {"PCFactorBox", InputKind::Edit},
  };
  return controls;
}

const InputControl* find_input(std::string_view tag) {
  for (const InputControl& c : input_controls())
    if (c.tag == tag) return &c;
  return nullptr;
}

std::vector<std::string_view> inputs_read_by(std::string_view action) {
  if (action == "ShowRegression") return {"DeFormat", "ExagerationBox"};
  if (action == "GetWilks") return {"CSBox"};
  if (action == "PermutationTest") return {"PermBox", "SeedBox"};
  if (action == "ShowPCA") return {"DeFormat", "PCBox", "PCFactorBox"};
  return {};
}

std::string exact_number(double x) {
  char buf[32];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x);
  return ec == std::errc() ? std::string(buf, end) : format_number_exact(x);
}

std::string not_whole_number_text(std::string_view what, std::string_view text, long long lo,
                                  long long hi) {
  return "The " + std::string(what) + " \"" + std::string(text) + "\" is not a whole number from " +
         std::to_string(lo) + " to " + std::to_string(hi) + ".";
}

std::string display_code(const Inputs& in) {
  const auto& codes = deformation_codes();
  return in.display_type >= 1 && in.display_type <= codes.size() ? codes[in.display_type - 1] : "";
}

std::string input_script_value(std::string_view tag, const Inputs& in) {
  if (tag == "ExagerationBox") return exact_number(in.exaggeration);
  if (tag == "DeFormat") return std::to_string(in.display_type);
  if (tag == "CSBox") return in.report_cs ? "1" : "0";
  if (tag == "PermBox") return std::to_string(in.permutations);
  if (tag == "SeedBox") return std::to_string(in.seed);
  if (tag == "PCBox") return std::to_string(in.component);
  if (tag == "PCFactorBox") return exact_number(in.component_factor);
  return {};
}

void show_input(std::string_view tag) {
  const InputControl* c = find_input(tag);
  const auto h = main_control(tag);
  if (!c || !h) return;
  const std::string value = input_script_value(tag, state().inputs);
  if (c->kind == InputKind::Edit) {
    graphics().set(*h, "String", value);
  } else {
    graphics().set(*h, "Value", std::stod(value));
  }
}

ActionReport take_input(Handle control) {
  auto& g = graphics();
  ActionReport& r = input_report();
  r = ActionReport{};
  const std::string tag = g.valid(control) ? g.get_text(control, "Tag") : std::string();
  r.action = "set " + tag;
  const InputControl* c = find_input(tag);
  if (!c) return r;
  try {
    take(tag, g.get(control, c->kind == InputKind::Edit ? "String" : "Value"));
  } catch (const DataRefusal& e) {
    r.outcome = Outcome::Refused;
    r.message = e.what();
    show_input(tag);
    g.backend().message_box(e.what(), e.title());
  } catch (const std::exception& e) {
    r.outcome = Outcome::Failed;
    r.message = e.what();
    show_input(tag);
    console().error("Error in the " + tag + " control: " + e.what());
  }
  return r;
}

const ActionReport& last_input_report() {
  return input_report();
}

void clear_input_report() {
  input_report() = ActionReport{};
}

void connect_inputs(Handle main) {
  auto& g = graphics();
  for (Handle h : g.all_objects(main)) {
    if (!g.has_property(h, "Tag") || !find_input(g.get_text(h, "Tag"))) continue;
    g.set_native_callback(h, "Callback", [](Handle source) { take_input(source); });
  }
  for (const InputControl& c : input_controls()) show_input(c.tag);
}

}  // namespace velmora::app
