#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/superimposition.hpp"
#include "platform/graphics/backend.hpp"
#include "platform/value/value.hpp"
#include "view/window_state.hpp"

namespace velmora::app {

/// Records the actions a user runs in the window, with the answers of the
/// file dialogs they opened, so that the session can be saved as a batch
/// script that reproduces it.
class ScriptRecorder {
 public:
  /// Starts recording under the superimposition `method` and listens to the
  /// graphics run-time's dialogs.
  void start_recording(analysis::Method method);
  void stop_recording() { recording_ = false; }
  bool recording() const { return recording_; }
  /// Begins the step of action `name`, with the input controls it reads
  /// from `inputs` and, for an export, the 3-D `view`.
  void begin_action(std::string_view name, const Value& fpass, const Inputs& inputs,
                    const View3d& view);
  /// Ends the step begun last.  A refused or failed action is not part of
  /// the session: its step, with the dialog answers it took, is dropped.
  void end_action(bool completed);
  /// Records the running action as `action` with one dialog answer line
  /// (e.g. a recent file opened from the menu as "open PATH" and LoadData),
  /// so that a replay does the same without the menu.
  void record_as(std::string_view action, std::string dialog_line);
  /// Records `argument` (one script word, as batch takes it) as the running
  /// action's argument: what a dialog of its own answered, so that a replay
  /// asks nothing.
  void record_argument(std::string argument);
  /// Leaves the running action out of the session: it was cancelled in a
  /// dialog after others had been answered, and changed nothing.
  void drop_step();
  void dialog_answered(std::string_view kind, const std::optional<gfx::FilePick>& answer);
  /// A list dialog's answer: the chosen item's text, nullopt for a cancel.
  void choice_answered(const std::optional<std::string>& item);
  /// The batch script: first the superimposition the recording started
  /// with (SetSuperimposition), then each action preceded by its dialog
  /// answers, paths
  /// always double-quoted so that any file name replays as the same bytes.
  /// An action that reads input controls is preceded by a `set` line for
  /// each value that differs from the start or from the script's last
  /// `set`; an export by `view` and `figsize` lines in the same way, so that
  /// the replay draws the same figure.
  std::string script() const;
  void clear() { steps_.clear(), in_step_ = false; }

 private:
  struct Step {
    std::string action;
    std::string argument;
    std::vector<std::string> dialog_lines;
    std::vector<std::pair<std::string, std::string>> inputs;  ///< tag, value read
    std::optional<View3d> view;                               ///< for an export
  };
  bool recording_ = false;
  bool in_step_ = false;         ///< answers belong to the last step
  bool started_optimal_ = true;  ///< the superimposition when recording started
  std::vector<Step> steps_;
};

/// `text` as one word of a batch line: as it is when it has no blanks,
/// quotes or backslashes, double-quoted otherwise.
std::string script_word(std::string_view text);

/// The text of an action argument in a batch script ("" when absent).
std::string script_argument(const Value& fpass);

}  // namespace velmora::app
