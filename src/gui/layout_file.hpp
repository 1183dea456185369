#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "platform/graphics/graphics.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "platform/value/value.hpp"

namespace velmora::gui {

/// A layout file that cannot be used: unreadable, not JSON, a bad
/// structure, a property the graphics layer refuses, or without a control
/// the program needs.  The text names the file and what is wrong; the
/// program does not start with such a layout (exit status 2).
class LayoutError : public RuntimeError {
 public:
  using RuntimeError::RuntimeError;
};

/// The window layout file (Velmora.fig) is JSON:
///
///   {"figure": {<figure properties>},
///    "children": [{"type": "uicontrol" | "uimenu" | "axes", <properties>,
///                  "children": [...]}, ...]}
///
/// Objects keep the order of the file; uimenus nest through "children".
/// Property values map to Values by `json_to_value`.

/// A JSON property value as a Value: number → 1×1, true/false → 1/0,
/// null or [] → empty, string → char row, array of numbers → 1×n row,
/// array of equally long arrays of numbers → rows×cols matrix, any other
/// array (strings, mixed entries) → cell row of the converted entries.
/// A JSON object is not a property value (RuntimeError).
Value json_to_value(const nlohmann::ordered_json& j);

/// Loads a layout file: creates its figure invisible, then the children in
/// file order, then applies the figure's own "Visible" (default "on") and
/// records the path in "FileName".  Within each object "Units" is applied
/// before the other properties, so positions are read in the file's units.
/// A missing, unreadable or non-regular file (`Cannot open the layout file
/// "PATH": REASON.`), bad JSON (with its line and column), a bad structure
/// or a property the graphics layer refuses raises LayoutError naming the
/// file; no figure is left behind then.
/// @return the new figure's handle
gfx::Handle load_layout(const std::string& path);

/// Where a layout file named `name` is read from: an absolute name as it
/// is; a relative one in the working folder when it exists there, else
/// beside the running executable (the folder of /proc/self/exe) when it
/// exists there, else as given (the loader then reports the missing file).
std::string resolve_layout(const std::string& name);

/// The installed layout file `name`: the one beside the running executable
/// (whether it exists or not); "" when the executable's folder is unknown.
std::string installed_layout(const std::string& name);

}  // namespace velmora::gui
