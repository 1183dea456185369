#include "view/figure_export.hpp"

#include <algorithm>

#include "core/file_bytes.hpp"
#include "platform/graphics/graphics.hpp"
#include "platform/print/print.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "view/document.hpp"
#include "view/figure3d.hpp"
#include "view/main_window.hpp"

namespace velmora::app {

using gfx::graphics;
using gfx::Handle;

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

// The figure a picture of `what` is printed from.
Handle pictured_figure(const Document& doc, Pictured what) {
  return what == Pictured::Figure3d ? *doc.window.figure3d : graphics().figure_of(control("axes1"));
}

}  // namespace

ExportChoice export_choice(Document& doc, Pictured what, const Value& size,
                           const gfx::FilePick& pick, const std::string& title) {
  const auto dot = pick.name.find_last_of('.');
  const std::string ext = dot == std::string::npos ? "" : gfx::lower(pick.name.substr(dot + 1));
  if (ext != "png" && ext != "svg" && ext != "pdf" && ext != "eps") {
    refuse("\"" + shown_name(pick.name) +
               "\" has no picture extension: end the name with .png, .svg, .pdf or .eps.",
           title);
  }
  ExportChoice choice;
  std::string words;
  if (!size.empty()) {
    if (!size.is_char()) refuse("Give the size as \"17x12cm,300dpi\".", title);
    words = size.to_string();
  } else {
    const auto& px = graphics().object(pictured_figure(doc, what)).pos_px;
    const auto answer = graphics().backend().export_size_dialog(title, doc.window.export_size,
                                                                {px[2], px[3]}, ext == "png");
    if (!answer) {
      choice.cancelled = true;
      return choice;
    }
    doc.window.export_size = *answer;
    words = answer->text();
    choice.asked = words;
  }
  try {
    choice.options = gfx::export_options(ext, words);
  } catch (const RuntimeError& e) {
    refuse(e.what(), title);
  }
  return choice;
}

void print_picture(Document& doc, Pictured what, const std::vector<std::string>& options,
                   const std::string& path) {
  auto& g = graphics();
  if (what == Pictured::Figure3d) {
    gfx::print_figure(g, *doc.window.figure3d, options, path);
    return;
  }
  const Handle ax = control("axes1");
  const bool equal = gfx::lower(g.get_text(ax, "DataAspectRatioMode")) == "manual";
  print_big_image(equal, g.figure_of(ax), ax, options, path);
}

bool main_plot_empty() {
  auto& g = graphics();
  const auto& kids = g.children(control("axes1"));
  return std::none_of(kids.begin(), kids.end(),
                      [&](Handle c) { return g.type(c) == gfx::Type::Line; });
}

std::optional<gfx::FilePick> ask_save_file(std::string_view filter, std::string_view title) {
  return graphics().save_file_dialog(filter, title);
}

void register_export_functions(FunctionTable& table) {
  table.add({"CopyBigImage", copier(true), 1, 0});
  table.add({"CopyBigImageNA", copier(false), 1, 0});
}

}  // namespace velmora::app
