#include "app/batch.hpp"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <deque>
#include <filesystem>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "app/app_state.hpp"
#include "app/inputs.hpp"
#include "app/script_text.hpp"
#include "app/session.hpp"
#include "app/switchyard.hpp"
#include "app/velmora.hpp"
#include "app/view3d.hpp"
#include "core/file_bytes.hpp"
#include "io/landmark_import.hpp"
#include "platform/graphics/graphics.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/function_table.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::app {

namespace {

std::string trim(std::string_view s) {
  std::size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string_view::npos) return {};
  std::size_t b = s.find_last_not_of(" \t\r");
  return std::string(s.substr(a, b - a + 1));
}

bool is_identifier(std::string_view s) {
  if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  for (char c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  return true;
}

// A word of a call line as a number; "inf" and "nan" are numbers too.
std::optional<double> parse_number(std::string_view s) {
  return number_from_text(s, false);
}

// Splits the arguments of a "call" line: numbers, [1 2 3] rows, [] and
// quoted strings ('…' or "…").  Bare words are text.
ValueList parse_call_args(std::string_view s, int line) {
  ValueList out;
  std::size_t i = 0;
  auto fail = [&](const std::string& why) {
    throw std::invalid_argument("line " + std::to_string(line) + ": " + why);
  };
  while (i < s.size()) {
    if (s[i] == ' ' || s[i] == '\t') {
      ++i;
      continue;
    }
    if (s[i] == '\'' || s[i] == '"') {
      char q = s[i];
      std::size_t end = s.find(q, i + 1);
      if (end == std::string_view::npos) fail("unterminated quoted text");
      out.emplace_back(std::string(s.substr(i + 1, end - i - 1)));
      i = end + 1;
      continue;
    }
    if (s[i] == '[') {
      std::size_t end = s.find(']', i);
      if (end == std::string_view::npos) fail("unterminated [ ... ]");
      // Rows are separated by ";", numbers by blanks or commas.
      std::string body(s.substr(i + 1, end - i - 1));
      for (char& c : body)
        if (c == ',') c = ' ';
      std::vector<std::vector<double>> rows;
      std::istringstream row_texts(body);
      std::string row_text;
      while (std::getline(row_texts, row_text, ';')) {
        std::istringstream parts(row_text);
        std::vector<double> row;
        std::string part;
        while (parts >> part) {
          auto v = parse_number(part);
          if (!v) fail("\"" + part + "\" in [ ... ] is not a number");
          row.push_back(*v);
        }
        if (!row.empty()) rows.push_back(std::move(row));
      }
      for (const auto& r : rows)
        if (r.size() != rows[0].size()) fail("the rows of [ ... ] differ in length");
      Value m = Value::zeros(rows.size(), rows.empty() ? 0 : rows[0].size());
      for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < rows[r].size(); ++c) m(r, c) = rows[r][c];
      out.push_back(rows.empty() ? Value() : m);
      i = end + 1;
      continue;
    }
    std::size_t end = s.find_first_of(" \t", i);
    if (end == std::string_view::npos) end = s.size();
    std::string_view word = s.substr(i, end - i);
    if (auto v = parse_number(word)) {
      out.emplace_back(*v);
    } else {
      out.emplace_back(std::string(word));
    }
    i = end;
  }
  return out;
}

/// The 3-D window's sides a script may ask for, in pixels.
constexpr double kSmallestFigure = 1, kLargestFigure = 10000;

std::string resolve(const std::string& path, const std::string& base) {
  if (path.empty() || path[0] == '/' || base.empty()) return path;
  return base + (base.back() == '/' ? "" : "/") + path;
}

// The path of an open/save line, the item of a choose line or the value of
// a set line: "…" with
// escapes, '…' as written, or the bare rest of the line.
std::string script_value(const std::string& rest, const std::function<void(std::string)>& fail,
                         std::string_view what) {
  if (rest[0] == '"') {
    std::string_view after;
    std::string why;
    auto text = unquote_script_text(rest, after, why);
    if (!text) fail(why);
    if (!trim(after).empty())
      fail("nothing may follow the closing quote of a " + std::string(what));
    if (text->empty() && (what == "path" || what == "item"))
      fail("the quoted " + std::string(what) + " is empty");
    return *text;
  }
  if (rest.size() >= 2 && rest[0] == '\'' && rest.back() == '\'')
    return rest.substr(1, rest.size() - 2);
  return rest;
}

