#pragma once
// What every presenter uses: a report into the results log and its message
// window, its numbers in the precision chosen, the superimposition's note,
// the randomization a test runs with, and an action's text argument.

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/workspace.hpp"
#include "platform/value/value.hpp"

namespace velmora::app {

/// A report goes to the console (batch output), the results log and its
/// message window, where its table is shown in a fixed-width font.
void present(Workspace& ws, const std::string& title, const std::string& text);

/// A number of a report: six significant digits, or with Full-precision
/// result files the shortest text that reads back to the same double.
std::string report_number(const Workspace& ws, double x);

/// A report with the superimposition's note, when its passes ran out before
/// the reference settled.
std::string with_fit_note(std::string text, const std::string& note);

/// Logs a report (`log_text`, as printed) with its note and, while result
/// files are written in full precision, every number of it exactly.
void log_with_numbers(Workspace& ws, const std::string& title, const std::string& log_text,
                      const std::string& fit_note,
                      std::initializer_list<std::pair<std::string_view, double>> numbers);

/// The permutations and seed of the window's boxes in a test's `params`.
template <typename Params>
Params randomized(const Workspace& ws, Params params) {
  const Inputs& in = ws.window.inputs;
  params.permutations = static_cast<int>(in.permutations);
  params.seed = static_cast<std::uint64_t>(in.seed);
  return params;
}

/// "999 permutations, seed 1".
std::string randomization_text(int permutations, std::uint64_t seed);

/// The one text argument of an action, or nothing when it was given none;
/// anything else is refused, with `example` as the way to write it.
std::optional<std::string> text_argument(const Value& fpass, const std::string& example);

/// The words of an action's argument: a script line's text split at blanks,
/// each text of a cell, numbers in their shortest form.
std::vector<std::string> argument_words(const Value& v);

}  // namespace velmora::app
