#include "gui/register.hpp"

#include <string>

#include "gui/arguments.hpp"
#include "gui/axes_helpers.hpp"
#include "gui/gui_data.hpp"
#include "gui/message_box.hpp"
#include "gui/names.hpp"
#include "gui/open_figure.hpp"
#include "gui/window_placement.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::gui {

namespace {

// Every adapter answers only the outputs that were asked for.
ValueList handle_if_asked(gfx::Handle h, int nargout) {
  return nargout >= 1 ? ValueList{Value(h)} : ValueList{};
}

std::string text_arg(const Value& v, const char* function, const char* what) {
  if (!v.is_char()) {
    throw RuntimeError(std::string(function) + ": the " + what + " must be text.");
  }
  return v.to_string();
}

ValueList openfig_entry(const ValueList& args, int nargout) {
  if (args.empty()) throw RuntimeError(kNotEnoughInputsText);
  std::string file = text_arg(args[0], "openfig", "file name");
  std::string policy = args.size() > 1 ? text_arg(args[1], "openfig", "policy") : "new";
  return handle_if_asked(openfig(file, policy), nargout);
}

ValueList guihandles_entry(const ValueList& args, int /*nargout*/) {
  return {args.empty() ? guihandles() : guihandles(args[0])};
}

ValueList guidata_entry(const ValueList& args, int nargout) {
  if (args.empty()) throw RuntimeError(kNotEnoughInputsText);
  if (args.size() == 1) return {guidata(args[0])};
  if (nargout > 0) throw RuntimeError(kTooManyOutputsText);
  guidata(args[0], args[1]);
  return {};
}

ValueList isvarname_entry(const ValueList& args, int /*nargout*/) {
  return {Value::boolean(isvarname(arg(args, 0, "isvarname", "s")))};
}

ValueList iskeyword_entry(const ValueList& args, int /*nargout*/) {
  if (!args.empty()) return {Value::boolean(iskeyword(args[0]))};
  const auto& words = keywords();
  Value list = Value::cell(words.size(), 1);
  for (std::size_t i = 0; i < words.size(); ++i) list.at(i) = Value(words[i]);
  return {list};
}

ValueList movegui_entry(const ValueList& args, int /*nargout*/) {
  movegui(args);
  return {};
}

ValueList grid_entry(const ValueList& args, int /*nargout*/) {
  grid(args);
  return {};
}

ValueList cla_entry(const ValueList& args, int nargout) {
  return handle_if_asked(cla(args), nargout);
}

ValueList clf_entry(const ValueList& args, int nargout) {
  return handle_if_asked(clf(args), nargout);
}

NamedFunction label_entry(LabelAxis axis, const char* name) {
  return [axis, name](const ValueList& args, int nargout) {
    const Value& label = arg(args, 0, name, "string");
    ValueList pairs(args.begin() + 1, args.end());
    return handle_if_asked(axis_label(axis, label, pairs), nargout);
  };
}

ValueList msgboxd_entry(const ValueList& args, int nargout) {
  std::optional<gfx::Handle> box = msgboxd(args);
  if (!box) return {};
  return handle_if_asked(*box, nargout);
}

}  // namespace

void register_gui_functions(FunctionTable& table) {
  table.add({"guidata", guidata_entry, 2, 1});
  table.add({"guihandles", guihandles_entry, 1, 1});
  table.add({"openfig", openfig_entry, 2, 1});
  table.add({"cla", cla_entry, kAny, 1});
  table.add({"clf", clf_entry, kAny, 1});
  table.add({"grid", grid_entry, 2, 0});
  table.add({"msgboxd", msgboxd_entry, kAny, kAny});
  table.add({"xlabel", label_entry(LabelAxis::X, "xlabel"), kOnePlus, 1});
  table.add({"ylabel", label_entry(LabelAxis::Y, "ylabel"), kOnePlus, 1});
  table.add({"zlabel", label_entry(LabelAxis::Z, "zlabel"), kOnePlus, 1});
  table.add({"isvarname", isvarname_entry, 1, 1});
  table.add({"movegui", movegui_entry, kAny, 0});
  table.add({"iskeyword", iskeyword_entry, 1, 1});
}

}  // namespace velmora::gui
