#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/graphics/backend.hpp"
#include "platform/runtime/function_table.hpp"

namespace velmora::app {

inline constexpr std::string_view kLoadTitle = "Enter file to Load?";

/// Shows the file-open dialog; a chosen file's folder becomes the working
/// folder, so that the next dialog opens there.  nullopt when cancelled.
std::optional<gfx::FilePick> pick_file_to_load(std::string_view filter);
/// Makes the folder of `pick` the working folder (a warning on the console
/// when it cannot), as a file chosen in a dialog does.
void enter_folder(const gfx::FilePick& pick);
/// The open dialog in which several files may be chosen, with the same
/// folder rule (the first file's folder).  None when cancelled.
std::vector<gfx::FilePick> pick_files_to_load(std::string_view filter);
/// Shows the file-save dialog with the same folder rule.
std::optional<gfx::FilePick> pick_file_to_save(std::string_view filter, std::string_view title);

/// Registers `mfload` and `mfloadtxt` (no inputs; the matrix and the chosen
/// name, or the number 0 when cancelled).
void register_loader_functions(FunctionTable& table);

/// The file `name` beside the running program (whether it exists or not);
/// "" when the program's folder is unknown.
std::string file_beside_program(const std::string& name);

}  // namespace velmora::app
