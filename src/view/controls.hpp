#pragma once
// What the main window shows before and after data: the buttons that need
// data are greyed until the session has it, each with a tooltip that says
// what to do first; an empty plot carries a hint that tells how to start.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::app {

struct Document;

/// The hint in the empty plot (a text object of the plot).
inline constexpr const char* kStartHint = "Load landmarks to start: Ctrl+O";

/// Why the action named `action` cannot run now ("" when it can), or none
/// for an action that needs nothing (its controls are never greyed).
using WhyNot = std::function<std::optional<std::string>(std::string_view action)>;

/// Greys the main window's buttons whose action cannot run now, with the
/// reason in the tooltip before the laid-out one, and enables the others;
/// the Rotate buttons also while no scores were computed on the reference.
/// The start hint is shown while no sample is loaded.
void sync_controls(Document& doc, const WhyNot& why_not);

}  // namespace velmora::app
