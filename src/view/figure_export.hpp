#pragma once
// Pictures of the windows: the 3-D figure to the clipboard or a file, and
// the main window's plot enlarged to fill its figure.

#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/backend.hpp"
#include "platform/runtime/function_table.hpp"
#include "platform/value/value.hpp"

namespace velmora::app {

struct Document;

/// Which window a picture is of.
enum class Pictured {
  Figure3d,  ///< the 3-D figure as shown
  Plot,      ///< the main window's plot, enlarged to fill its figure
};

/// The print options of a picture export to `pick`, and what to record.
struct ExportChoice {
  std::vector<std::string> options;  ///< the print options
  /// The size as answered in the export dialog; none when given as argument.
  std::optional<std::string> asked;
  bool cancelled = false;  ///< the export dialog was cancelled: nothing to export
};

/// The print options of an export of `what` to `pick`: the size and
/// resolution from `size` when given (a batch line, a replay), else asked in
/// the export size dialog, whose answer the document keeps for the next
/// export.  A name without a picture extension or a bad size is refused
/// under `title`.
ExportChoice export_choice(Document& doc, Pictured what, const Value& size,
                           const gfx::FilePick& pick, const std::string& title);
/// Prints `what` with `options` to `path` (the clipboard when empty); the
/// enlarged plot keeps equal units where it was drawn with them, and is put
/// back as it was afterwards, also when printing fails.
void print_picture(Document& doc, Pictured what, const std::vector<std::string>& options,
                   const std::string& path = {});
/// Whether the main window's plot shows no line (nothing to export).
bool main_plot_empty();
/// The save dialog itself (no folder change): the picked file, or none.
std::optional<gfx::FilePick> ask_save_file(std::string_view filter, std::string_view title);

/// Registers CopyBigImage and CopyBigImageNA (1 input, 0 outputs).
void register_export_functions(FunctionTable& table);

}  // namespace velmora::app
