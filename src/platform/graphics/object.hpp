#pragma once

#include <array>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/graphics/backend.hpp"
#include "platform/render/scene.hpp"
#include "platform/value/value.hpp"

namespace velmora::gfx {

inline constexpr Handle kRoot = 0;

enum class Type { Root, Figure, Axes, Line, Text, Image, UiControl, UiMenu };

/// The "Type" property value: "root", "figure", "axes", "line", "text",
/// "image", "uicontrol", "uimenu".
std::string_view type_name(Type t);

using PropList = std::vector<std::pair<std::string, Value>>;

/// A callback implemented in C++ (message-box buttons, key handlers).
using NativeCallback = std::function<void(Handle source)>;

/// One graphics object.  Properties are stored under lower-case names.
struct Object {
  Type type = Type::Root;
  Handle handle = 0;
  Handle parent = -1;            // -1 for the root
  std::vector<Handle> children;  // in creation order
  std::map<std::string, Value> props;
  std::map<std::string, Value> appdata;
  std::map<std::string, NativeCallback> native;         // callback property → C++ code
  std::array<double, 4> pos_px{0, 0, 0, 0};             // Position in pixels (relative to parent)
  std::shared_ptr<const render::SceneSurface> surface;  // an axes' shaded surface
};

/// Lower-cases ASCII letters: property names are case-insensitive.
std::string lower(std::string_view s);

}  // namespace velmora::gfx
