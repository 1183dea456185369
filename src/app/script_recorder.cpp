#include "app/script_recorder.hpp"

#include <map>

#include "app/inputs.hpp"
#include "app/script_text.hpp"
#include "core/number_text.hpp"
#include "view/places.hpp"

namespace velmora::app {

std::string script_word(std::string_view text) {
  // A word that begins with '[' would read as numbers.
  bool plain = !text.empty() && text.front() != '[';
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    plain = plain && u > 0x20 && u < 0x7F && c != '"' && c != '\'' && c != '\\';
  }
  return plain ? std::string(text) : quote_script_text(text);
}

std::string script_argument(const Value& fpass) {
  if (fpass.is_cell()) {
    // Several arguments: each a word, quoted where it holds blanks.
    std::string out;
    for (const Value& v : fpass.items()) {
      // Text that reads as a number is quoted, so that it replays as text.
      // A number among them as its shortest text that reads back the same.
      const std::string word = v.is_double() && v.numel() == 1 ? shortest_number(v(0))
                               : !v.is_char()                  ? script_argument(v)
                               : number_from_text(v.to_string(), false)
                                   ? quote_script_text(v.to_string())
                                   : script_word(v.to_string());
      out += (out.empty() ? "" : " ") + (word.empty() ? std::string("\"\"") : word);
    }
    return out;
  }
  // Text with blanks, quotes or other bytes a bare word cannot hold is
  // quoted, so that it replays as one argument; so is text that reads as a
  // number, so that it replays as text ("1" stays "1", not the number 1).
  if (fpass.is_char()) {
    const std::string text = fpass.to_string();
    if (text.empty()) return "";
    return number_from_text(text, false) ? quote_script_text(text) : script_word(text);
  }
  if (fpass.is_double() && fpass.numel() == 1) {
    // Seventeen significant digits also read back exactly; recorded
    // scripts have always carried them, so their bytes stay.
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", fpass(0));
    return buf;
  }
  return {};
}

void ScriptRecorder::start_recording(analysis::Method method) {
  recording_ = true;
  started_optimal_ = method == analysis::Method::Optimal;
  observe_dialogs([this](std::string_view kind,
                         const std::optional<gfx::FilePick>& pick) { dialog_answered(kind, pick); },
                  [this](const std::optional<std::string>& item) { choice_answered(item); });
}

void ScriptRecorder::begin_action(std::string_view name, const Value& fpass, const Inputs& inputs,
                                  const View3d& view) {
  // Saving the script is not part of the session it saves; quitting and
  // the help windows change nothing a replay would show.
  in_step_ = recording_ && name != "SaveSessionScript" && name != "Quit" && name != "About" &&
             name != "UserGuide";
  if (!in_step_) return;
  Step step{std::string(name), script_argument(fpass), {}, {}, std::nullopt};
  for (std::string_view tag : inputs_read_by(name))
    step.inputs.emplace_back(tag, input_script_value(tag, inputs));
  if (name == "ExportFigure" || name == "CopyDEPS" || name == "CopyDClipboard" ||
      name == "ExportAnimation")
    step.view = view;
  steps_.push_back(std::move(step));
}

void ScriptRecorder::end_action(bool completed) {
  if (in_step_ && !completed && !steps_.empty()) steps_.pop_back();
  in_step_ = false;
}

void ScriptRecorder::record_as(std::string_view action, std::string dialog_line) {
  if (!recording_ || !in_step_ || steps_.empty()) return;
  steps_.back() = Step{std::string(action), "", {std::move(dialog_line)}, {}, std::nullopt};
}

void ScriptRecorder::record_argument(std::string argument) {
  if (recording_ && in_step_ && !steps_.empty()) steps_.back().argument = std::move(argument);
}

void ScriptRecorder::drop_step() {
  if (recording_ && in_step_ && !steps_.empty()) steps_.pop_back();
  in_step_ = false;
}

void ScriptRecorder::dialog_answered(std::string_view kind,
                                     const std::optional<gfx::FilePick>& answer) {
  if (!recording_ || !in_step_ || steps_.empty()) return;
  Step& step = steps_.back();
  if (!answer) {
    step.dialog_lines.push_back("cancel");
    return;
  }
  step.dialog_lines.push_back(std::string(kind == "save" ? "save " : "open ") +
                              quote_script_text(answer->path()));
}

void ScriptRecorder::choice_answered(const std::optional<std::string>& item) {
  if (!recording_ || !in_step_ || steps_.empty()) return;
  steps_.back().dialog_lines.push_back(item ? "choose " + quote_script_text(*item) : "cancel");
}

std::string ScriptRecorder::script() const {
  std::string out =
      "# Velmora session script: run it with  velmora --batch FILE\n"
      "# Each open/save/choose/cancel line answers a dialog of the action below it.\n"
      "# The superimposition the session started with, so that the script replays the same\n"
      "# way whatever a later version takes by default:\n";
  out += std::string("SetSuperimposition ") + (started_optimal_ ? "optimal" : "classic") + "\n";
  // What the replay holds so far: the start values, then what was set.
  std::map<std::string, std::string> scripted;
  const Inputs start;
  View3d view;
  for (const Step& s : steps_) {
    for (const auto& [tag, value] : s.inputs) {
      auto it = scripted.find(tag);
      const std::string before = it != scripted.end() ? it->second : input_script_value(tag, start);
      if (value == before) continue;
      out += "set " + tag + " " + script_word(value) + "\n";
      scripted[tag] = value;
    }
    if (s.view) {
      const View3d& v = *s.view;
      if (v.azimuth != view.azimuth || v.elevation != view.elevation || v.zoom != view.zoom) {
        out += "view " + shortest_number(v.azimuth) + " " + shortest_number(v.elevation) + " " +
               shortest_number(v.zoom) + "\n";
      }
      if (v.width != view.width || v.height != view.height)
        out += "figsize " + shortest_number(v.width) + " " + shortest_number(v.height) + "\n";
      view = v;
    }
    for (const std::string& line : s.dialog_lines) out += line + "\n";
    out += s.action;
    if (!s.argument.empty()) out += " " + s.argument;
    out += "\n";
  }
  return out;
}

}  // namespace velmora::app
