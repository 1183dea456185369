#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/file_bytes.hpp"

namespace velmora {

/// The most bytes of a value that a message echoes (shown_text).
inline constexpr std::size_t kShownTextBytes = 32;
/// The most bytes of a model formula that a record of what was done (a
/// console line, the log's settings) shows: every usual model whole.
inline constexpr std::size_t kShownFormulaBytes = 200;

/// A value the user gave (a table's column name or level, a model formula
/// or term, a script argument) as a message echoes it: its first `limit`
/// bytes (never cut inside a UTF-8 sequence), then "..." when it holds
/// more, with control bytes escaped as shown_name escapes a file name.
/// However long or strange the value, the echo stays short and on one line.
std::string shown_text(std::string_view text, std::size_t limit = kShownTextBytes);

/// A message of one or more lines as the console or a log writes it:
/// control bytes escaped as shown_name escapes them, but line feeds and
/// tabs kept, so that no byte of it can move the cursor, clear the screen
/// or end the text early.
std::string shown_lines(std::string_view text);

/// `text` with its ASCII capitals in small letters ("PNG" → "png"), as file
/// extensions and words of a script are compared.
std::string lower_text(std::string_view text);

}  // namespace velmora
