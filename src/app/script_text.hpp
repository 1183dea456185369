#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::app {

/// A byte string as a double-quoted batch-script word: `\\`, `\"`, `\n`,
/// `\t` and `\xNN` for every other control byte and every byte that is not
/// part of valid UTF-8.  Valid UTF-8 text stays readable.  Reading it back
/// with unquote_script_text gives the same bytes, whatever they were.
std::string quote_script_text(std::string_view bytes);

/// A value of a script line as a message quotes it: quote_script_text of
/// its first 32 bytes (never cut inside a UTF-8 sequence), with "..."
/// before the closing quote when it holds more.
std::string quoted_script_echo(std::string_view bytes);

/// The inverse of quote_script_text.  `quoted` starts with the opening
/// double quote; `rest` receives what follows the closing quote.
/// @return the bytes, or nullopt with `why` set (unknown escape, bad \x
///   digits, no closing quote)
std::optional<std::string> unquote_script_text(std::string_view quoted, std::string_view& rest,
                                               std::string& why);

/// The one number that `text` holds, blanks around it allowed, in decimal or
/// exponent notation with an optional sign (never the C locale's).  With
/// `finite_only`, "inf", "nan" and overflowing values are not numbers.
std::optional<double> number_from_text(std::string_view text, bool finite_only);

/// Splits text into lines at LF, CR LF or a lone CR (the terminators are
/// not kept).  A final line without terminator counts; an empty text has
/// no lines.
std::vector<std::string_view> split_script_lines(std::string_view text);

}  // namespace velmora::app
