#pragma once

#include <Eigen/Core>
#include <array>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class Value;
using ValueList = std::vector<Value>;

/// The array value of the math run-time.
///
/// One of four kinds:
///  - Double: a dense column-major array of doubles with up to three
///    dimensions (rows × cols × pages); a scalar is 1×1;
///  - Char: a row of UTF-16 characters (1×n);
///  - Cell: a rows × cols array of values, column-major;
///  - Struct: a 1×1 record with ordered named fields.
/// A value with a zero dimension is empty and stands for "not set".  The
/// default value is the empty 0×0 double array.
class Value {
 public:
  enum class Kind { Double, Char, Cell, Struct };

  Value() = default;
  Value(double x);                                 // NOLINT: a number is a 1×1 value
  Value(int x) : Value(static_cast<double>(x)) {}  // NOLINT
  Value(const char* utf8);                         // NOLINT: text is a char row
  Value(std::string_view utf8);                    // NOLINT
  Value(const std::string& utf8) : Value(std::string_view(utf8)) {}  // NOLINT

  /// Zero-filled double array of the given size.
  static Value zeros(std::size_t rows, std::size_t cols, std::size_t pages = 1);
  /// Double array adopting `data` (column-major, rows·cols·pages entries).
  static Value array(std::size_t rows, std::size_t cols, std::size_t pages,
                     std::vector<double> data);
  static Value row(std::initializer_list<double> xs);
  static Value row(const std::vector<double>& xs);
  static Value column(const std::vector<double>& xs);
  static Value matrix(const Eigen::Ref<const Eigen::MatrixXd>& m);
  static Value from_u16(std::u16string chars);
  /// Cell array of empty values.
  static Value cell(std::size_t rows, std::size_t cols);
  static Value cell_row(ValueList items);
  /// 1×1 record without fields.
  static Value record();
  /// Logical result, stored as 0 or 1.
  static Value boolean(bool b) { return Value(b ? 1.0 : 0.0); }

  Kind kind() const { return kind_; }
  bool is_double() const { return kind_ == Kind::Double; }
  bool is_char() const { return kind_ == Kind::Char; }
  bool is_cell() const { return kind_ == Kind::Cell; }
  bool is_struct() const { return kind_ == Kind::Struct; }

  std::size_t rows() const { return dims_[0]; }
  std::size_t cols() const { return dims_[1]; }
  std::size_t pages() const { return dims_[2]; }
  const std::array<std::size_t, 3>& dims() const { return dims_; }
  std::size_t numel() const { return dims_[0] * dims_[1] * dims_[2]; }
  /// 2, or 3 when the array has more than one page.
  int ndims() const { return dims_[2] > 1 ? 3 : 2; }
  bool empty() const { return numel() == 0; }
  bool is_scalar() const { return numel() == 1 && (is_double() || is_char()); }
  /// True when the value is non-empty and every number is non-zero (the
  /// run-time's truth of a condition).  Text is true when non-empty.
  bool is_true() const;

  // --- doubles -----------------------------------------------------------
  const std::vector<double>& data() const;
  std::vector<double>& data();
  double operator()(std::size_t i) const { return data()[i]; }
  double& operator()(std::size_t i) { return data()[i]; }
  double operator()(std::size_t r, std::size_t c, std::size_t p = 0) const;
  double& operator()(std::size_t r, std::size_t c, std::size_t p = 0);
  /// Moves the numbers out, leaving an empty value.
  std::vector<double> take_data();

  /// The single number; throws RuntimeError naming `what` otherwise.
  double to_scalar(std::string_view what = "value") const;
  /// A two-dimensional double array as a matrix; throws otherwise.
  Eigen::MatrixXd to_matrix(std::string_view what = "value") const;
  /// All numbers in order as a vector (any shape).
  Eigen::VectorXd to_vector(std::string_view what = "value") const;

  // --- text --------------------------------------------------------------
  const std::u16string& chars() const;
  /// The text as UTF-8; throws RuntimeError unless the value is text.
  std::string to_string(std::string_view what = "value") const;
  /// The text of a char value, or the empty string for any other kind.
  std::string text_or_empty() const;

  // --- cells -------------------------------------------------------------
  const Value& at(std::size_t i) const;
  Value& at(std::size_t i);
  const ValueList& items() const;

  // --- records -----------------------------------------------------------
  bool has_field(std::string_view name) const;
  const Value& field(std::string_view name) const;
  /// Adds the field when it does not exist yet (fields keep insertion order).
  void set_field(std::string_view name, Value v);
  const std::vector<std::string>& field_names() const { return field_names_; }

  friend bool operator==(const Value& a, const Value& b);

 private:
  Kind kind_ = Kind::Double;
  std::array<std::size_t, 3> dims_{0, 0, 1};
  std::vector<double> num_;
  std::u16string chars_;
  ValueList items_;  // cell entries or record field values
  std::vector<std::string> field_names_;
};

std::u16string utf8_to_u16(std::string_view s);
std::string u16_to_utf8(std::u16string_view s);

/// Formats a number the way the console shows it ("%.4f" style for
/// non-integers, integers without decimals).
std::string format_number(double x);

/// The console display of a named value: a "name =" line, then the value,
/// then one blank line.
/// As format_number, but a number that is not a whole number is written in
/// the shortest form that reads back to the same double.
std::string format_number_exact(double x);
/// `exact`: numbers as format_number_exact, so that a handle or a value
/// typed back from the display is the same double.
std::string named_display(std::string_view name, const Value& v, bool exact = false);

}  // namespace velmora
