#include "view/results_log.hpp"

#include <algorithm>
#include <ctime>

#include "core/file_bytes.hpp"
#include "core/shown_text.hpp"

namespace velmora::app {

namespace {

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    out.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  // A report ending in a line feed has no empty last line.
  if (out.size() > 1 && out.back().empty()) out.pop_back();
  return out;
}

std::string x_name(const LogEntry& e) {
  return e.x_file.empty() ? std::string("none") : e.x_file;
}

// A fence longer than any run of backticks in the text, so that the text
// cannot end its block.
std::string fence_for(const std::string& text) {
  std::size_t longest = 0, run = 0;
  for (char c : text) {
    run = c == '`' ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return std::string(std::max<std::size_t>(3, longest + 1), '`');
}

}  // namespace

// Control bytes show escaped (the header fields as shown_name shows them,
// the report's lines as shown_lines does), so that no entry's text can make
// a line that reads as another entry's or end the Markdown's fenced block.
std::vector<std::string> ResultsLog::lines() const {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const LogEntry& e = entries_[i];
    if (i > 0) out.emplace_back();
    out.push_back(e.time + "  " + shown_name(e.title));
    out.push_back("Data: " + shown_name(e.data_file) + "   X: " + shown_name(x_name(e)) + "   " +
                  shown_name(e.settings));
    for (const std::string& line : split_lines(e.text)) out.push_back(shown_lines(line));
  }
  return out;
}

std::string ResultsLog::plain_text() const {
  std::string out;
  for (const std::string& line : lines()) out += line + "\n";
  return out;
}

std::string ResultsLog::markdown() const {
  std::string out = "# Velmora results log\n";
  for (const LogEntry& e : entries_) {
    const std::string fence = fence_for(e.text);
    out += "\n## " + shown_name(e.title) + "\n\n";
    out += "- Time: " + e.time + "\n";
    out += "- Data: " + shown_name(e.data_file) + "\n";
    out += "- X: " + shown_name(x_name(e)) + "\n";
    out += "- Settings: " + shown_name(e.settings) + "\n\n";
    out += fence + "\n";
    for (const std::string& line : split_lines(e.text)) out += shown_lines(line) + "\n";
    out += fence + "\n";
  }
  return out;
}

std::string local_time_now() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  localtime_r(&now, &parts);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &parts);
  return buf;
}

}  // namespace velmora::app
