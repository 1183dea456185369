#pragma once

#include <istream>
#include <string>
#include <vector>

#include "platform/graphics/backend.hpp"
#include "platform/value/value.hpp"

namespace velmora::app {

struct Workspace;

/// One line of a batch script.
struct BatchCommand {
  enum class Kind { Open, Save, Choose, Cancel, Action, Call, Set, View, FigSize } kind;
  int line = 0;
  std::string name;  ///< action or function name; the path for open/save; the item for choose;
                     ///< set's tag
  /// The action's argument (0 or 1), the call's inputs, set's value (text),
  /// view's azimuth, elevation and zoom, figsize's width and height.
  ValueList args;
  bool no_outputs = false;  ///< call0: the function is called asking for no output
};

/// Parses a whole script; throws std::invalid_argument naming the first
/// malformed line ("line 3: ...").  Relative paths are taken against
/// `base_folder`.
std::vector<BatchCommand> parse_batch(std::istream& in, const std::string& base_folder);

/// The arguments of an action line: words separated by blanks, each a
/// number, a bare word, '…' text, [ … ] numbers or double-quoted text with
/// the escapes of quote_script_text (so any bytes, blanks included).
/// A quoted text that holds a NUL byte is refused, as a raw NUL is.
/// @param line for messages
/// @param words_as_text bare words stay text, numbers too ("007")
/// @throws std::invalid_argument "line L: WHY"
ValueList parse_action_args(std::string_view s, int line, bool words_as_text = false);

/// Exit statuses of a batch run.
inline constexpr int kBatchOk = 0;
inline constexpr int kBatchError = 1;
inline constexpr int kBatchMalformed = 2;
inline constexpr int kBatchRefused = 3;

/// Runs a parsed script headless, as clicks on the main window would: the
/// window is opened from Velmora.fig (invisible), console lines and message
/// boxes go to the console in order.  Returns the exit status.
int run_batch(const std::vector<BatchCommand>& script);

/// Reads, parses and runs `path` ("-" for standard input).
int run_batch_file(const std::string& path);

/// Runs the script in file `path` in the open main window `main`, as the
/// user would click and answer: each answer line answers the next dialog,
/// each other line runs as in batch, recorded and logged as the window's
/// own.  A script that cannot be read or names what does not exist is not
/// run; a refused line ends the run.  Every message shows in the window.
/// The batch status it ended with.
int run_script_in_window(const std::string& path, gfx::Handle main);

}  // namespace velmora::app
