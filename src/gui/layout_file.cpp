#include "gui/layout_file.hpp"

#include <filesystem>
#include <system_error>

#include "platform/runtime/runtime_error.hpp"
#include "platform/runtime/safe_file.hpp"

namespace velmora::gui {

using gfx::Handle;
using Json = nlohmann::ordered_json;
namespace fs = std::filesystem;

namespace {

// A row of numbers when every entry is a number; nothing otherwise.
bool numeric_row(const Json& j, std::vector<double>& out) {
  out.clear();
  for (const Json& e : j) {
    if (!e.is_number()) return false;
    out.push_back(e.get<double>());
  }
  return true;
}

// rows×cols when every entry is a number row of one common, non-zero length.
bool numeric_matrix(const Json& j, Value& out) {
  std::vector<std::vector<double>> rows;
  std::vector<double> r;
  for (const Json& e : j) {
    if (!e.is_array() || e.empty() || !numeric_row(e, r)) return false;
    if (!rows.empty() && r.size() != rows.front().size()) return false;
    rows.push_back(r);
  }
  std::size_t n = rows.size(), m = rows.front().size();
  std::vector<double> data(n * m);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t k = 0; k < m; ++k) data[i + n * k] = rows[i][k];
  out = Value::array(n, m, 1, std::move(data));
  return true;
}

[[noreturn]] void bad_layout(const std::string& path, const std::string& what) {
  throw LayoutError("Layout file \"" + path + "\": " + what);
}

gfx::Type child_type(const std::string& path, const Json& obj) {
  auto it = obj.find("type");
  if (it == obj.end() || !it->is_string())
    bad_layout(path, "every child needs a \"type\" (\"uicontrol\", \"uimenu\" or \"axes\").");
  std::string t = gfx::lower(it->get<std::string>());
  if (t == "uicontrol") return gfx::Type::UiControl;
  if (t == "uimenu") return gfx::Type::UiMenu;
  if (t == "axes") return gfx::Type::Axes;
  bad_layout(path, "unknown object type \"" + it->get<std::string>() +
                       "\" (expected \"uicontrol\", \"uimenu\" or \"axes\").");
}

// The properties of one object, "Units" first, without the structural keys.
gfx::PropList properties(const Json& obj, bool skip_visible) {
  gfx::PropList units, rest;
  for (auto it = obj.begin(); it != obj.end(); ++it) {
    std::string key = gfx::lower(it.key());
    if (key == "type" || key == "children" || (skip_visible && key == "visible")) continue;
    (key == "units" ? units : rest).emplace_back(it.key(), json_to_value(it.value()));
  }
  units.insert(units.end(), rest.begin(), rest.end());
  return units;
}

void create_children(gfx::Graphics& g, const std::string& path, Handle parent,
                     const Json& children) {
  if (!children.is_array()) bad_layout(path, "\"children\" must be an array.");
  for (const Json& c : children) {
    if (!c.is_object()) bad_layout(path, "every child must be a JSON object.");
    gfx::Type type = child_type(path, c);
    Handle h = g.create(type, parent, properties(c, false));
    if (auto kids = c.find("children"); kids != c.end()) create_children(g, path, h, *kids);
  }
}

Json read_json(const std::string& path) {
  // Read as any data file: a named pipe or device in its place is refused
  // instead of waited on.
  FileBytes file = read_regular_file(path);
  if (!file.ok)
    throw LayoutError("Cannot open the layout file \"" + path + "\": " + file.reason + ".");
  try {
    return Json::parse(file.bytes);
  } catch (const Json::parse_error& e) {
    // e.what() carries the line and column of the fault.
    std::string msg = e.what();
    if (auto p = msg.find("] "); msg.rfind("[json.exception", 0) == 0 && p != std::string::npos)
      msg = msg.substr(p + 2);
    bad_layout(path, "not valid JSON (" + msg + ").");
  }
}

fs::path executable_folder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : exe.parent_path();
}

// Any kind of file counts, so that a named pipe or folder in the working
// folder is refused with a message instead of skipped unnoticed.
bool is_file(const fs::path& p) {
  std::error_code ec;
  return fs::exists(p, ec);
}

}  // namespace

Value json_to_value(const Json& j) {
  switch (j.type()) {
    case Json::value_t::null:
      return Value();
    case Json::value_t::boolean:
      return Value(j.get<bool>() ? 1.0 : 0.0);
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
      return Value(j.get<double>());
    case Json::value_t::string:
      return Value(j.get<std::string>());
    case Json::value_t::array: {
      if (j.empty()) return Value();
      std::vector<double> row;
      if (numeric_row(j, row)) return Value::row(row);
      Value m;
      if (numeric_matrix(j, m)) return m;
      ValueList items;
      for (const Json& e : j) items.push_back(json_to_value(e));
      return Value::cell_row(std::move(items));
    }
    default:
      break;
  }
  throw RuntimeError("A property value cannot be a JSON object or binary data.");
}

Handle load_layout(const std::string& path) {
  Json doc = read_json(path);
  if (!doc.is_object()) bad_layout(path, "the top level must be a JSON object.");
  Json fig_props = doc.value("figure", Json::object());
  if (!fig_props.is_object()) bad_layout(path, "\"figure\" must be a JSON object.");

  gfx::Graphics& g = gfx::graphics();
  Handle fig = -1;
  try {
    Value visible("on");
    for (auto it = fig_props.begin(); it != fig_props.end(); ++it)
      if (gfx::lower(it.key()) == "visible") visible = json_to_value(it.value());
    gfx::PropList props = {{"Visible", "off"}};
    for (auto& p : properties(fig_props, true)) props.push_back(std::move(p));
    fig = g.create(gfx::Type::Figure, gfx::kRoot, props);
    if (auto kids = doc.find("children"); kids != doc.end()) create_children(g, path, fig, *kids);
    g.set(fig, "Visible", visible);
    g.set(fig, "FileName", Value(path));
  } catch (const LayoutError&) {
    if (fig >= 0 && g.valid(fig)) g.destroy(fig);
    throw;
  } catch (const std::exception& e) {
    // A property the graphics layer refuses, or a JSON value of a type
    // that a property cannot take.
    if (fig >= 0 && g.valid(fig)) g.destroy(fig);
    bad_layout(path, e.what());
  }
  return fig;
}

std::string installed_layout(const std::string& name) {
  fs::path folder = executable_folder();
  return folder.empty() ? std::string() : (folder / name).string();
}

std::string resolve_layout(const std::string& name) {
  fs::path p(name);
  if (p.is_absolute() || is_file(p)) return name;
  fs::path folder = executable_folder();
  if (!folder.empty() && is_file(folder / p)) return (folder / p).string();
  return name;
}

}  // namespace velmora::gui
