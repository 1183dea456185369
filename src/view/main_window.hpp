#pragma once

#include <Eigen/Core>
#include <cstddef>
#include <string>
#include <vector>

namespace velmora::app {

struct Document;

// What the main window tells of the session beside the actions' own
// controls: the status line, the results log, the X slot and the recent
// files.  Each writes to its control when the window has it.

/// Shows `text` in the status line (tag "StatusBar").
void show_status(const std::string& text);
/// The same, drawn at once: for a line that announces a long computation
/// about to block the window.
void show_status_now(const std::string& text);
/// How many times the status line was set so far (to tell whether an
/// action set it).
std::size_t status_count();

/// Appends a test report to the results log, with the time, the data and
/// X files and the regressor and superimposition settings, and shows the
/// log in its panel (tag "ResultsLog").
void log_report(Document& doc, const std::string& title, const std::string& text);
/// The file box: the sample's file, its specimens and landmarks, and its
/// fixed landmarks and semilandmarks when it has semilandmarks.
void show_data_box(Document& doc);
/// What the results log panel shows while the log is empty.
inline constexpr const char* kResultsLogPlaceholder = "Results of each analysis appear here.";
/// Shows the whole results log in its panel (the placeholder, in grey,
/// while it is empty).
void show_results_log(Document& doc);

/// The X slot (tag "GroupBox"): "age.txt — 80 values", "Centroid size", or
/// "No File Loaded" without X.
void show_x_source(Document& doc);

/// Fills File ▸ Recent Files from the kept list (empty unless a person is
/// at the window).
void show_recent_files(Document& doc);
/// Puts a loaded landmark file at the top of the kept list and the menu.
/// Only at the window: batch runs and tests leave the list alone.
void remember_recent_file(Document& doc, const std::string& path);
/// Takes a file off the kept list and the menu.
void forget_recent_file(Document& doc, const std::string& path);

/// What quitting now would lose, in words ("the partial warp scores",
/// "2 results log entries"); empty when everything is saved.
std::vector<std::string> unsaved_results(Document& doc);

/// The plot of the main window (tag "axes1") emptied, its axis labels and
/// title blank.
void clear_main_plot();

}  // namespace velmora::app
