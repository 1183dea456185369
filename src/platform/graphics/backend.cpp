#include "platform/graphics/backend.hpp"

#include <algorithm>
#include <cstdio>

namespace velmora::gfx {

std::string ExportSize::text() const {
  auto number = [](double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return std::string(buf);
  };
  std::string out;
  if (custom) out = number(width) + "x" + number(height) + (inches ? "in" : "cm");
  if (custom || dpi != 300) out += (out.empty() ? "" : ",") + number(dpi) + "dpi";
  if (text_pt > 0) out += (out.empty() ? "" : ",") + number(text_pt) + "pt";
  return out;
}

std::string AnimationSettings::text() const {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%d,%dx%d,%dfps", frames, width, height, fps);
  std::string out = buf;
  if (scale_top > 0) {
    std::snprintf(buf, sizeof buf, ",scale=%.6g", scale_top);
    out += buf;
  }
  return out;
}

std::array<double, 2> Backend::text_extent_pt(std::string_view text, double font_size_pt,
                                              std::string_view /*font_name*/) const {
  // Without a font engine: an average glyph is about 0.55 em wide and a line
  // 1.25 em high, close to DejaVu Sans.
  std::size_t lines = 1, longest = 0, current = 0;
  for (char c : text) {
    if (c == '\n') {
      ++lines;
      longest = std::max(longest, current);
      current = 0;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++current;
    }
  }
  longest = std::max(longest, current);
  return {static_cast<double>(longest) * 0.55 * font_size_pt,
          static_cast<double>(lines) * 1.25 * font_size_pt};
}

namespace {

FilePick split(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return FilePick{"./", path};
  return FilePick{path.substr(0, slash + 1), path.substr(slash + 1)};
}

}  // namespace

void HeadlessBackend::queue_answer(std::optional<FilePick> pick) {
  answers_.emplace_back();
  if (pick) answers_.back().push_back(std::move(*pick));
}

void HeadlessBackend::queue_path(const std::string& path) {
  answers_.push_back({split(path)});
}

void HeadlessBackend::queue_paths(const std::vector<std::string>& paths) {
  std::vector<FilePick> picks;
  for (const std::string& p : paths) picks.push_back(split(p));
  answers_.push_back(std::move(picks));
}

std::vector<FilePick> HeadlessBackend::answer(std::string kind, std::string_view filter,
                                              std::string_view title, bool several) {
  Dialog d{std::move(kind), std::string(filter), std::string(title), true, several, {}};
  if (answer_source) {
    dialogs_.push_back(d);
    return answer_source(d);
  }
  d.answered = !answers_.empty();
  dialogs_.push_back(d);
  if (answers_.empty()) {
    if (on_unanswered_dialog) on_unanswered_dialog(d);
    return {};
  }
  std::vector<FilePick> a = std::move(answers_.front());
  answers_.pop_front();
  if (!several && a.size() > 1) a.resize(1);
  return a;
}

std::optional<FilePick> HeadlessBackend::open_file_dialog(std::string_view filter,
                                                          std::string_view title) {
  std::vector<FilePick> a = answer("open", filter, title, false);
  if (a.empty()) return std::nullopt;
  return std::move(a.front());
}

std::optional<FilePick> HeadlessBackend::save_file_dialog(std::string_view filter,
                                                          std::string_view title) {
  std::vector<FilePick> a = answer("save", filter, title, false);
  if (a.empty()) return std::nullopt;
  return std::move(a.front());
}

std::vector<FilePick> HeadlessBackend::open_files_dialog(std::string_view filter,
                                                         std::string_view title) {
  return answer("open", filter, title, true);
}

std::optional<std::size_t> HeadlessBackend::list_dialog(std::string_view title,
                                                        std::string_view /*prompt*/,
                                                        const std::vector<std::string>& items) {
  Dialog d{"list", {}, std::string(title), true, false, items};
  if (choice_source) {
    dialogs_.push_back(d);
    return choice_source(d);
  }
  d.answered = !choices_.empty();
  dialogs_.push_back(d);
  if (choices_.empty()) {
    if (on_unanswered_dialog) on_unanswered_dialog(d);
    return std::nullopt;
  }
  std::optional<std::string> item = std::move(choices_.front());
  choices_.pop_front();
  if (!item) return std::nullopt;
  auto at = std::find(items.begin(), items.end(), *item);
  if (at == items.end()) return std::nullopt;
  return static_cast<std::size_t>(at - items.begin());
}

std::optional<ExportSize> HeadlessBackend::export_size_dialog(std::string_view,
                                                              const ExportSize& start,
                                                              std::array<double, 2>, bool) {
  ++export_size_dialogs_;
  if (export_sizes_.empty()) return start;
  std::optional<ExportSize> a = std::move(export_sizes_.front());
  export_sizes_.pop_front();
  return a;
}

std::optional<AnimationSettings> HeadlessBackend::animation_dialog(std::string_view,
                                                                   const AnimationSettings& start) {
  ++animation_dialogs_;
  if (animations_.empty()) return start;
  std::optional<AnimationSettings> a = std::move(animations_.front());
  animations_.pop_front();
  return a;
}

void HeadlessBackend::message_box(std::string_view text, std::string_view title) {
  messages_.push_back({std::string(title), std::string(text), false});
  if (on_message) on_message(messages_.back());
}

void HeadlessBackend::message_window_shown(Handle, std::string_view title, std::string_view text) {
  messages_.push_back({std::string(title), std::string(text), true});
  if (on_message) on_message(messages_.back());
}

bool HeadlessBackend::ask_yes_no(std::string_view text, std::string_view title) {
  const bool yes = !yes_no_.empty() && yes_no_.front();
  if (!yes_no_.empty()) yes_no_.pop_front();
  questions_.push_back({std::string(title), std::string(text), yes});
  return yes;
}

void HeadlessBackend::show_document(std::string_view title, std::string_view markdown) {
  documents_.push_back({std::string(title), std::string(markdown)});
}

}  // namespace velmora::gfx
