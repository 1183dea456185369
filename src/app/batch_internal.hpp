#pragma once

// The parts of a batch run shared by its files: batch_script.cpp reads the
// script, batch_check.cpp checks it whole before any line runs,
// batch_answers.cpp hands the queued answers to dialogs, and batch.cpp runs
// it.

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/batch.hpp"
#include "platform/graphics/backend.hpp"

namespace velmora::app::batch_detail {

/// Ends the script at once with an exit status.  Not a std::exception, so
/// that no action's error handling can take it for one of its own.
struct BatchStop {
  int status;
  std::string message;
};

/// "batch line 3", how every message names a line of the script.
inline std::string line_text(int line) {
  return "batch line " + std::to_string(line);
}

/// An answer line as it reads: "open "/tmp/x.txt"", "cancel".
std::string answer_text(const BatchCommand& a);

/// True for open, save, choose and cancel lines: answers to a later dialog.
bool is_answer(const BatchCommand& c);

/// A `call velmorasw ACTION [ARG]` line as the bare action line it runs
/// as; any other line as it is.
BatchCommand as_action(const BatchCommand& c);

/// The file an open or save line names, as its dialog answers it.
gfx::FilePick pick_of(const BatchCommand& answer);

/// The first line naming an action, a control or a function that does not
/// exist, as the stop it causes; nothing when every name is known.
std::optional<BatchStop> check_names(const std::vector<BatchCommand>& script);

/// The first set line whose control the window lacks or whose value is no
/// choice of its pop-up or check box, as the stop it causes.  A pop-up's
/// entry given by its text becomes its number.
std::optional<BatchStop> check_set_values(std::vector<BatchCommand>& script, gfx::Handle main);

/// Hands the answers queued before an action or call to its dialogs: an
/// `open` answer only to an open dialog, a `save` answer only to a save
/// dialog, a `choose` answer only to a list dialog that offers its item,
/// `cancel` to any.  An open dialog that takes several files takes the run
/// of `open` answers at the front when one of them is a markup file (the
/// files that can be loaded together), else the first alone.  A dialog
/// without a fitting answer stops the script before anything is read or
/// written.
class Answers {
 public:
  void add(const BatchCommand& a) { queue_.push_back(&a); }
  bool empty() const { return queue_.empty(); }
  const BatchCommand& front() const { return *queue_.front(); }
  void clear() { queue_.clear(); }

  void begin(const BatchCommand& taker) { taker_ = &taker; }

  std::vector<gfx::FilePick> answer(const gfx::HeadlessBackend::Dialog& d);

  std::optional<std::size_t> choose(const gfx::HeadlessBackend::Dialog& d);

 private:
  std::string who() const;

  // The answer at the front when it fits the dialog, taken from the queue;
  // nullptr for a cancel.
  const BatchCommand* take(const gfx::HeadlessBackend::Dialog& d);

  std::deque<const BatchCommand*> queue_;
  const BatchCommand* taker_ = nullptr;
};

}  // namespace velmora::app::batch_detail
