// Running a batch script: the window opened headless, each line as the
// click, the typing or the call it stands for, and the exit status.
#include "app/batch.hpp"

#include <unistd.h>

#include <exception>
#include <filesystem>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "app/batch_internal.hpp"
#include "app/inputs.hpp"
#include "app/script_recorder.hpp"
#include "app/switchyard.hpp"
#include "app/velmora.hpp"
#include "app/workspace.hpp"
#include "core/file_bytes.hpp"
#include "platform/graphics/graphics.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/function_table.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "view/places.hpp"
#include "view/view3d.hpp"

namespace velmora::app {

using batch_detail::answer_text;
using batch_detail::Answers;
using batch_detail::as_action;
using batch_detail::BatchStop;
using batch_detail::check_names;
using batch_detail::check_set_values;
using batch_detail::is_answer;
using batch_detail::line_text;

namespace {

// True when the main window has a control for `action` (with `fpass`) and
// every such control is disabled.
bool control_disabled(gfx::Handle main, const std::string& action, const ValueList& fpass) {
  auto& g = gfx::graphics();
  bool found = false, enabled = false;
  for (gfx::Handle h : g.all_objects(main)) {
    if (!g.has_property(h, "Callback") || !g.has_property(h, "Enable")) continue;
    Value cb = g.get(h, "Callback");
    if (!cb.is_cell() || cb.numel() < 2) continue;
    if (cb.at(0).text_or_empty() != "velmorasw" || cb.at(1).text_or_empty() != action) continue;
    if (!fpass.empty() && (cb.numel() < 3 || !(cb.at(2) == fpass[0]))) continue;
    found = true;
    if (g.get_text(h, "Enable") != "off") enabled = true;
  }
  return found && !enabled;
}

// A set line: the control takes the value as typing or choosing would, and
// its callback runs.
int set_control(Workspace& ws, const BatchCommand& c, gfx::Handle main) {
  auto& g = gfx::graphics();
  const InputControl* input = find_input(c.name);
  const auto h = window_control(main, c.name);
  if (!input || !h) return kBatchError;  // checked before the script ran
  if (g.get_text(*h, "Enable") == "off") {
    g.backend().message_box(
        "The control " + c.name + " is disabled in the main window, so it cannot be set now.", "");
    return kBatchRefused;
  }
  g.make_current(main);
  g.set(*h, input->kind == InputKind::Edit ? "String" : "Value", c.args[0]);
  ws.last_input = ActionReport{};
  g.run_callback(*h, "Callback");
  const ActionReport& r = ws.last_input;
  if (r.outcome == Outcome::Failed) {
    console().error(line_text(c.line) + ": " + r.message);
    return kBatchError;
  }
  return r.outcome == Outcome::Refused ? kBatchRefused : kBatchOk;
}

// Runs one line that is no answer: a set, view or figsize line, an action
// as a click on its control, or a call; the batch status it ends with.
int run_line(Workspace& ws, const BatchCommand& c, gfx::Handle main) {
  auto& g = gfx::graphics();
  int outcome = kBatchOk;
  if (c.kind == BatchCommand::Kind::Set) {
    outcome = set_control(ws, c, main);
  } else if (c.kind == BatchCommand::Kind::View || c.kind == BatchCommand::Kind::FigSize) {
    View3d& v = ws.window.view3d;
    if (c.kind == BatchCommand::Kind::View) {
      v.azimuth = c.args[0](0), v.elevation = c.args[1](0), v.zoom = c.args[2](0);
    } else {
      v.width = c.args[0](0), v.height = c.args[1](0);
    }
    apply_view3d(ws);
  } else if (c.kind == BatchCommand::Kind::Action) {
    if (g.valid(main)) g.make_current(main);
    if (g.valid(main) && control_disabled(main, c.name, c.args)) {
      g.backend().message_box(
          "The control for " + c.name + " is disabled in the main window, so it cannot run now.",
          "");
      outcome = kBatchRefused;
    } else {
      gfx::Graphics::CallbackScope scope(g, main);
      // Several arguments reach the action as one cell row.
      ActionReport r = run_action(ws, Value(c.name),
                                  c.args.empty()       ? Value()
                                  : c.args.size() == 1 ? c.args[0]
                                                       : Value::cell_row(c.args));
      if (r.outcome == Outcome::Failed) {
        console().error(line_text(c.line) + ": " + r.message);
        outcome = kBatchError;
      } else if (r.outcome == Outcome::Refused) {
        outcome = kBatchRefused;
      }
    }
  } else {
    try {
      const FunctionSpec* spec = find_by_name(c.name);
      const int nargout = c.no_outputs || (spec && spec->nargout == 0) ? 0 : 1;
      ValueList res = call_by_name(c.name, c.args, nargout);
      // Exact digits, so that a handle or number typed back from the
      // display names the same object.
      if (!res.empty()) console().write(named_display("ans", res[0], true));
    } catch (const WriteError& e) {
      console().error(line_text(c.line) + ": " + e.what());
      outcome = kBatchRefused;
    } catch (const std::exception& e) {
      console().error(line_text(c.line) + ": " + e.what());
      outcome = kBatchError;
    }
  }
  return outcome;
}

int run_commands(Workspace& ws, const std::vector<BatchCommand>& script, gfx::Handle main,
                 gfx::HeadlessBackend* hb) {
  auto& g = gfx::graphics();
  Answers answers;
  hb->answer_source = [&answers](const gfx::HeadlessBackend::Dialog& d) {
    return answers.answer(d);
  };
  // The answers die with this run; a dialog after it must not reach them.
  struct Unhook {
    gfx::HeadlessBackend* hb;
    ~Unhook() {
      hb->answer_source = nullptr;
      hb->choice_source = nullptr;
    }
  } unhook{hb};
  hb->choice_source = [&answers](const gfx::HeadlessBackend::Dialog& d) {
    return answers.choose(d);
  };
  int status = kBatchOk;
  for (const BatchCommand& c : script) {
    if (is_answer(c)) {
      answers.add(c);
      continue;
    }
    answers.begin(c);
    const int outcome = run_line(ws, c, main);
    if (!answers.empty()) {
      throw BatchStop{kBatchMalformed,
                      line_text(c.line) + ": " + c.name + " did not use the answer on line " +
                          std::to_string(answers.front().line) + " (" +
                          answer_text(answers.front()) + "); the script stops here."};
    }
    if (outcome == kBatchError) return kBatchError;
    if (outcome == kBatchRefused) status = kBatchRefused;
    if (!g.valid(main)) {
      // Quit closed the windows: the run ends as the program would.
      if (&c != &script.back()) {
        console().error(line_text(c.line) + ": " + c.name +
                        " closed the main window; the lines after it were not run.");
      }
      return status;
    }
  }
  if (!answers.empty()) {
    throw BatchStop{kBatchMalformed, line_text(answers.front().line) + ": the answer " +
                                         answer_text(answers.front()) +
                                         " is not followed by an action that uses it."};
  }
  return status;
}

}  // namespace

int run_batch(const std::vector<BatchCommand>& parsed) {
  // The window's callbacks run on the program's workspace: so does the script.
  Workspace& ws = workspace();
  auto& g = gfx::install_graphics(std::make_unique<gfx::HeadlessBackend>());
  auto* hb = gfx::headless_backend();
  hb->on_message = [](const gfx::HeadlessBackend::Message& m) {
    console().write(m.title.empty() ? std::string("msgbox:\n") : "msgbox: " + m.title + "\n");
    console().write(m.text + "\n");
  };
  register_all_functions();
  // A script starts from what a fresh start of the program shows.
  ws.reset();
  std::vector<BatchCommand> script;
  script.reserve(parsed.size());
  for (const BatchCommand& c : parsed) script.push_back(as_action(c));
  if (auto stop = check_names(script)) {
    console().error(stop->message);
    return stop->status;
  }
  ValueList opened = velmora({}, 1);
  if (opened.empty()) {
    console().error("The main window could not be opened.");
    return kBatchError;
  }
  gfx::Handle main = opened[0].to_scalar();
  g.set(main, "Visible", "off");
  if (auto stop = check_set_values(script, main)) {
    console().error(stop->message);
    return stop->status;
  }
  // Nobody to ask: Quit quits, and no file joins the recent-files list.
  ws.window.desktop = false;
  // SaveSessionScript writes what the script has run so far.
  ws.recorder.clear();
  ws.recorder.start_recording(ws.session.method());
  try {
    return run_commands(ws, script, main, hb);
  } catch (const BatchStop& stop) {
    console().error(stop.message);
    return stop.status;
  }
}

namespace {

// A script read and parsed, or why not: the message and the exit status.
struct ReadScript {
  std::vector<BatchCommand> script;
  std::string error;
  int status = kBatchOk;
};

ReadScript read_script(const std::string& path) {
  ReadScript r;
  try {
    // A regular file, or a pipe read as a stream (standard input, a shell's
    // <(…), a named FIFO); a folder or a device is no script.
    FileBytes file = path == "-" ? read_stream(STDIN_FILENO) : read_file_or_pipe(path);
    if (!file.ok) {
      r.error = "Cannot read the batch script \"" + shown_name(path) + "\": " + file.reason + ".";
      r.status = kBatchMalformed;
      return r;
    }
    // Relative paths stay valid after a dialog changes the working folder.
    // Standard input and a shell's <(…) (/dev/fd/N) have no folder of their
    // own: their relative paths are the working folder's.
    const bool anonymous =
        path == "-" || path.rfind("/dev/", 0) == 0 || path.rfind("/proc/", 0) == 0;
    const std::string folder = anonymous
                                   ? std::filesystem::current_path().string() + "/"
                                   : std::filesystem::absolute(path).parent_path().string() + "/";
    std::istringstream in(std::move(file.bytes));
    r.script = parse_batch(in, folder);
  } catch (const std::invalid_argument& e) {
    r.error = "Malformed batch script \"" + shown_name(path) + "\", " + e.what();
    r.status = kBatchMalformed;
  }
  return r;
}

// A script run in the open window: each answer line answers the next
// dialog as the user would, each other line runs as in batch.  A refused
// or failed line, or an answer no dialog took, ends the run; the window has
// shown why.
int run_in_window(Workspace& ws, const std::vector<BatchCommand>& script, gfx::Handle main) {
  auto& g = gfx::graphics();
  auto script_line = [](int line) { return "script line " + std::to_string(line); };
  g.clear_queued_answers();
  auto stop = [&](const std::string& why) {
    g.clear_queued_answers();
    g.backend().message_box(why, "Script stopped");
  };
  for (const BatchCommand& c : script) {
    if (c.kind == BatchCommand::Kind::Open || c.kind == BatchCommand::Kind::Save) {
      g.queue_file_answer({batch_detail::pick_of(c)});
      continue;
    }
    if (c.kind == BatchCommand::Kind::Cancel) {
      g.queue_file_answer({});
      continue;
    }
    if (c.kind == BatchCommand::Kind::Choose) {
      g.queue_item_answer(c.name);
      continue;
    }
    const int outcome = run_line(ws, c, main);
    if (g.queued_answers() > 0) {
      stop(script_line(c.line) + ": " + c.name +
           " did not use the answer before it; the script stops here.");
      return kBatchMalformed;
    }
    if (outcome == kBatchError) {
      stop(script_line(c.line) + ": " + c.name +
           " failed (the console says why); the script stops here.");
      return outcome;
    }
    if (outcome != kBatchOk) return outcome;  // its own message box said why
    if (!g.valid(main)) return kBatchOk;
  }
  if (g.queued_answers() > 0) {
    stop("The script's last answers are not followed by an action that uses them.");
    return kBatchMalformed;
  }
  return kBatchOk;
}

}  // namespace

int run_batch_file(const std::string& path) {
  ReadScript r = read_script(path);
  if (!r.error.empty()) {
    console().error(r.error);
    return r.status;
  }
  return run_batch(r.script);
}

int run_script_in_window(const std::string& path, gfx::Handle main) {
  Workspace& ws = workspace();
  auto& g = gfx::graphics();
  ReadScript r = read_script(path);
  std::vector<BatchCommand> script;
  for (const BatchCommand& c : r.script) script.push_back(as_action(c));
  std::optional<BatchStop> why;
  if (r.error.empty()) why = check_names(script);
  if (r.error.empty() && !why) why = check_set_values(script, main);
  if (!r.error.empty() || why) {
    g.backend().message_box(r.error.empty() ? why->message : r.error, "Script not run");
    return r.error.empty() ? why->status : r.status;
  }
  return run_in_window(ws, script, main);
}

}  // namespace velmora::app
