#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace velmora::app {

/// How many landmark files the recent-files list keeps.
inline constexpr std::size_t kRecentFiles = 8;

/// The most of the recent-files list that is read: its head, in bytes.
inline constexpr std::size_t kRecentFilesBytes = 64 * 1024;

/// The file that keeps the list between runs: $XDG_CONFIG_HOME/velmora/recent,
/// or ~/.config/velmora/recent when XDG_CONFIG_HOME is unset or relative.
/// Empty when neither that nor HOME is set.
std::string recent_files_path();

/// The remembered files, most recent first: one absolute path a line;
/// blank and relative lines are skipped, repeats kept once, at most
/// kRecentFiles.  Only a regular file is read, and only its first
/// kRecentFilesBytes.  Empty when the file is missing; empty with one
/// console line when it is unreadable or no regular file (a pipe, a device).
std::vector<std::string> read_recent_files();

/// Writes the list through the safe writer, making the folder when needed.
/// @throws RuntimeError when the folder cannot be made or the file written
void write_recent_files(const std::vector<std::string>& paths);

/// `list` with `path` moved (or added) to the front, cut to kRecentFiles.
/// A path with a line break cannot be kept in the file and leaves the list
/// as it is.
std::vector<std::string> with_recent_file(std::vector<std::string> list, const std::string& path);

/// `list` without `path`.
std::vector<std::string> without_file(std::vector<std::string> list, const std::string& path);

}  // namespace velmora::app
