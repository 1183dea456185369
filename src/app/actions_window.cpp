// The session as a whole: the results log written out, quitting, and the
// Help menu.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/actions.hpp"
#include "app/switchyard.hpp"
#include "app/workspace.hpp"
#include "core/shown_text.hpp"
#include "platform/runtime/safe_file.hpp"
#include "view/loaders.hpp"
#include "view/main_window.hpp"
#include "view/places.hpp"

namespace velmora::app {

namespace {

std::string lower_extension(const std::string& name) {
  const auto dot = name.find_last_of('.');
  return dot == std::string::npos ? std::string() : lower_text(name.substr(dot));
}

std::string joined(const std::vector<std::string>& words) {
  std::string out;
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (i > 0) out += i + 1 == words.size() ? " and " : ", ";
    out += words[i];
  }
  return out;
}

}  // namespace

void actions::save_results_log(Workspace& ws, const Value&) {
  ResultsLog& log = ws.window.log;
  if (log.empty()) {
    refuse(
        "The results log is empty: its entries are the reports of Plot Procrustes Distance, "
        "Wilks' Lambda Test, Permutation Test and Show PCA.",
        "Results log not saved");
  }
  auto pick = pick_file_to_save("*.txt;*.md", "Save Results Log");
  if (!pick) return;
  const bool markdown = lower_extension(pick->name) == ".md";
  try {
    write_file_safely(pick->path(), markdown ? log.markdown() : log.plain_text());
  } catch (const std::exception& e) {
    refuse(e.what(), "Results log not saved");
  }
  log.mark_saved();
  const std::size_t n = log.entries().size();
  show_status("Saved results log: " + pick->path() + " (" + std::to_string(n) +
              (n == 1 ? " entry" : " entries") + (markdown ? ", Markdown)" : ")"));
}

void actions::quit(Workspace& ws, const Value&) {
  if (ws.window.desktop) {
    const std::vector<std::string> unsaved = unsaved_results(ws);
    if (!unsaved.empty() &&
        !ask_yes_no("These results are not saved: " + joined(unsaved) + ".\n\nQuit Velmora anyway?",
                    "Quit Velmora")) {
      return;
    }
  }
  // Every window goes, the 3D window and the reports too; the program ends
  // with the last one.
  close_all_windows();
}

void actions::about(Workspace&, const Value&) {
  show_about_box(std::string("Velmora ") + VELMORA_VERSION +
                 "\n\nThree-dimensional geometric morphometrics: Procrustes "
                 "superimposition, partial warps, regression of shape on one variable "
                 "and its tests.\n\nHelp > User Guide (F1) walks through a first "
                 "analysis.");
}

namespace {

// The README beside the program, in the installed documentation, or in the
// source tree it was built from.
std::vector<std::string> readme_places() {
  std::vector<std::string> places;
  const std::string beside = file_beside_program("README.md");
  if (!beside.empty()) {
    places.push_back(beside);
    const std::filesystem::path folder = std::filesystem::path(beside).parent_path();
    places.push_back((folder.parent_path() / "share" / "doc" / "velmora" / "README.md").string());
  }
  places.emplace_back(VELMORA_README);
  return places;
}

}  // namespace

std::string user_guide_section(const std::string& readme) {
  // From the heading of the first analysis to the next heading of its level.
  constexpr std::string_view kHeading = "## A first analysis";
  std::size_t start =
      readme.rfind(kHeading, 0) == 0 ? 0 : readme.find("\n" + std::string(kHeading));
  if (start == std::string::npos) return readme;
  if (readme[start] == '\n') ++start;
  const std::size_t end = readme.find("\n## ", start);
  return readme.substr(start, end == std::string::npos ? std::string::npos : end + 1 - start);
}

std::string guide_with_pictures(const std::string& markdown,
                                const std::vector<std::string>& folders) {
  std::string out;
  std::size_t at = 0;
  for (std::size_t open; (open = markdown.find("![", at)) != std::string::npos;) {
    const std::size_t mid = markdown.find("](", open);
    const std::size_t close = mid == std::string::npos ? mid : markdown.find(')', mid);
    if (close == std::string::npos || markdown.find('\n', open) < close) {
      out.append(markdown, at, open + 2 - at);  // not a picture on one line
      at = open + 2;
      continue;
    }
    out.append(markdown, at, open - at);
    const std::string alt = markdown.substr(open + 2, mid - open - 2);
    const std::filesystem::path path = markdown.substr(mid + 2, close - mid - 2);
    std::string found;
    std::error_code ec;
    if (path.is_absolute()) {
      if (std::filesystem::is_regular_file(path, ec)) found = path.string();
    } else {
      for (const std::string& folder : folders)
        if (const auto candidate = std::filesystem::path(folder) / path;
            std::filesystem::is_regular_file(candidate, ec)) {
          found = candidate.string();
          break;
        }
    }
    out += found.empty() ? "*" + alt + "*" : "![" + alt + "](" + found + ")";
    at = close + 1;
  }
  out.append(markdown, at, std::string::npos);
  return out;
}

void actions::user_guide(Workspace&, const Value&) {
  std::string readme;
  std::string found;
  for (const std::string& place : readme_places()) {
    std::ifstream in(place, std::ios::binary);
    if (!in) continue;
    readme.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    found = place;
    break;
  }
  if (found.empty()) {
    refuse("The user guide README.md is not installed: it was looked for at " +
               joined(readme_places()) + ".",
           "User Guide");
  }
  // The README beside the program is a copy: its pictures stay in the
  // source tree's docs folder.
  const std::vector<std::string> folders{
      std::filesystem::path(found).parent_path().string(),
      std::filesystem::path(VELMORA_README).parent_path().string()};
  show_document("Velmora User Guide", guide_with_pictures(user_guide_section(readme), folders));
}

}  // namespace velmora::app
