#include "report/report_text.hpp"

#include <algorithm>

#include "core/number_text.hpp"
#include "platform/runtime/cformat.hpp"
#include "platform/value/value.hpp"

namespace velmora::report {

std::string p_value_text(const std::string& label, double p) {
  if (p < kSmallestPrintedP) return "p < 1e-300";
  return label + cformat("%3.8g", {p});
}

std::string full_precision_line(std::initializer_list<NamedNumber> numbers) {
  std::string out = "Full precision:";
  const char* sep = " ";
  for (const auto& [name, value] : numbers) {
    out += sep + std::string(name) + " = " + format_number_exact(value);
    sep = "; ";
  }
  return out;
}

std::string table_cell(double x, bool full) {
  return full ? shortest_number(x) : message_number(x);
}

std::string aligned(const TableRows& rows) {
  std::vector<std::size_t> width;
  for (const auto& row : rows)
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (width.size() <= c) width.push_back(0);
      width[c] = std::max(width[c], row[c].size());
    }
  std::string out;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      const std::string pad(width[c] - row[c].size(), ' ');
      // The first column (names) to the left, numbers to the right.
      line += (c ? "  " + pad + row[c] : row[c] + pad);
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line + "\n";
  }
  return out;
}

std::string percent_text(double share) {
  return cformat("%.1f %%", {100 * share});
}

std::string within_text(const std::string& factor) {
  return factor.empty() ? std::string() : " within groups of " + factor;
}

}  // namespace velmora::report
