#pragma once

#include <string>
#include <string_view>

#include "platform/graphics/graphics.hpp"

namespace velmora::gui {

/// The root's application-data name that lists the windows opened from a
/// layout file: the base name followed by "_SINGLETON_handle", cut to its
/// first 31 characters (so base names that agree in their first 31
/// characters share one list).
std::string singleton_token(std::string_view base_name);

/// Opens a window from a layout file.
///
/// `file_name` may omit the extension (".fig" is added); any extension
/// other than exactly ".fig" is refused with "Argument must be a .fig
/// file".  `policy` "new" always loads the file; "reuse" returns the
/// newest window still open from a file of that base name and loads the
/// file only when none is; anything else is refused with "Second input
/// argument must be 'new' or 'reuse'.".  The open windows are kept as the
/// root's application data `singleton_token(base)`; closed ones are dropped
/// on every call.  The window is moved fully on screen and, when visible,
/// made the current figure.
/// @return the figure's handle
gfx::Handle openfig(const std::string& file_name, std::string_view policy = "new");

}  // namespace velmora::gui