// The numbers of a view or figsize line, each checked by `fits`.
ValueList script_numbers(const std::string& rest, std::size_t count,
                         bool (*fits)(std::size_t, double)) {
  std::istringstream words(rest);
  std::string word;
  ValueList out;
  while (words >> word) {
    const auto v = number_from_text(word, true);
    if (!v || out.size() >= count || !fits(out.size(), *v)) return {};
    out.emplace_back(*v);
  }
  return out.size() == count ? out : ValueList{};
}

}  // namespace

std::vector<BatchCommand> parse_batch(std::istream& in, const std::string& base_folder) {
  std::vector<BatchCommand> out;
  const std::string whole{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  int line = 0;
  for (std::string_view raw : split_script_lines(whole)) {
    ++line;
    std::string text = trim(raw);
    if (text.empty() || text[0] == '#') continue;
    std::size_t sp = text.find_first_of(" \t");
    std::string head = text.substr(0, sp);
    std::string rest = sp == std::string::npos ? "" : trim(text.substr(sp));
    auto fail = [&](const std::string& why) {
      throw std::invalid_argument("line " + std::to_string(line) + ": " + why);
    };
    BatchCommand c{BatchCommand::Kind::Action, line, {}, {}};
    // A raw NUL byte would reach a function or a control as a name cut
    // short; a path with one is refused below, with the path shown.
    if (is_identifier(head) && head != "open" && head != "save" &&
        rest.find('\0') != std::string::npos)
      fail(quote_script_text(rest) + " holds a NUL byte (\\x00), which no script line may hold");
    if (head == "open" || head == "save") {
      if (rest.empty()) fail("\"" + head + "\" needs a file path");
      c.kind = head == "open" ? BatchCommand::Kind::Open : BatchCommand::Kind::Save;
      c.name = resolve(script_value(rest, fail, "path"), base_folder);
      // The system would see a name cut short at its NUL: another file.
      if (std::string why = nul_in_name_reason(c.name); !why.empty())
        fail("the path " + quote_script_text(c.name) + " is no file name: " + why);
    } else if (head == "choose") {
      if (rest.empty()) fail("\"choose\" needs the text of the item to pick");
      c.kind = BatchCommand::Kind::Choose;
      c.name = script_value(rest, fail, "item");
    } else if (head == "cancel") {
      if (!rest.empty()) fail("\"cancel\" takes nothing after it");
      c.kind = BatchCommand::Kind::Cancel;
    } else if (head == "set") {
      std::size_t sp2 = rest.find_first_of(" \t");
      c.kind = BatchCommand::Kind::Set;
      c.name = rest.substr(0, sp2);
      const std::string value = sp2 == std::string::npos ? "" : trim(rest.substr(sp2));
      if (!is_identifier(c.name) || value.empty()) fail("\"set\" needs a control tag and a value");
      c.args.emplace_back(script_value(value, fail, "value"));
    } else if (head == "view") {
      c.kind = BatchCommand::Kind::View;
      c.args = script_numbers(rest, 3, [](std::size_t i, double v) {
        return i == 0 || (i == 1 && v >= -90 && v <= 90) || (i == 2 && v > 0);
      });
      if (c.args.empty()) {
        fail(
            "\"view\" takes three numbers: the azimuth, the elevation (from -90 to 90) and "
            "the zoom (above 0)");
      }
    } else if (head == "figsize") {
      c.kind = BatchCommand::Kind::FigSize;
      c.args = script_numbers(rest, 2, [](std::size_t, double v) {
        return v >= kSmallestFigure && v <= kLargestFigure;
      });
      if (c.args.empty()) {
        fail(
            "\"figsize\" takes two numbers: the 3-D window's width and height in pixels, each "
            "from " +
            format_number(kSmallestFigure) + " to " + format_number(kLargestFigure));
      }
    } else if (head == "call" || head == "call0") {
      std::size_t sp2 = rest.find_first_of(" \t");
      c.kind = BatchCommand::Kind::Call;
      c.no_outputs = head == "call0";
      c.name = rest.substr(0, sp2);
      if (!is_identifier(c.name)) fail("\"" + head + "\" needs a function name");
      c.args = parse_call_args(sp2 == std::string::npos ? "" : rest.substr(sp2), line);
    } else {
      if (!is_identifier(head)) fail(quote_script_text(head) + " is not an action name");
      c.name = head;
      if (!rest.empty()) {
        ValueList a = parse_call_args(rest, line);
        if (a.size() != 1) fail("an action takes at most one argument");
        c.args = std::move(a);
      }
    }
    out.push_back(std::move(c));
  }
  return out;
}

namespace {

// True when the main window has a control for `action` (with `fpass`) and
// every such control is disabled.
bool control_disabled(gfx::Handle main, const std::string& action, const ValueList& fpass) {
  auto& g = gfx::graphics();
  bool found = false, enabled = false;
  for (gfx::Handle h : g.all_objects(main)) {
    if (!g.has_property(h, "Callback") || !g.has_property(h, "Enable")) continue;
    Value cb = g.get(h, "Callback");
    if (!cb.is_cell() || cb.numel() < 2) continue;
    if (cb.at(0).text_or_empty() != "velmorasw" || cb.at(1).text_or_empty() != action) continue;
    if (!fpass.empty() && (cb.numel() < 3 || !(cb.at(2) == fpass[0]))) continue;
    found = true;
    if (g.get_text(h, "Enable") != "off") enabled = true;
  }
  return found && !enabled;
}

/// Ends the script at once with an exit status.  Not a std::exception, so
/// that no action's error handling can take it for one of its own.
struct BatchStop {
  int status;
  std::string message;
};

std::string line_text(int line) {
  return "batch line " + std::to_string(line);
}

// "open "/tmp/x.txt"", as the answer's line reads.
std::string answer_text(const BatchCommand& a) {
  switch (a.kind) {
    case BatchCommand::Kind::Open:
      return "open " + quote_script_text(a.name);
    case BatchCommand::Kind::Save:
      return "save " + quote_script_text(a.name);
    case BatchCommand::Kind::Choose:
      return "choose " + quote_script_text(a.name);
    default:
      return "cancel";
  }
}

bool is_answer(const BatchCommand& c) {
  return c.kind == BatchCommand::Kind::Open || c.kind == BatchCommand::Kind::Save ||
         c.kind == BatchCommand::Kind::Choose || c.kind == BatchCommand::Kind::Cancel;
}

// A `call velmorasw ACTION [ARG]` line runs exactly as the bare action.
BatchCommand as_action(const BatchCommand& c) {
  if (c.kind != BatchCommand::Kind::Call || c.name != "velmorasw" || c.args.empty() ||
      c.args.size() > 2 || !c.args[0].is_char())
    return c;
  BatchCommand a{BatchCommand::Kind::Action, c.line, c.args[0].to_string(), {}};
  if (c.args.size() == 2) a.args.push_back(c.args[1]);
  return a;
}

// Every action and function the script names must exist before any line
// runs, so that a typing error cannot leave a queued answer to a later
// dialog.
std::optional<BatchStop> check_names(const std::vector<BatchCommand>& script) {
  for (const BatchCommand& c : script) {
    if (c.kind == BatchCommand::Kind::Action && !find_action(c.name)) {
      std::string hint;
      for (const ActionSpec& s : action_table()) {
        if (s.name.size() != c.name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < c.name.size() && same; ++i)
          same = std::tolower(static_cast<unsigned char>(s.name[i])) ==
                 std::tolower(static_cast<unsigned char>(c.name[i]));
        if (same) hint = " (did you mean " + std::string(s.name) + "?)";
      }
      return BatchStop{kBatchMalformed, line_text(c.line) + ": \"" + c.name +
                                            "\" is not an action of Velmora" + hint +
                                            "; nothing was run."};
    }
    if (c.kind == BatchCommand::Kind::Set && !find_input(c.name)) {
      std::string tags;
      for (const InputControl& i : input_controls())
        tags += (tags.empty() ? "" : ", ") + std::string(i.tag);
      return BatchStop{kBatchMalformed, line_text(c.line) + ": \"" + c.name +
                                            "\" is not a control that set can change (" + tags +
                                            "); nothing was run."};
    }
    if (c.kind == BatchCommand::Kind::Call && c.name == "velmorasw") {
      // as_action() has made every well-formed call an action line.
      return BatchStop{
          kBatchMalformed,
          line_text(c.line) +
              ": \"call velmorasw\" takes the name of an action and at most one "
              "argument, as in \"call velmorasw SetPlotDensity 30\"; nothing was run."};
    }
    if (c.kind == BatchCommand::Kind::Call && !find_by_name(c.name)) {
      return BatchStop{kBatchMalformed, line_text(c.line) + ": there is no function \"" + c.name +
                                            "\" to call; nothing was run."};
    }
  }
  return std::nullopt;
}

// The main window's control tagged `tag`.
std::optional<gfx::Handle> window_control(gfx::Handle main, std::string_view tag) {
  auto& g = gfx::graphics();
  for (gfx::Handle h : g.all_objects(main))
    if (g.has_property(h, "Tag") && g.get_text(h, "Tag") == tag) return h;
  return std::nullopt;
}

// The entries of a pop-up menu.
std::vector<std::string> popup_items(gfx::Handle h) {
  const Value items = gfx::graphics().get(h, "String");
  std::vector<std::string> out;
  if (items.is_cell()) {
    for (std::size_t i = 0; i < items.numel(); ++i) out.push_back(items.at(i).text_or_empty());
  } else if (items.is_char()) {
    out.push_back(items.to_string());
  }
  return out;
}

// Every set line must name a control of the window and, for a pop-up or a
// check box, one of its choices, before any line runs.  A pop-up's entry
// given by its text becomes its number.
std::optional<BatchStop> check_set_values(std::vector<BatchCommand>& script, gfx::Handle main) {
  for (BatchCommand& c : script) {
    if (c.kind != BatchCommand::Kind::Set) continue;
    const InputControl* input = find_input(c.name);
    const auto h = window_control(main, c.name);
    if (!input || !h) {
      return BatchStop{kBatchMalformed, line_text(c.line) + ": the main window has no control \"" +
                                            c.name + "\"; nothing was run."};
    }
    const std::string value = c.args.at(0).to_string();
    if (input->kind == InputKind::Popup) {
      const std::vector<std::string> items = popup_items(*h);
      std::optional<double> entry = number_from_text(value, true);
      if (entry && !(*entry >= 1 && *entry <= static_cast<double>(items.size()) &&
                     *entry == std::floor(*entry)))
        entry.reset();
      for (std::size_t i = 0; i < items.size() && !entry; ++i)
        if (items[i] == value) entry = static_cast<double>(i + 1);
      if (!entry) {
        std::string listed;
        for (const std::string& item : items)
          listed += (listed.empty() ? "" : ", ") + quote_script_text(item);
        return BatchStop{kBatchMalformed, line_text(c.line) + ": " + quote_script_text(value) +
                                              " is not an entry of the " + c.name +
                                              " pop-up menu: give its number "
                                              "from 1 to " +
                                              std::to_string(items.size()) + " or its text (" +
                                              listed + "); nothing was run."};
      }
      c.args[0] = Value(*entry);
    } else if (input->kind == InputKind::Check) {
      const std::string word = gfx::lower(value);
      if (word != "1" && word != "0" && word != "on" && word != "off") {
        return BatchStop{kBatchMalformed, line_text(c.line) + ": the check box " + c.name +
                                              " is set to 1 or 0 (on or off), not " +
                                              quote_script_text(value) + "; nothing was run."};
      }
      c.args[0] = Value(word == "1" || word == "on" ? 1.0 : 0.0);
    }
  }
  return std::nullopt;
}

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

gfx::FilePick pick_of(const BatchCommand& a) {
  auto slash = a.name.find_last_of('/');
  if (slash == std::string::npos) return gfx::FilePick{"./", a.name};
  return gfx::FilePick{a.name.substr(0, slash + 1), a.name.substr(slash + 1)};
}

/// Hands the answers queued before an action or call to its dialogs: an
/// `open` answer only to an open dialog, a `save` answer only to a save
/// dialog, a `choose` answer only to a list dialog that offers its item,
/// `cancel` to any.  An open dialog that takes several files takes the run
/// of `open` answers at the front when one of them is a markup file (the
/// files that can be loaded together), else the first alone.  A dialog
/// without a fitting answer stops the script before anything is read or
/// written.
class Answers {
 public:
  void add(const BatchCommand& a) { queue_.push_back(&a); }
  bool empty() const { return queue_.empty(); }
  const BatchCommand& front() const { return *queue_.front(); }
  void clear() { queue_.clear(); }

  void begin(const BatchCommand& taker) { taker_ = &taker; }

  std::vector<gfx::FilePick> answer(const gfx::HeadlessBackend::Dialog& d) {
    const BatchCommand* a = take(d);
    if (!a) return {};
    std::vector<gfx::FilePick> picks{pick_of(*a)};
    if (!d.several) return picks;
    std::size_t run = 0;
    bool markup = io::is_markup_file(a->name);
    for (; run < queue_.size() && queue_[run]->kind == BatchCommand::Kind::Open; ++run)
      markup = markup || io::is_markup_file(queue_[run]->name);
    if (!markup) return picks;
    for (std::size_t i = 0; i < run; ++i) picks.push_back(pick_of(*queue_[i]));
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(run));
    return picks;
  }

  std::optional<std::size_t> choose(const gfx::HeadlessBackend::Dialog& d) {
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

 private:
  std::string who() const { return line_text(taker_->line) + ": " + taker_->name; }

  // The answer at the front when it fits the dialog, taken from the queue;
  // nullptr for a cancel.
  const BatchCommand* take(const gfx::HeadlessBackend::Dialog& d) {
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

  std::deque<const BatchCommand*> queue_;
  const BatchCommand* taker_ = nullptr;
};

// A set line: the control takes the value as typing or choosing would, and
// its callback runs.
int set_control(const BatchCommand& c, gfx::Handle main, gfx::HeadlessBackend* hb) {
  auto& g = gfx::graphics();
  const InputControl* input = find_input(c.name);
  const auto h = window_control(main, c.name);
  if (!input || !h) return kBatchError;  // checked before the script ran
  if (g.get_text(*h, "Enable") == "off") {
    hb->message_box(
        "The control " + c.name + " is disabled in the main window, so it cannot be set now.", "");
    return kBatchRefused;
  }
  g.make_current(main);
  g.set(*h, input->kind == InputKind::Edit ? "String" : "Value", c.args[0]);
  clear_input_report();
  g.run_callback(*h, "Callback");
  const ActionReport& r = last_input_report();
  if (r.outcome == Outcome::Failed) {
    console().error(line_text(c.line) + ": " + r.message);
    return kBatchError;
  }
  return r.outcome == Outcome::Refused ? kBatchRefused : kBatchOk;
}

int run_commands(const std::vector<BatchCommand>& script, gfx::Handle main,
                 gfx::HeadlessBackend* hb) {
  auto& g = gfx::graphics();
  Answers answers;
  hb->answer_source = [&answers](const gfx::HeadlessBackend::Dialog& d) {
    return answers.answer(d);
  };
  // The answers die with this run; a dialog after it must not reach them.
  struct Unhook {
    gfx::HeadlessBackend* hb;
    ~Unhook() { hb->answer_source = nullptr; }
  } unhook{hb};
  hb->choice_source = [&answers](const gfx::HeadlessBackend::Dialog& d) {
    return answers.choose(d);
  };
  int status = kBatchOk;
  for (const BatchCommand& c : script) {
    if (is_answer(c)) {
      answers.add(c);
      continue;
    }
    answers.begin(c);
    int outcome = kBatchOk;
    if (c.kind == BatchCommand::Kind::Set) {
      outcome = set_control(c, main, hb);
    } else if (c.kind == BatchCommand::Kind::View || c.kind == BatchCommand::Kind::FigSize) {
      View3d& v = state().view3d;
      if (c.kind == BatchCommand::Kind::View) {
        v.azimuth = c.args[0](0), v.elevation = c.args[1](0), v.zoom = c.args[2](0);
      } else {
        v.width = c.args[0](0), v.height = c.args[1](0);
      }
      apply_view3d();
    } else if (c.kind == BatchCommand::Kind::Action) {
      if (g.valid(main)) g.make_current(main);
      if (g.valid(main) && control_disabled(main, c.name, c.args)) {
        hb->message_box(
            "The control for " + c.name + " is disabled in the main window, so it cannot run now.",
            "");
        outcome = kBatchRefused;
      } else {
        gfx::Graphics::CallbackScope scope(g, main);
        ActionReport r = run_action(Value(c.name), c.args.empty() ? Value() : c.args[0]);
        if (r.outcome == Outcome::Failed) {
          console().error(line_text(c.line) + ": " + r.message);
          outcome = kBatchError;
        } else if (r.outcome == Outcome::Refused) {
          outcome = kBatchRefused;
        }
      }
    } else {
      try {
        const FunctionSpec* spec = find_by_name(c.name);
        const int nargout = c.no_outputs || (spec && spec->nargout == 0) ? 0 : 1;
        ValueList res = call_by_name(c.name, c.args, nargout);
        // Exact digits, so that a handle or number typed back from the
        // display names the same object.
        if (!res.empty()) console().write(named_display("ans", res[0], true));
      } catch (const WriteError& e) {
        console().error(line_text(c.line) + ": " + e.what());
        outcome = kBatchRefused;
      } catch (const std::exception& e) {
        console().error(line_text(c.line) + ": " + e.what());
        outcome = kBatchError;
      }
    }
    if (!answers.empty()) {
      throw BatchStop{kBatchMalformed,
                      line_text(c.line) + ": " + c.name + " did not use the answer on line " +
                          std::to_string(answers.front().line) + " (" +
                          answer_text(answers.front()) + "); the script stops here."};
    }
    if (outcome == kBatchError) return kBatchError;
    if (outcome == kBatchRefused) status = kBatchRefused;
    if (!g.valid(main)) {
      // Quit closed the windows: the run ends as the program would.
      if (&c != &script.back()) {
        console().error(line_text(c.line) + ": " + c.name +
                        " closed the main window; the lines after it were not run.");
      }
      return status;
    }
  }
  if (!answers.empty()) {
    throw BatchStop{kBatchMalformed, line_text(answers.front().line) + ": the answer " +
                                         answer_text(answers.front()) +
                                         " is not followed by an action that uses it."};
  }
  return status;
}

}  // namespace

int run_batch(const std::vector<BatchCommand>& parsed) {
  auto& g = gfx::install_graphics(std::make_unique<gfx::HeadlessBackend>());
  auto* hb = gfx::headless_backend();
  hb->on_message = [](const gfx::HeadlessBackend::Message& m) {
    console().write(m.title.empty() ? std::string("msgbox:\n") : "msgbox: " + m.title + "\n");
    console().write(m.text + "\n");
  };
  register_all_functions();
  // A script starts from what a fresh start of the program shows.
  reset_state();
  std::vector<BatchCommand> script;
  script.reserve(parsed.size());
  for (const BatchCommand& c : parsed) script.push_back(as_action(c));
  if (auto stop = check_names(script)) {
    console().error(stop->message);
    return stop->status;
  }
  ValueList opened = velmora({}, 1);
  if (opened.empty()) {
    console().error("The main window could not be opened.");
    return kBatchError;
  }
  gfx::Handle main = opened[0].to_scalar();
  g.set(main, "Visible", "off");
  if (auto stop = check_set_values(script, main)) {
    console().error(stop->message);
    return stop->status;
  }
  // Nobody to ask: Quit quits, and no file joins the recent-files list.
  state().desktop = false;
  // SaveSessionScript writes what the script has run so far.
  session().clear();
  session().start_recording();
  try {
    return run_commands(script, main, hb);
  } catch (const BatchStop& stop) {
    console().error(stop.message);
    return stop.status;
  }
}

int run_batch_file(const std::string& path) {
  std::vector<BatchCommand> script;
  try {
    // A regular file, or a pipe read as a stream (standard input, a shell's
    // <(…), a named FIFO); a folder or a device is no script.
    FileBytes file = path == "-" ? read_stream(STDIN_FILENO) : read_file_or_pipe(path);
    if (!file.ok) {
      console().error("Cannot read the batch script \"" + shown_name(path) + "\": " + file.reason +
                      ".");
      return kBatchMalformed;
    }
    // Relative paths stay valid after a dialog changes the working folder.
    // Standard input and a shell's <(…) (/dev/fd/N) have no folder of their
    // own: their relative paths are the working folder's.
    const bool anonymous =
        path == "-" || path.rfind("/dev/", 0) == 0 || path.rfind("/proc/", 0) == 0;
    const std::string folder = anonymous
                                   ? std::filesystem::current_path().string() + "/"
                                   : std::filesystem::absolute(path).parent_path().string() + "/";
    std::istringstream in(std::move(file.bytes));
    script = parse_batch(in, folder);
  } catch (const std::invalid_argument& e) {
    console().error("Malformed batch script \"" + shown_name(path) + "\", " + e.what());
    return kBatchMalformed;
  }
  return run_batch(script);
}

}  // namespace velmora::app
