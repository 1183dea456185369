#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/value/value.hpp"

namespace velmora {

/// The program's console: standard output by default.  Tests and batch mode
/// redirect it to collect what the user would read.
class Console {
 public:
  using Sink = std::function<void(std::string_view)>;

  /// Writes text as it is (no line end added).
  void write(std::string_view text);
  /// Writes text followed by a line end.
  void line(std::string_view text);
  /// The named display of a value: "name =", the value, a blank line.
  void display(std::string_view name, const Value& v);
  /// Errors of actions: standard error by default.
  void error(std::string_view text);

  /// Replaces the output sink (and the error sink when given); returns the
  /// previous output sink.
  Sink redirect(Sink out);
  Sink redirect_errors(Sink err);

 private:
  Sink out_;
  Sink err_;
};

Console& console();

/// Captures everything the console writes for the life of the object.
class ConsoleCapture {
 public:
  ConsoleCapture();
  ~ConsoleCapture();
  ConsoleCapture(const ConsoleCapture&) = delete;
  ConsoleCapture& operator=(const ConsoleCapture&) = delete;
  const std::string& text() const { return text_; }
  const std::string& errors() const { return errors_; }
  void clear() { text_.clear(), errors_.clear(); }

 private:
  std::string text_;
  std::string errors_;
  Console::Sink old_out_;
  Console::Sink old_err_;
};

}  // namespace velmora
