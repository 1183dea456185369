// Matching the answer lines of a batch script (open, save, choose, cancel)
// to the dialogs the next action or call asks.
#include <algorithm>
#include <cstddef>

#include "app/batch_internal.hpp"
#include "app/script_text.hpp"
#include "io/landmark_import.hpp"
#include "mesh/surface.hpp"

namespace velmora::app::batch_detail {

// "open "/tmp/x.txt"", as the answer's line reads.
std::string answer_text(const BatchCommand& a) {
  switch (a.kind) {
    case BatchCommand::Kind::Open:
      return "open " + quote_script_text(a.name);
    case BatchCommand::Kind::Save:
      return "save " + quote_script_text(a.name);
    case BatchCommand::Kind::Choose:
      return "choose " + quoted_script_echo(a.name);
    default:
      return "cancel";
  }
}

bool is_answer(const BatchCommand& c) {
  return c.kind == BatchCommand::Kind::Open || c.kind == BatchCommand::Kind::Save ||
         c.kind == BatchCommand::Kind::Choose || c.kind == BatchCommand::Kind::Cancel;
}

namespace {

// The kind of dialog an answer is for.
const char* dialog_kind(const BatchCommand& a) {
  switch (a.kind) {
    case BatchCommand::Kind::Open:
      return "open";
    case BatchCommand::Kind::Save:
      return "save";
    default:
      return "list";
  }
}

}  // namespace

std::vector<gfx::FilePick> Answers::answer(const gfx::HeadlessBackend::Dialog& d) {
  const BatchCommand* a = take(d);
  if (!a) return {};
  std::vector<gfx::FilePick> picks{pick_of(*a)};
  if (!d.several) return picks;
  // A run of open lines answers one dialog when it names markup files or
  // scans, which come several at a time; other files one a dialog.
  std::size_t run = 0;
  bool several = io::is_markup_file(a->name) || mesh::is_surface_file(a->name);
  for (; run < queue_.size() && queue_[run]->kind == BatchCommand::Kind::Open; ++run)
    several = several || io::is_markup_file(queue_[run]->name);
  if (!several) return picks;
  for (std::size_t i = 0; i < run; ++i) picks.push_back(pick_of(*queue_[i]));
  queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(run));
  return picks;
}

std::optional<std::size_t> Answers::choose(const gfx::HeadlessBackend::Dialog& d) {
  const BatchCommand* a = take(d);
  if (!a) return std::nullopt;
  auto at = std::find(d.items.begin(), d.items.end(), a->name);
  if (at == d.items.end()) {
    std::string offered;
    for (const std::string& item : d.items)
      offered += (offered.empty() ? "" : ", ") + quote_script_text(item);
    throw BatchStop{kBatchMalformed, who() + " asked the list dialog \"" + d.title +
                                         "\", but the answer on line " + std::to_string(a->line) +
                                         " (" + answer_text(*a) +
                                         ") is none of its items: " + offered + "."};
  }
  return static_cast<std::size_t>(at - d.items.begin());
}

std::string Answers::who() const {
  return line_text(taker_->line) + ": " + taker_->name;
}

const BatchCommand* Answers::take(const gfx::HeadlessBackend::Dialog& d) {
  const std::string dialog = "the " + d.kind + " dialog \"" + d.title + "\"";
  if (queue_.empty()) {
    const std::string want = d.kind == "list"   ? "a \"choose ITEM"
                             : d.kind == "open" ? "an \"open PATH"
                                                : "a \"save PATH";
    throw BatchStop{kBatchMalformed, who() + " asked " + dialog +
                                         " but no answer was given for it: put " + want +
                                         "\" or \"cancel\" line before it."};
  }
  const BatchCommand& a = *queue_.front();
  if (a.kind != BatchCommand::Kind::Cancel && d.kind != dialog_kind(a)) {
    throw BatchStop{kBatchMalformed, who() + " asked " + dialog + ", but the answer on line " +
                                         std::to_string(a.line) + " (" + answer_text(a) +
                                         ") is for a " + dialog_kind(a) +
                                         " dialog; nothing was written."};
  }
  queue_.pop_front();
  return a.kind == BatchCommand::Kind::Cancel ? nullptr : &a;
}

gfx::FilePick pick_of(const BatchCommand& a) {
  auto slash = a.name.find_last_of('/');
  if (slash == std::string::npos) return gfx::FilePick{"./", a.name};
  return gfx::FilePick{a.name.substr(0, slash + 1), a.name.substr(slash + 1)};
}

}  // namespace velmora::app::batch_detail
