#include "app/session.hpp"

#include "app/script_text.hpp"
#include "platform/graphics/graphics.hpp"

namespace velmora::app {

Session& session() {
  static Session s;
  return s;
}

std::string script_argument(const Value& fpass) {
  if (fpass.is_char()) return fpass.to_string();
  if (fpass.is_double() && fpass.numel() == 1) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", fpass(0));
    return buf;
  }
  return {};
}

void Session::start_recording() {
  recording_ = true;
  gfx::graphics().set_dialog_observer(
      [this](std::string_view kind, const std::optional<gfx::FilePick>& pick) {
        dialog_answered(kind, pick);
      });
  gfx::graphics().set_choice_observer(
      [this](const std::optional<std::string>& item) { choice_answered(item); });
}

void Session::begin_action(std::string_view name, const Value& fpass) {
  // Saving the script is not part of the session it saves.
  in_step_ = recording_ && name != "SaveSessionScript";
  if (in_step_) steps_.push_back({std::string(name), script_argument(fpass), {}});
}

void Session::end_action(bool refused) {
  if (in_step_ && refused && !steps_.empty()) steps_.pop_back();
  in_step_ = false;
}

void Session::dialog_answered(std::string_view kind, const std::optional<gfx::FilePick>& answer) {
  if (!recording_ || !in_step_ || steps_.empty()) return;
  Step& step = steps_.back();
  if (!answer) {
    step.dialog_lines.push_back("cancel");
    return;
  }
  step.dialog_lines.push_back(std::string(kind == "save" ? "save " : "open ") +
                              quote_script_text(answer->path()));
}

void Session::choice_answered(const std::optional<std::string>& item) {
  if (!recording_ || !in_step_ || steps_.empty()) return;
  steps_.back().dialog_lines.push_back(item ? "choose " + quote_script_text(*item) : "cancel");
}

std::string Session::script() const {
  std::string out =
      "# Velmora session script: run it with  velmora --batch FILE\n"
      "# Each open/save/choose/cancel line answers a dialog of the action below it.\n";
  for (const Step& s : steps_) {
    for (const std::string& line : s.dialog_lines) out += line + "\n";
    out += s.action;
    if (!s.argument.empty()) out += " " + s.argument;
    out += "\n";
  }
  return out;
}

}  // namespace velmora::app
