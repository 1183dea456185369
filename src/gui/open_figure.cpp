#include "gui/open_figure.hpp"

#include <filesystem>
#include <vector>

#include "gui/layout_file.hpp"
#include "gui/names.hpp"
#include "gui/window_placement.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::gui {

using gfx::Handle;
namespace fs = std::filesystem;

namespace {

// Marks a figure with the token of the layout file it came from, so that a
// later figure that happens to receive the number of a closed one is not
// taken for it.
constexpr const char* kOpenedFromName = "OpenedFromLayout";

std::vector<double> open_windows(gfx::Graphics& g, const std::string& token) {
  std::vector<double> figs;
  Value stored = g.appdata(gfx::kRoot, token);
  if (!stored.is_double()) return figs;
  for (double h : stored.data()) {
    if (g.valid(h) && g.type(h) == gfx::Type::Figure &&
        g.appdata(h, kOpenedFromName) == Value(token))
      figs.push_back(h);
  }
  return figs;
}

}  // namespace

std::string singleton_token(std::string_view base_name) {
  // Cut in characters, not bytes, so a non-ASCII name is never split.
  std::u16string token = utf8_to_u16(std::string(base_name) + "_SINGLETON_handle");
  if (token.size() > kMaxNameLength) token.resize(kMaxNameLength);
  return u16_to_utf8(token);
}

Handle openfig(const std::string& file_name, std::string_view policy) {
  fs::path p(file_name);
  std::string ext = p.extension().string();
  if (ext.empty()) {
    ext = ".fig";
  } else if (ext != ".fig") {
    throw RuntimeError("Argument must be a .fig file");
  }
  std::string base = p.stem().string();
  fs::path full = p.parent_path() / (base + ext);
  if (policy != "new" && policy != "reuse")
    throw RuntimeError("Second input argument must be 'new' or 'reuse'.");

  gfx::Graphics& g = gfx::graphics();
  const std::string token = singleton_token(base);
  std::vector<double> figs = open_windows(g, token);
  if (policy == "new" || figs.empty()) {
    Handle loaded = load_layout(resolve_layout(full.string()));
    g.set_appdata(loaded, kOpenedFromName, Value(token));
    figs.push_back(loaded);
  }
  Handle fig = figs.back();
  g.set_appdata(gfx::kRoot, token, Value::row(figs));
  movegui(fig, std::string("onscreen"));
  if (g.get_text(fig, "Visible") == "on") g.make_current(fig);
  return fig;
}

}  // namespace velmora::gui
