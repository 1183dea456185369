#include "view/loaders.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "bindings/io_values.hpp"
#include "core/file_bytes.hpp"
#include "gui/layout_file.hpp"
#include "io/text_matrix.hpp"
#include "platform/graphics/graphics.hpp"
#include "platform/runtime/console.hpp"

namespace velmora::app {

void enter_folder(const gfx::FilePick& pick) {
  if (pick.folder.empty()) return;
  // A folder name cut short at a NUL byte would be another folder.
  std::string why = nul_in_name_reason(pick.folder);
  if (why.empty() && ::chdir(pick.folder.c_str()) != 0) why = std::strerror(errno);
  if (!why.empty()) {
    console().error("Warning: cannot make \"" + shown_name(pick.folder) +
                    "\" the working folder: " + why);
  }
}

namespace {

// The picked file's folder as a full path, worked out once, before the
// working folder changes to it: a relative folder read again afterwards
// would name another one ("out/" inside out/ is out/out/).
std::optional<gfx::FilePick> settled(std::optional<gfx::FilePick> pick) {
  if (!pick || pick->folder.empty() || pick->folder.front() == '/' ||
      !nul_in_name_reason(pick->folder).empty())
    return pick;
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(pick->folder, ec);
  if (ec) return pick;
  pick->folder = full.lexically_normal().string();
  if (pick->folder.back() != '/') pick->folder += '/';
  return pick;
}

}  // namespace

std::optional<gfx::FilePick> pick_file_to_load(std::string_view filter) {
  auto pick = settled(gfx::graphics().open_file_dialog(filter, kLoadTitle));
  if (pick) enter_folder(*pick);
  return pick;
}

std::vector<gfx::FilePick> pick_files_to_load(std::string_view filter) {
  std::vector<gfx::FilePick> picks = gfx::graphics().open_files_dialog(filter, kLoadTitle);
  for (gfx::FilePick& p : picks) p = *settled(p);
  if (!picks.empty()) enter_folder(picks.front());
  return picks;
}

std::optional<gfx::FilePick> pick_file_to_save(std::string_view filter, std::string_view title) {
  auto pick = settled(gfx::graphics().save_file_dialog(filter, title));
  if (pick) enter_folder(*pick);
  return pick;
}

namespace {

NamedFunction loader(std::string_view filter) {
  return [filter](const ValueList&, int) -> ValueList {
    auto pick = settled(gfx::graphics().open_file_dialog(filter, kLoadTitle));
    if (!pick) return {Value(), Value(0.0)};
    Value data = io::dload_value(pick->path());
    enter_folder(*pick);
    return {data, Value(pick->name)};
  };
}

}  // namespace

void register_loader_functions(FunctionTable& table) {
  table.add({"mfload", loader("*.*"), 1, 2});
  table.add({"mfloadtxt", loader("*.txt"), 1, 2});
}

std::string file_beside_program(const std::string& name) {
  return gui::installed_layout(name);
}

}  // namespace velmora::app
