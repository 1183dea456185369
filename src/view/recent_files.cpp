#include "view/recent_files.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "core/file_bytes.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"
#include "platform/runtime/safe_file.hpp"

namespace velmora::app {

namespace fs = std::filesystem;

namespace {

bool is_absolute_path(const std::string& s) {
  return !s.empty() && s[0] == '/';
}

}  // namespace

std::string recent_files_path() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  fs::path folder;
  if (config && is_absolute_path(config)) {
    folder = config;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    folder = fs::path(home) / ".config";
  } else {
    return {};
  }
  return (folder / "velmora" / "recent").string();
}

std::vector<std::string> read_recent_files() {
  std::vector<std::string> out;
  const std::string path = recent_files_path();
  if (path.empty()) return out;
  // Only a regular file is read, and only its head: a pipe or a device
  // put in its place must not hold up the window, nor one huge line fill
  // the memory.
  bool cut = false;
  FileBytes file = read_regular_file(path, kRecentFilesBytes, &cut);
  if (!file.ok) {
    if (file.reason != std::strerror(ENOENT))
      console().write("The recent-files list \"" + shown_name(path) +
                      "\" is ignored: " + file.reason + ".\n");
    return out;
  }
  if (cut) {
    // The line the cap cut in two is no path.
    const std::size_t end = file.bytes.find_last_of('\n');
    file.bytes.resize(end == std::string::npos ? 0 : end + 1);
  }
  std::istringstream in(std::move(file.bytes));
  std::string line;
  while (out.size() < kRecentFiles && std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!is_absolute_path(line)) continue;
    if (std::find(out.begin(), out.end(), line) == out.end()) out.push_back(line);
  }
  return out;
}

void write_recent_files(const std::vector<std::string>& paths) {
  const std::string path = recent_files_path();
  if (path.empty()) {
    throw RuntimeError("Cannot keep the recent files: neither XDG_CONFIG_HOME nor HOME is set.");
  }
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  if (ec) {
    throw RuntimeError("Cannot make the folder \"" + fs::path(path).parent_path().string() +
                       "\" for the recent files: " + ec.message() + ".");
  }
  std::string text;
  for (const std::string& p : paths) text += p + "\n";
  write_file_safely(path, text);
}

std::vector<std::string> with_recent_file(std::vector<std::string> list, const std::string& path) {
  if (!is_absolute_path(path) || path.find_first_of("\r\n") != std::string::npos) return list;
  list = without_file(std::move(list), path);
  list.insert(list.begin(), path);
  if (list.size() > kRecentFiles) list.resize(kRecentFiles);
  return list;
}

std::vector<std::string> without_file(std::vector<std::string> list, const std::string& path) {
  std::erase(list, path);
  return list;
}

}  // namespace velmora::app
