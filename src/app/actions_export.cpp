// Figure export: the 3D figure to the clipboard, to EPS or to any picture
// format, and enlarged copies of the current axes.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/actions.hpp"
#include "app/main_window.hpp"
#include "app/script_recorder.hpp"
#include "app/switchyard.hpp"
#include "app/workspace.hpp"
#include "core/file_bytes.hpp"
#include "io/result_files.hpp"
#include "platform/graphics/graphics.hpp"
#include "platform/print/print.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "platform/runtime/safe_file.hpp"

namespace velmora::app {

using gfx::graphics;
using gfx::Handle;

void actions::copy_d_clipboard(Workspace& ws, const Value&) {
  gfx::print_figure(graphics(), *ws.window.figure3d, {"-dmeta"});
  show_status("Copied the 3D figure to the clipboard (SVG and PNG)");
}

void actions::copy_d_eps(Workspace& ws, const Value&) {
  auto& g = graphics();
  auto pick = g.save_file_dialog("*.eps", "Save File Name for EPS file");
  if (!pick) return;
  gfx::print_figure(g, *ws.window.figure3d, {"-depsc"}, pick->folder + pick->name);
  show_status("Saved the 3D figure as EPS: " + pick->path());
}

namespace {

// The print options of an export to `pick` from window `fig`: the size and
// resolution from the action's argument when it has one (a batch line, a
// replay), else asked in the export size dialog, whose answer the session
// script records as that argument.  nullopt: the dialog was cancelled.  A
// name without a picture extension or a bad argument is refused.
std::optional<std::vector<std::string>> export_options_for(Workspace& ws, const Value& size,
                                                           const gfx::FilePick& pick, Handle fig,
                                                           const std::string& title) {
  const auto dot = pick.name.find_last_of('.');
  const std::string ext = dot == std::string::npos ? "" : gfx::lower(pick.name.substr(dot + 1));
  if (ext != "png" && ext != "svg" && ext != "pdf" && ext != "eps") {
    refuse("\"" + shown_name(pick.name) +
               "\" has no picture extension: end the name with .png, .svg, .pdf or .eps.",
           title);
  }
  std::string words;
  if (!size.empty()) {
    if (!size.is_char()) refuse("Give the size as \"17x12cm,300dpi\".", title);
    words = size.to_string();
  } else {
    const auto& px = graphics().object(fig).pos_px;
    const auto answer = graphics().backend().export_size_dialog(title, ws.window.export_size,
                                                                {px[2], px[3]}, ext == "png");
    if (!answer) {
      ws.recorder.drop_step();
      return std::nullopt;
    }
    ws.window.export_size = *answer;
    words = answer->text();
    ws.recorder.record_argument(script_word(words));
  }
  try {
    return gfx::export_options(ext, words);
  } catch (const RuntimeError& e) {
    refuse(e.what(), title);
  }
  return std::nullopt;
}

}  // namespace

void actions::export_figure(Workspace& ws, const Value& size) {
  auto& g = graphics();
  auto pick = g.save_file_dialog("*.png;*.svg;*.pdf;*.eps", "Export 3D Figure");
  if (!pick) return;
  const auto options = export_options_for(ws, size, *pick, *ws.window.figure3d, "Export 3D Figure");
  if (!options) return;
  gfx::print_figure(g, *ws.window.figure3d, *options, pick->path());
  show_status("Exported the 3D figure: " + pick->path());
}

namespace {

// Room kept around the enlarged axes for its tick labels, axis labels and
// title, in pixels: left, bottom, right, top.
constexpr double kEnlargedMargins[4] = {78, 58, 24, 36};

// Enlarges axes `ax` of figure `fig` to fill the figure, leaving room for
// its labels, prints the figure on white without its controls with the
// print options (the clipboard by default), and puts everything back as it
// was – its place, its limits and scaling, the figure's colour – also when
// printing fails.
void print_big_image(bool equal, Handle fig, Handle ax,
                     std::vector<std::string> options = {"-dmeta"}, const std::string& path = {}) {
  auto& g = graphics();
  // Restored in this order: limits before their modes (setting a limit makes
  // it manual), units before the position.
  static constexpr const char* kKept[] = {"XLim",
                                          "YLim",
                                          "ZLim",
                                          "XLimMode",
                                          "YLimMode",
                                          "ZLimMode",
                                          "DataAspectRatio",
                                          "DataAspectRatioMode",
                                          "Units",
                                          "Position"};
  struct Restore {
    gfx::Graphics& g;
    Handle ax, fig;
    std::vector<Value> kept;
    Value color;
    ~Restore() {
      try {
        if (g.valid(ax))
          for (std::size_t i = 0; i < kept.size(); ++i) g.set(ax, kKept[i], kept[i]);
        if (!g.valid(fig)) return;
        g.set(fig, "Color", color);
        g.make_current(fig);
      } catch (const std::exception& e) {
        console().error(e.what());
      }
    }
  } restore{g, ax, fig, {}, g.get(fig, "Color")};
  for (const char* name : kKept) restore.kept.push_back(g.get(ax, name));

  g.set(ax, "Units", "pixels");
  const auto& size = g.object(fig).pos_px;
  const auto& m = kEnlargedMargins;
  g.set(ax, "Position",
        Value::row({m[0], m[1], std::max(1.0, size[2] - m[0] - m[2]),
                    std::max(1.0, size[3] - m[1] - m[3])}));
  g.axis(ax, "auto");
  if (equal) g.axis(ax, "equal");
  g.set(fig, "Color", Value::row({1, 1, 1}));
  options.push_back("-noui");
  gfx::print_figure(g, fig, options, path);
}

NamedFunction copier(bool equal) {
  return [equal](const ValueList&, int) {
    print_big_image(equal, graphics().current_figure(), graphics().current_axes());
    show_status("Copied the enlarged plot to the clipboard (SVG and PNG)");
    return ValueList{};
  };
}

}  // namespace

// The main window's plot to a picture file, enlarged as Copy Plot Enlarged
// copies it; a plot drawn with equal units (the principal component
// scatter) keeps them.
void actions::export_plot(Workspace& ws, const Value& size) {
  auto& g = graphics();
  const Handle ax = control("axes1");
  const auto& kids = g.children(ax);
  if (std::none_of(kids.begin(), kids.end(),
                   [&](Handle c) { return g.type(c) == gfx::Type::Line; }))
    refuse("There is no plot to export: draw one first (Plot Procrustes Distance or Show PCA).",
           "Export Plot");
  const bool equal = gfx::lower(g.get_text(ax, "DataAspectRatioMode")) == "manual";
  auto pick = g.save_file_dialog("*.png;*.svg;*.pdf;*.eps", "Export Plot");
  if (!pick) return;
  const auto options = export_options_for(ws, size, *pick, g.figure_of(ax), "Export Plot");
  if (!options) return;
  print_big_image(equal, g.figure_of(ax), ax, *options, pick->path());
  show_status("Exported the plot: " + pick->path());
}

void register_export_functions(FunctionTable& table) {
  table.add({"CopyBigImage", copier(true), 1, 0});
  table.add({"CopyBigImageNA", copier(false), 1, 0});
}

void actions::save_session_script(Workspace& ws, const Value&) {
  auto pick = graphics().save_file_dialog("*.txt", "Save Session Script");
  if (!pick) return;
  std::string text = ws.recorder.script();
  try {
    write_file_safely(pick->path(), text);
  } catch (const std::exception& e) {
    refuse(e.what(), "Session script not saved");
  }
  show_status("Saved session script: " + pick->path());
}

}  // namespace velmora::app
