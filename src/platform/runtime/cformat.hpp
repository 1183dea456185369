#pragma once

#include <string>
#include <string_view>

#include "platform/value/value.hpp"

namespace velmora {

/// C-style formatting of the run-time: the two-character sequence "\n" in
/// `format` is a line break (and "\t" a tab, "\\" a backslash, "%%" a
/// percent sign); every conversion (%d %i %u %f %e %g %x %c %s with flags,
/// width and precision) takes the next argument.  Number arrays give one
/// argument per element; text is one argument for %s (or one per character
/// for a number conversion).  When arguments remain after the format is used
/// up, the format is used again, as the run-time does.
std::string cformat(std::string_view format, const ValueList& args);

}  // namespace velmora
