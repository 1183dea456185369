#include "app/presenting.hpp"

#include <sstream>

#include "app/switchyard.hpp"
#include "core/number_text.hpp"
#include "report/analysis_text.hpp"
#include "view/main_window.hpp"
#include "view/places.hpp"

namespace velmora::app {

void present(Workspace& ws, const std::string& title, const std::string& text) {
  log_report(ws, title, text);
  echo("ans", show_table_window(text, title));
}

std::string report_number(const Workspace& ws, double x) {
  return ws.window.full_precision ? shortest_number(x) : message_number(x);
}

std::string with_fit_note(std::string text, const std::string& note) {
  return note.empty() ? text : text + "\n" + note;
}

void log_with_numbers(Workspace& ws, const std::string& title, const std::string& log_text,
                      const std::string& fit_note,
                      std::initializer_list<std::pair<std::string_view, double>> numbers) {
  std::string text = with_fit_note(log_text, fit_note);
  if (ws.window.full_precision) text += "\n" + report::full_precision_line(numbers);
  log_report(ws, title, text);
}

std::string randomization_text(int permutations, std::uint64_t seed) {
  return std::to_string(permutations) + " permutations, seed " + std::to_string(seed);
}

std::optional<std::string> text_argument(const Value& fpass, const std::string& example) {
  const ValueList args = action_arguments(fpass);
  if (args.empty()) return std::nullopt;
  if (!args[0].is_char() || args[0].to_string().empty())
    refuse("The action takes text, as in " + example + ".");
  return args[0].to_string();
}

std::vector<std::string> argument_words(const Value& v) {
  std::vector<std::string> out;
  auto split = [&](const std::string& text) {
    std::istringstream in(text);
    for (std::string w; in >> w;) out.push_back(w);
  };
  if (v.is_cell()) {
    for (std::size_t i = 0; i < v.numel(); ++i) {
      const Value& e = v.at(i);
      if (e.is_char()) {
        split(e.to_string());
      } else if (e.is_double() && e.numel() == 1) {
        out.push_back(shortest_number(e(0)));
      }
    }
  } else if (v.is_char()) {
    split(v.to_string());
  } else if (v.is_double()) {
    for (std::size_t i = 0; i < v.numel(); ++i) out.push_back(shortest_number(v(i)));
  }
  return out;
}

}  // namespace velmora::app
