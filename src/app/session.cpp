#include "app/session.hpp"

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
      [this](std::string_view, const std::optional<gfx::FilePick>& pick) { dialog_answered(pick); });
}

void Session::begin_action(std::string_view name, const Value& fpass) {
  if (!recording_ || name == "SaveSessionScript") return;
  steps_.push_back({std::string(name), script_argument(fpass), {}});
}

void Session::dialog_answered(const std::optional<gfx::FilePick>& answer) {
  if (!recording_ || steps_.empty()) return;
  Step& step = steps_.back();
  if (!answer) {
    step.dialog_lines.push_back("cancel");
    return;
  }
  const bool save = step.action.rfind("Save", 0) == 0 || step.action.rfind("Copy", 0) == 0 ||
                    step.action == "ExportFigure";
  step.dialog_lines.push_back(std::string(save ? "save " : "open ") + answer->path());
}

std::string Session::script() const {
  std::string out =
      "# Velmora session script: run it with  velmora --batch FILE\n"
      "# Each open/save/cancel line answers the next file dialog.\n";
  for (const Step& s : steps_) {
    for (const std::string& line : s.dialog_lines) out += line + "\n";
    out += s.action;
    if (!s.argument.empty()) out += " " + s.argument;
    out += "\n";
  }
  return out;
}

}  // namespace velmora::app
