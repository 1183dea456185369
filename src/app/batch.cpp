#include "app/batch.hpp"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>

#include "app/switchyard.hpp"
#include "app/velmora.hpp"
#include "platform/graphics/graphics.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/function_table.hpp"

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

std::optional<double> parse_number(std::string_view s) {
  double v = 0;
  const char* first = s.data();
  if (!s.empty() && s[0] == '+') ++first;
  auto [p, ec] = std::from_chars(first, s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size() || first == s.data() + s.size())
    return std::nullopt;
  return v;
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

std::string resolve(const std::string& path, const std::string& base) {
  if (path.empty() || path[0] == '/' || base.empty()) return path;
  return base + (base.back() == '/' ? "" : "/") + path;
}

}  // namespace

std::vector<BatchCommand> parse_batch(std::istream& in, const std::string& base_folder) {
  std::vector<BatchCommand> out;
  std::string raw;
  int line = 0;
  while (std::getline(in, raw)) {
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
    if (head == "open" || head == "save") {
      if (rest.empty()) fail("\"" + head + "\" needs a file path");
      c.kind = head == "open" ? BatchCommand::Kind::Open : BatchCommand::Kind::Save;
      if (rest.size() >= 2 && (rest[0] == '"' || rest[0] == '\'') && rest.back() == rest[0])
        rest = rest.substr(1, rest.size() - 2);
      c.name = resolve(rest, base_folder);
    } else if (head == "cancel") {
      if (!rest.empty()) fail("\"cancel\" takes nothing after it");
      c.kind = BatchCommand::Kind::Cancel;
    } else if (head == "call") {
      std::size_t sp2 = rest.find_first_of(" \t");
      c.kind = BatchCommand::Kind::Call;
      c.name = rest.substr(0, sp2);
      if (!is_identifier(c.name)) fail("\"call\" needs a function name");
      c.args = parse_call_args(sp2 == std::string::npos ? "" : rest.substr(sp2), line);
    } else {
      if (!is_identifier(head)) fail("\"" + head + "\" is not an action name");
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

}  // namespace

int run_batch(const std::vector<BatchCommand>& script) {
  auto& g = gfx::install_graphics(std::make_unique<gfx::HeadlessBackend>());
  auto* hb = gfx::headless_backend();
  hb->on_message = [](const gfx::HeadlessBackend::Message& m) {
    console().write(m.title.empty() ? std::string("msgbox:\n") : "msgbox: " + m.title + "\n");
    console().write(m.text + "\n");
  };
  hb->on_unanswered_dialog = [](const gfx::HeadlessBackend::Dialog& d) {
    console().error("Warning: no answer was queued for the dialog \"" + d.title +
                    "\"; it counts as cancelled.");
  };
  register_all_functions();
  ValueList opened = velmora({}, 1);
  if (opened.empty()) {
    console().error("The main window could not be opened.");
    return kBatchError;
  }
  gfx::Handle main = opened[0].to_scalar();
  g.set(main, "Visible", "off");

  int status = kBatchOk;
  for (const BatchCommand& c : script) {
    switch (c.kind) {
      case BatchCommand::Kind::Open:
      case BatchCommand::Kind::Save:
        hb->queue_path(c.name);
        break;
      case BatchCommand::Kind::Cancel:
        hb->queue_cancel();
        break;
      case BatchCommand::Kind::Action: {
        if (g.valid(main)) g.make_current(main);
        if (g.valid(main) && control_disabled(main, c.name, c.args)) {
          hb->message_box("The control for " + c.name +
                              " is disabled in the main window, so it cannot run now.",
                          "");
          status = kBatchRefused;
          break;
        }
        gfx::Graphics::CallbackScope scope(g, main);
        ActionReport r = run_action(Value(c.name), c.args.empty() ? Value() : c.args[0]);
        if (r.outcome == Outcome::Failed) {
          console().error("batch line " + std::to_string(c.line) + ": " + r.message);
          return kBatchError;
        }
        if (r.outcome == Outcome::Refused) status = kBatchRefused;
        break;
      }
      case BatchCommand::Kind::Call: {
        try {
          const FunctionSpec* spec = function_table().find(c.name);
          int nargout = spec && spec->nargout == 0 ? 0 : 1;
          ValueList res = function_table().call(c.name, c.args, nargout);
          if (!res.empty()) console().display("ans", res[0]);
        } catch (const std::exception& e) {
          console().error("batch line " + std::to_string(c.line) + ": " + e.what());
          return kBatchError;
        }
        break;
      }
    }
  }
  return status;
}

int run_batch_file(const std::string& path) {
  std::vector<BatchCommand> script;
  try {
    if (path == "-") {
      script = parse_batch(std::cin, std::filesystem::current_path().string() + "/");
    } else {
      std::ifstream in(path);
      if (!in) {
        console().error("Cannot open the batch script \"" + path + "\".");
        return kBatchMalformed;
      }
      // Relative paths stay valid after a dialog changes the working folder.
      std::string folder = std::filesystem::absolute(path).parent_path().string() + "/";
      script = parse_batch(in, folder);
    }
  } catch (const std::invalid_argument& e) {
    console().error("Malformed batch script \"" + path + "\", " + e.what());
    return kBatchMalformed;
  }
  return run_batch(script);
}

}  // namespace velmora::app
