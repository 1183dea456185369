// Checking a whole batch script before any line runs: the actions, the
// functions and the controls it names, and the values its set lines give.
#include <cctype>
#include <cmath>
#include <optional>

#include "app/batch_internal.hpp"
#include "app/inputs.hpp"
#include "app/script_text.hpp"
#include "app/switchyard.hpp"
#include "core/shown_text.hpp"
#include "platform/runtime/function_table.hpp"
#include "view/places.hpp"

namespace velmora::app::batch_detail {

// A `call velmorasw ACTION [ARG …]` line runs exactly as the bare action.
BatchCommand as_action(const BatchCommand& c) {
  if (c.kind != BatchCommand::Kind::Call || c.name != "velmorasw" || c.args.empty() ||
      !c.args[0].is_char())
    return c;
  BatchCommand a{BatchCommand::Kind::Action, c.line, c.args[0].to_string(), {}};
  a.args.assign(c.args.begin() + 1, c.args.end());
  return a;
}

// The most arguments an action line may give `action`, as its entry in the
// action table says.
std::size_t most_action_arguments(std::string_view action) {
  const ActionSpec* spec = find_action(action);
  return spec ? spec->most_arguments : 1;
}

// Every action and function the script names must exist before any line
// runs, so that a typing error cannot leave a queued answer to a later
// dialog.
std::optional<BatchStop> check_names(const std::vector<BatchCommand>& script) {
  for (const BatchCommand& c : script) {
    if (c.kind == BatchCommand::Kind::Action && find_action(c.name) &&
        c.args.size() > most_action_arguments(c.name)) {
      const std::size_t most = most_action_arguments(c.name);
      return BatchStop{kBatchMalformed, line_text(c.line) + ": " + c.name + " takes at most " +
                                            std::to_string(most) +
                                            (most == 1 ? " argument" : " arguments") +
                                            "; the line gives " + std::to_string(c.args.size()) +
                                            "; nothing was run."};
    }
    if (c.kind == BatchCommand::Kind::Action && !find_action(c.name)) {
      std::string hint;
      for (const ActionSpec& s : action_table()) {
        if (s.name.size() != c.name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < c.name.size() && same; ++i)
          same = std::tolower(static_cast<unsigned char>(s.name[i])) ==
                 std::tolower(static_cast<unsigned char>(c.name[i]));
        if (same) hint = " (did you mean " + std::string(s.name) + "?)";
      }
      return BatchStop{kBatchMalformed, line_text(c.line) + ": \"" + c.name +
                                            "\" is not an action of Velmora" + hint +
                                            "; nothing was run."};
    }
    if (c.kind == BatchCommand::Kind::Set && !find_input(c.name)) {
      std::string tags;
      for (const InputControl& i : input_controls())
        tags += (tags.empty() ? "" : ", ") + std::string(i.tag);
      return BatchStop{kBatchMalformed, line_text(c.line) + ": \"" + c.name +
                                            "\" is not a control that set can change (" + tags +
                                            "); nothing was run."};
    }
    if (c.kind == BatchCommand::Kind::Call && c.name == "velmorasw") {
      // as_action() has made every well-formed call an action line.
      return BatchStop{
          kBatchMalformed,
          line_text(c.line) +
              ": \"call velmorasw\" takes the name of an action and its arguments, as in "
              "\"call velmorasw SetPlotDensity 30\"; nothing was run."};
    }
    if (c.kind == BatchCommand::Kind::Call && !find_by_name(c.name)) {
      return BatchStop{kBatchMalformed, line_text(c.line) + ": there is no function \"" + c.name +
                                            "\" to call; nothing was run."};
    }
  }
  return std::nullopt;
}

// Every set line must name a control of the window and, for a pop-up or a
// check box, one of its choices, before any line runs.  A pop-up's entry
// given by its text becomes its number.
std::optional<BatchStop> check_set_values(std::vector<BatchCommand>& script, gfx::Handle main) {
  for (BatchCommand& c : script) {
    if (c.kind != BatchCommand::Kind::Set) continue;
    const InputControl* input = find_input(c.name);
    const auto h = window_control(main, c.name);
    if (!input || !h) {
      return BatchStop{kBatchMalformed, line_text(c.line) + ": the main window has no control \"" +
                                            c.name + "\"; nothing was run."};
    }
    const std::string value = c.args.at(0).to_string();
    if (input->kind == InputKind::Popup) {
      const std::vector<std::string> items = popup_items(*h);
      std::optional<double> entry = number_from_text(value, true);
      if (entry && !(*entry >= 1 && *entry <= static_cast<double>(items.size()) &&
                     *entry == std::floor(*entry)))
        entry.reset();
      for (std::size_t i = 0; i < items.size() && !entry; ++i)
        if (items[i] == value) entry = static_cast<double>(i + 1);
      if (!entry) {
        std::string listed;
        for (const std::string& item : items)
          listed += (listed.empty() ? "" : ", ") + quote_script_text(item);
        return BatchStop{kBatchMalformed, line_text(c.line) + ": " + quoted_script_echo(value) +
                                              " is not an entry of the " + c.name +
                                              " pop-up menu: give its number "
                                              "from 1 to " +
                                              std::to_string(items.size()) + " or its text (" +
                                              listed + "); nothing was run."};
      }
      c.args[0] = Value(*entry);
    } else if (input->kind == InputKind::Check) {
      const std::string word = lower_text(value);
      if (word != "1" && word != "0" && word != "on" && word != "off") {
        return BatchStop{kBatchMalformed, line_text(c.line) + ": the check box " + c.name +
                                              " is set to 1 or 0 (on or off), not " +
                                              quoted_script_echo(value) + "; nothing was run."};
      }
      c.args[0] = Value(word == "1" || word == "on" ? 1.0 : 0.0);
    }
  }
  return std::nullopt;
}

}  // namespace velmora::app::batch_detail
