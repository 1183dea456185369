// The main window's input controls: edit boxes, the display-type pop-up and
// the check box whose values the actions read from the model.
#include "app/inputs.hpp"

#include <climits>
#include <cmath>
#include <exception>
#include <optional>

#include "app/script_text.hpp"
#include "app/workspace.hpp"
#include "core/errors.hpp"
#include "core/number_text.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "view/places.hpp"

namespace velmora::app {

namespace {

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
long long component_limit(Workspace& ws) {
  // ShowPCA says why a sample without components cannot be analysed.
  const std::optional<long long> count = ws.session.component_count();
  return count ? std::max<long long>(1, *count) : INT_MAX;
}

std::string script_text(double v) {
  return shortest_number(v);
}
std::string script_text(long long v) {
  return std::to_string(v);
}
std::string script_text(std::size_t v) {
  return std::to_string(v);
}
std::string script_text(bool v) {
  return v ? "1" : "0";
}

// Stores `v`, checked, in the member of `in` that holds input `tag`.
void store(Inputs& in, std::string_view tag, double v) {
#define VELMORA_INPUT(type, member, tag_, what, example, lo, hi, start, read_by) \
  if (tag == tag_) in.member = static_cast<input_table::type>(v);
#include "view/input_controls.def"
#undef VELMORA_INPUT
}

// A bound as a refusal names it: "1000000 (1e6)", a power of ten with its
// exponent too.
std::string bound_text(double b) {
  const double power = std::log10(std::fabs(b));
  const std::string text = format_number(b);
  if (b == 0 || power != std::floor(power) || power < 3) return text;
  return text + " (" + (b < 0 ? "-" : "") + "1e" + format_number(power) + ")";
}

/// Checks a control's value and stores it in the model.
void take(Workspace& ws, const InputControl& c, const Value& held) {
  double v = 0;
  if (c.kind == InputKind::Popup) {
    v = held.is_double() && held.numel() == 1 ? held(0) : 0;
    if (!(v >= c.lo && v <= c.hi && v == std::floor(v)))
      refuse(not_whole_number_text(c.what, format_number_exact(v), static_cast<long long>(c.lo),
                                   static_cast<long long>(c.hi)));
  } else if (c.kind == InputKind::Check) {
    v = held.is_double() && held.numel() == 1 && held(0) == 1 ? 1 : 0;
  } else if (c.whole) {
    const long long hi = c.up_to_components ? component_limit(ws) : static_cast<long long>(c.hi);
    v = static_cast<double>(
        whole_or_refuse(held.text_or_empty(), c.what, static_cast<long long>(c.lo), hi));
  } else {
    const std::string text = held.text_or_empty();
    v = number_or_refuse(text, c.what, c.example);
    if (v < c.lo || v > c.hi) {
      refuse("The " + std::string(c.what) + " \"" + text + "\" is too large: type a number from " +
             format_number(c.lo) + " to " + bound_text(c.hi) + ".");
    }
  }
  store(ws.window.inputs, c.tag, v);
}

}  // namespace

const std::vector<InputControl>& input_controls() {
  static const std::vector<InputControl> controls(std::begin(input_table::kControls),
                                                  std::end(input_table::kControls));
  return controls;
}

const InputControl* find_input(std::string_view tag) {
  for (const InputControl& c : input_controls())
    if (c.tag == tag) return &c;
  return nullptr;
}

std::vector<std::string_view> inputs_read_by(std::string_view action) {
  std::vector<std::string_view> tags;
  for (const InputControl& c : input_controls()) {
    std::string_view readers = c.read_by;
    while (!readers.empty()) {
      const std::size_t blank = readers.find(' ');
      if (readers.substr(0, blank) == action) tags.push_back(c.tag);
      readers = blank == std::string_view::npos ? std::string_view() : readers.substr(blank + 1);
    }
  }
  return tags;
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
#define VELMORA_INPUT(type, member, tag_, what, example, lo, hi, start, read_by) \
  if (tag == tag_) return script_text(in.member);
#include "view/input_controls.def"
#undef VELMORA_INPUT
  return {};
}

void show_input(Workspace& ws, std::string_view tag) {
  const InputControl* c = find_input(tag);
  if (!c) return;
  show_control_value(tag, c->kind == InputKind::Edit, input_script_value(tag, ws.window.inputs));
}

ActionReport take_input(Workspace& ws, gfx::Handle control) {
  ActionReport& r = ws.last_input;
  r = ActionReport{};
  const std::string tag = control_tag(control);
  r.action = "set " + tag;
  const InputControl* c = find_input(tag);
  if (!c) return r;
  try {
    take(ws, *c, control_value(control, c->kind == InputKind::Edit));
  } catch (const DataRefusal& e) {
    r.outcome = Outcome::Refused;
    r.message = e.what();
    show_input(ws, tag);
    show_message_box(e.what(), e.title());
  } catch (const std::exception& e) {
    r.outcome = Outcome::Failed;
    r.message = e.what();
    show_input(ws, tag);
    console().error("Error in the " + tag + " control: " + e.what());
  }
  return r;
}

void connect_inputs(Workspace& ws, gfx::Handle main) {
  on_control_input(
      main, [](std::string_view tag) { return find_input(tag) != nullptr; },
      [](gfx::Handle source) { take_input(workspace(), source); });
  for (const InputControl& c : input_controls()) show_input(ws, c.tag);
}

}  // namespace velmora::app
