#include "platform/runtime/console.hpp"

#include <cstdio>

#include "core/shown_text.hpp"

namespace velmora {

void Console::write(std::string_view raw) {
  // No byte of a name or a value that a message holds reaches the terminal
  // as a control: only line ends and tabs stay as they are.
  const std::string text = shown_lines(raw);
  if (out_) {
    out_(text);
  } else {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }
}

void Console::line(std::string_view text) {
  write(std::string(text) + "\n");
}

void Console::display(std::string_view name, const Value& v) {
  write(named_display(name, v));
}

void Console::error(std::string_view text) {
  std::string t = shown_lines(text);
  if (t.empty() || t.back() != '\n') t += "\n";
  if (err_) {
    err_(t);
  } else {
    std::fflush(stdout);
    std::fwrite(t.data(), 1, t.size(), stderr);
    std::fflush(stderr);
  }
}

Console::Sink Console::redirect(Sink out) {
  Sink old = std::move(out_);
  out_ = std::move(out);
  return old;
}

Console::Sink Console::redirect_errors(Sink err) {
  Sink old = std::move(err_);
  err_ = std::move(err);
  return old;
}

Console& console() {
  static Console c;
  return c;
}

ConsoleCapture::ConsoleCapture() {
  old_out_ = console().redirect([this](std::string_view s) { text_.append(s); });
  old_err_ = console().redirect_errors([this](std::string_view s) { errors_.append(s); });
}

ConsoleCapture::~ConsoleCapture() {
  console().redirect(std::move(old_out_));
  console().redirect_errors(std::move(old_err_));
}

}  // namespace velmora
