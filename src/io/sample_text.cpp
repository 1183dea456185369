#include "io/sample_text.hpp"

#include "core/errors.hpp"

namespace velmora::io {

void append_csv_field(std::string& out, const std::string& text) {
  const bool quote = text.empty() || text.find_first_of(",\"\r\n") != std::string::npos ||
                     text.front() == ' ' || text.front() == '\t' || text.back() == ' ' ||
                     text.back() == '\t';
  if (!quote) {
    out += text;
    return;
  }
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

namespace {

std::string name_of(const std::vector<std::string>& names, Eigen::Index i) {
  const auto at = static_cast<std::size_t>(i);
  return at < names.size() ? names[at] : "specimen " + std::to_string(at + 1);
}

}  // namespace

std::string native_sample_text(const ImportedSample& sample) {
  std::string out;
  for (Eigen::Index i = 0; i < sample.rows.rows(); ++i) {
    for (Eigen::Index c = 0; c < sample.rows.cols(); ++c) {
      if (c > 0) out += ' ';
      append_number(out, sample.rows(i, c), NumberFormat::FullPrecision);
    }
    out += '\n';
  }
  return out;
}

std::string csv_sample_text(const ImportedSample& sample) {
  const Eigen::Index k = sample.rows.cols() / 3;
  std::string out = "specimen";
  for (Eigen::Index j = 1; j <= k; ++j) {
    const std::string n = std::to_string(j);
    out += ",x" + n + ",y" + n + ",z" + n;
  }
  out += '\n';
  for (Eigen::Index i = 0; i < sample.rows.rows(); ++i) {
    append_csv_field(out, name_of(sample.names, i));
    for (Eigen::Index c = 0; c < 3 * k; ++c) {
      out += ',';
      append_number(out, sample.rows(i, c), NumberFormat::FullPrecision);
    }
    out += '\n';
  }
  return out;
}

std::string specimen_names_text(const std::vector<std::string>& names,
                                const Eigen::Ref<const Eigen::MatrixXd>& values,
                                const std::vector<std::string>& headers, NumberFormat format) {
  return named_rows_text("specimen", names, values, headers, format);
}

std::string named_rows_text(const std::string& first_header, const std::vector<std::string>& names,
                            const Eigen::Ref<const Eigen::MatrixXd>& values,
                            const std::vector<std::string>& headers, NumberFormat format) {
  const auto n = static_cast<Eigen::Index>(names.size());
  const Eigen::Index m = values.cols();
  if (m > 0 && values.rows() != n) {
    throw NumericError("The table has " + std::to_string(values.rows()) + " rows for " +
                       std::to_string(n) + " specimen names.");
  }
  if (!headers.empty() && static_cast<Eigen::Index>(headers.size()) != m) {
    throw NumericError("The table has " + std::to_string(m) + " columns but " +
                       std::to_string(headers.size()) + " column names.");
  }
  std::string out = first_header;
  for (Eigen::Index c = 0; c < m; ++c) {
    out += ',';
    append_csv_field(out, headers.empty() ? "value" + std::to_string(c + 1)
                                          : headers[static_cast<std::size_t>(c)]);
  }
  out += '\n';
  for (Eigen::Index i = 0; i < n; ++i) {
    append_csv_field(out, names[static_cast<std::size_t>(i)]);
    for (Eigen::Index c = 0; c < m; ++c) {
      out += ',';
      append_number(out, values(i, c), format);
    }
    out += '\n';
  }
  return out;
}

}  // namespace velmora::io
