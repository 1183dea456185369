#pragma once

#include <stdexcept>
#include <string>

namespace velmora {

/// An error of the math or graphics run-time.  It ends the running action;
/// the text is what the user sees on the console.
class RuntimeError : public std::runtime_error {
 public:
  explicit RuntimeError(const std::string& what) : std::runtime_error(what) {}
};

/// A file was not written (its folder refuses it, the disk is full, the
/// name is no file name …).  Nothing was changed; the text names the file
/// and the reason: `Cannot write the file "PATH": REASON.`  An action that
/// meets it is refused, as a data check refuses one.
class WriteError : public RuntimeError {
 public:
  explicit WriteError(const std::string& what) : RuntimeError(what) {}
};

/// A check on the user's data refused the action.  The text is shown in a
/// message box; nothing has been changed when it is thrown.
class DataRefusal : public std::runtime_error {
 public:
  explicit DataRefusal(const std::string& what, std::string title = {})
      : std::runtime_error(what), title_(std::move(title)) {}
  const std::string& title() const { return title_; }

 private:
  std::string title_;
};

/// Refuses the running action: its message box shows `text` under `title`.
[[noreturn]] inline void refuse(const std::string& text, const std::string& title = {}) {
  throw DataRefusal(text, title);
}

}  // namespace velmora
