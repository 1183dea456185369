#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace velmora::app {

/// One report of a test, with what it was computed from.
struct LogEntry {
  std::string time;       ///< local time, "2026-12-09 16:40:12"
  std::string data_file;  ///< the landmark file's name
  std::string x_file;     ///< the X file's name, "Centroid size", or "" without X
  std::string settings;   ///< "regress on ln X, classic superimposition"
  std::string title;      ///< the report's title, as its message window shows it
  std::string text;       ///< the report; lines separated by '\n'
};

/// Every test report of the session, oldest first, and how many of them a
/// Save Results Log has written.  Loading or clearing data keeps it.
class ResultsLog {
 public:
  void add(LogEntry entry) { entries_.push_back(std::move(entry)); }
  const std::vector<LogEntry>& entries() const { return entries_; }
  bool empty() const { return entries_.empty(); }
  /// Entries added since the last save.
  std::size_t unsaved() const { return entries_.size() - saved_; }
  void mark_saved() { saved_ = entries_.size(); }

  /// The panel's lines: for each entry a header line (time and title), a
  /// line of data file, X file and settings, the report's lines, and a
  /// blank line between entries.
  std::vector<std::string> lines() const;
  /// The whole log as plain text: the panel's lines, one a line.
  std::string plain_text() const;
  /// The whole log as Markdown: a heading a report, its facts as a list and
  /// the report verbatim in a fenced block.
  std::string markdown() const;

 private:
  std::vector<LogEntry> entries_;
  std::size_t saved_ = 0;
};

/// The local time now as "YYYY-MM-DD HH:MM:SS".
std::string local_time_now();

}  // namespace velmora::app
