#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The pieces every report text is made of: p values, the line of exact
// numbers, table cells and aligned columns (so that Save Table writes what
// was printed).

namespace velmora::report {

/// A table as it prints: the header row, then one row a printed line, every
/// cell the printed text ("NA" where nothing applies).
using TableRows = std::vector<std::vector<std::string>>;

/// A named number of a report, written exactly on the Full-precision line.
using NamedNumber = std::pair<std::string_view, double>;

/// Upper tails below this are printed as "p < 1e-300": they are at or
/// beyond the end of the doubles, where no digit of them is reliable.
inline constexpr double kSmallestPrintedP = 1e-300;

/// How every report prints a p value: `label` then the value ("p value=
/// 0.0012"), or "p < 1e-300" for a tail below kSmallestPrintedP.
std::string p_value_text(const std::string& label, double p);

/// "Full precision: NAME = VALUE; …", every value in the shortest text that
/// reads back to the same double.
std::string full_precision_line(std::initializer_list<NamedNumber> numbers);

/// A number of a table: six significant digits, or with `full_precision`
/// the shortest text that reads back to the same double.
std::string table_cell(double x, bool full_precision);

/// Rows of cells as lines of text: each column as wide as its widest cell,
/// columns two blanks apart, the first (names) to the left and the others
/// (numbers) to the right, no blank at a line's end; every line ends in a
/// line feed.
std::string aligned(const TableRows& rows);

/// A share as a percentage with one decimal: "12.3 %".
std::string percent_text(double share);

/// " within groups of population": what a pooled within-group analysis
/// adds to its name; empty for one over all specimens (no `factor`).
std::string within_text(const std::string& factor);

}  // namespace velmora::report
