#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/graphics/backend.hpp"
#include "platform/value/value.hpp"

namespace velmora::app {

/// Records the actions a user runs in the window, with the answers of the
/// file dialogs they opened, so that the session can be saved as a batch
/// script that reproduces it.
class Session {
 public:
  /// Starts recording and listens to the graphics run-time's dialogs.
  void start_recording();
  void stop_recording() { recording_ = false; }
  bool recording() const { return recording_; }
  void begin_action(std::string_view name, const Value& fpass);
  /// Ends the step begun last; a refused action changed nothing, so its
  /// step (and the dialog answers it took) is dropped.
  void end_action(bool refused);
  void dialog_answered(std::string_view kind, const std::optional<gfx::FilePick>& answer);
  /// A list dialog's answer: the chosen item's text, nullopt for a cancel.
  void choice_answered(const std::optional<std::string>& item);
  /// The batch script: each action preceded by its dialog answers, paths
  /// always double-quoted so that any file name replays as the same bytes.
  std::string script() const;
  void clear() { steps_.clear(), in_step_ = false; }

 private:
  struct Step {
    std::string action;
    std::string argument;
    std::vector<std::string> dialog_lines;
  };
  bool recording_ = false;
  bool in_step_ = false;  ///< answers belong to the last step
  std::vector<Step> steps_;
};

Session& session();

/// The text of an action argument in a batch script ("" when absent).
std::string script_argument(const Value& fpass);

}  // namespace velmora::app
