#pragma once

#include <QColor>
#include <QString>
#include <algorithm>
#include <string_view>

#include "platform/value/value.hpp"

namespace velmora::qt {

/// UTF-8 text as a QString.
inline QString qstr(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

/// An [r g b] colour value (components in [0, 1]) as a QColor, or
/// `fallback` for anything else.
inline QColor qcolor(const Value& v, QColor fallback) {
  if (!v.is_double() || v.numel() != 3) return fallback;
  auto c = [&](std::size_t i) { return static_cast<float>(std::clamp(v(i), 0.0, 1.0)); };
  return QColor::fromRgbF(c(0), c(1), c(2));
}

}  // namespace velmora::qt
