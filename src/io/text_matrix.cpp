#include "io/text_matrix.hpp"

#include <sys/mman.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

#include "platform/runtime/runtime_error.hpp"

namespace velmora::io {

namespace {

constexpr bool is_separator(char c) {
  return c == ' ' || c == '\t' || c == ',' || c == '\r';
}
constexpr bool ends_token(char c) {
  return is_separator(c) || c == '\n';
}

/// Messages quote at most this many bytes of an offending word.
constexpr std::size_t kMaxQuotedWord = 32;

/// True when the line starting at `p` is one character long counting its
/// terminator and that character is blank, so that it ends the data.
bool ends_reading(const char* p, const char* end) {
  return *p == '\n' || (p + 1 == end && (*p == ' ' || *p == '\r'));
}

const char* word_end(const char* p, const char* end) {
  while (p < end && !ends_token(*p)) ++p;
  return p;
}

/// A word as a message shows it: control characters as '?', long words cut
/// (never inside a UTF-8 sequence).
std::string word_for_message(const char* b, const char* e) {
  std::size_t n = static_cast<std::size_t>(e - b);
  bool cut = n > kMaxQuotedWord;
  if (cut) {
    n = kMaxQuotedWord;
    while (n > 0 && (static_cast<unsigned char>(b[n]) & 0xC0) == 0x80) --n;
  }
  std::string shown(b, n);
  for (char& c : shown)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return cut ? shown + "..." : shown;
}

/// A number that a double cannot hold: ±inf when it is too large, ±0 when
/// too small.  [b, e) is the decimal or exponent notation that matched.
double out_of_range_value(const char* b, const char* e) {
  const bool negative = b < e && *b == '-';
  if (negative) ++b;
  // Decimal exponent of the first significant digit, before the "e" part.
  bool seen_point = false, seen_digit = false;
  long long int_digits = 0, frac_zeros = 0;
  for (; b < e && *b != 'e' && *b != 'E'; ++b) {
    if (*b == '.') {
      seen_point = true;
    } else if (!seen_digit && *b == '0') {
      if (seen_point) ++frac_zeros;
    } else {
      seen_digit = true;
      if (!seen_point) ++int_digits;
    }
  }
  const long long lead = int_digits > 0 ? int_digits - 1 : -(frac_zeros + 1);
  long long exponent = 0;
  if (b < e) {
    ++b;
    const bool exp_negative = b < e && *b == '-';
    if (b < e && (*b == '-' || *b == '+')) ++b;
    for (; b < e; ++b) exponent = std::min(exponent * 10 + (*b - '0'), 1'000'000'000LL);
    if (exp_negative) exponent = -exponent;
  }
  const double magnitude = lead + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  return negative ? -magnitude : magnitude;
}

[[noreturn]] void throw_at(std::string_view label, std::size_t line, std::size_t column,
                           const std::string& what) {
  throw RuntimeError(in_quotes(label) + " line " + std::to_string(line) + ", column " +
                     std::to_string(column) + ": " + what);
}

std::string count_text(std::size_t n) {
  return std::to_string(n) + (n == 1 ? " number" : " numbers");
}

std::vector<double> to_column_major(const std::vector<double>& row_major, std::size_t rows,
                                    std::size_t cols) {
  std::vector<double> out(row_major.size());
  // Blocks of rows keep both the reads and the strided writes in cache.
  constexpr std::size_t kBlock = 64;
  for (std::size_t r0 = 0; r0 < rows; r0 += kBlock) {
    const std::size_t r1 = std::min(rows, r0 + kBlock);
    for (std::size_t c = 0; c < cols; ++c)
      for (std::size_t r = r0; r < r1; ++r) out[r + rows * c] = row_major[r * cols + c];
  }
  return out;
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

Value TextMatrix::to_value() const {
  return Value::array(rows, cols, 1, values);
}

std::string in_quotes(std::string_view label) {
  return "\"" + std::string(label) + "\"";
}

FileText::FileText(FileText&& other) noexcept {
  *this = std::move(other);
}

FileText& FileText::operator=(FileText&& other) noexcept {
  if (this != &other) {
    release();
    ok_ = std::exchange(other.ok_, false);
    map_ = std::exchange(other.map_, nullptr);
    map_size_ = std::exchange(other.map_size_, 0);
    bytes_ = std::move(other.bytes_);
    reason_ = std::move(other.reason_);
  }
  return *this;
}

FileText::~FileText() {
  release();
}

void FileText::release() {
  if (map_) ::munmap(map_, map_size_);
  map_ = nullptr;
  map_size_ = 0;
}

std::string_view FileText::text() const {
  return map_ ? std::string_view(static_cast<const char*>(map_), map_size_)
              : std::string_view(bytes_);
}

FileText FileText::read(const std::string& path) {
  FileText out;
  std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    out.reason_ = std::strerror(errno);
    return out;
  }
  struct stat st {};
  const bool known = fstat(fileno(f.get()), &st) == 0;
  if (known && S_ISDIR(st.st_mode)) {
    out.reason_ = std::strerror(EISDIR);
    return out;
  }
  if (known && S_ISREG(st.st_mode) && st.st_size > 0) {
    void* map = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ,
                       MAP_PRIVATE | MAP_POPULATE, fileno(f.get()), 0);
    if (map != MAP_FAILED) {
      out.map_ = map;
      out.map_size_ = static_cast<std::size_t>(st.st_size);
      out.ok_ = true;
      return out;
    }
  }
  // Pipes, devices and files that cannot be mapped are read in chunks.
  constexpr std::size_t kChunk = 1 << 16;
  char chunk[kChunk];
  for (;;) {
    const std::size_t got = std::fread(chunk, 1, kChunk, f.get());
    out.bytes_.append(chunk, got);
    if (got < kChunk) break;
  }
  if (std::ferror(f.get())) {
    out.reason_ = std::strerror(errno);
    out.bytes_.clear();
    return out;
  }
  out.ok_ = true;
  return out;
}

TextMatrix parse_text_matrix(std::string_view text, std::string_view label, bool finite_only) {
  const char* p = text.data();
  const char* const end = p + text.size();
  std::vector<double> row_major;
  row_major.reserve(text.size() / 8);
  std::size_t rows = 0, cols = 0;

  while (p < end) {
    if (rows > 0 && ends_reading(p, end)) break;
    const std::size_t line = rows + 1;
    const char* const line_start = p;
    std::size_t count = 0;
    for (;;) {
      while (p < end && is_separator(*p)) ++p;
      if (p == end) break;
      if (*p == '\n') {
        ++p;
        break;
      }
      const char* number = p;
      if (*p == '+' && p + 1 < end && p[1] != '-' && p[1] != '+') ++number;
      double v = 0;
      auto [stop, ec] = std::from_chars(number, end, v);
      const std::size_t column = static_cast<std::size_t>(p - line_start) + 1;
      if (ec == std::errc::invalid_argument || (stop < end && !ends_token(*stop))) {
        throw_at(label, line, column,
                 in_quotes(word_for_message(p, word_end(p, end))) + " is not a number.");
      }
      if (ec == std::errc::result_out_of_range) v = out_of_range_value(number, stop);
      if (finite_only && !std::isfinite(v))
        throw_at(label, line, column,
                 in_quotes(word_for_message(p, stop)) + " is not a finite number.");
      row_major.push_back(v);
      ++count;
      p = stop;
    }
    if (line == 1) {
      cols = count;
    } else if (count != cols) {
      throw RuntimeError(in_quotes(label) + " line " + std::to_string(line) + ": expected " +
                         count_text(cols) + ", found " + std::to_string(count) + ".");
    }
    ++rows;
  }

  TextMatrix m;
  m.rows = rows;
  m.cols = cols;
  m.values = to_column_major(row_major, rows, cols);
  return m;
}

std::optional<TextMatrix> dload(const std::string& path) {
  const FileText file = FileText::read(path);
  if (!file.ok()) return std::nullopt;
  return parse_text_matrix(file.text(), path);
}

}  // namespace velmora::io
