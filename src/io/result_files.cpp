#include "io/result_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "io/row_layout.hpp"
#include "io/text_matrix.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora::io {

namespace {

constexpr std::string_view kLineEnd = " \n ";

/// Attempts at a fresh temporary name before giving up.
constexpr int kTempAttempts = 100;

[[noreturn]] void throw_write_error(const std::string& path, int error) {
  throw RuntimeError("Cannot write the file " + in_quotes(path) + ": " + std::strerror(error) +
                     ".");
}

std::filesystem::path folder_of(const std::filesystem::path& target) {
  std::filesystem::path folder = target.parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

/// Creates a new temporary file beside `target`; returns its descriptor
/// (or -1 with errno set) and its name.
int create_temp_beside(const std::filesystem::path& target, std::string& temp_name) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
    temp_name = (folder_of(target) / ("." + target.filename().string() + ".tmp-" +
                                      std::to_string(getpid()) + "-" + std::to_string(counter++)))
                    .string();
    int fd = ::open(temp_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

bool write_all(int fd, std::string_view content) {
  while (!content.empty()) {
    ssize_t n = ::write(fd, content.data(), content.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    content.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

/// Makes the rename itself durable; a failure here loses nothing already
/// written, so it is not reported.
void sync_folder(const std::filesystem::path& target) {
  int fd = ::open(folder_of(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

void append_g_line(std::string& out, std::span<const double> numbers, NumberFormat format) {
  constexpr int kSignificant = 6;
  char buf[40];
  for (double x : numbers) {
    // to_chars formats exactly as printf's %g does in the C locale; without a
    // precision it gives the shortest text that reads back to the same double.
    auto [stop, ec] =
        format == NumberFormat::FullPrecision
            ? std::to_chars(buf, buf + sizeof buf - 1, x)
            : std::to_chars(buf, buf + sizeof buf - 1, x, std::chars_format::general, kSignificant);
    *stop++ = ' ';
    out.append(buf, stop);
  }
  out += kLineEnd;
}

std::string format_g_lines(const Eigen::Ref<const Eigen::MatrixXd>& rows, NumberFormat format) {
  std::string out;
  std::vector<double> row(static_cast<std::size_t>(rows.cols()));
  for (Eigen::Index i = 0; i < rows.rows(); ++i) {
    Eigen::Map<Eigen::RowVectorXd>(row.data(), rows.cols()) = rows.row(i);
    append_g_line(out, row, format);
  }
  return out;
}

std::string row_file_text(std::span<const double> numbers, NumberFormat format) {
  std::string out;
  append_g_line(out, numbers, format);
  return out;
}

std::string score_file_text(const Eigen::Ref<const Eigen::MatrixXd>& scores,
                            std::span<const double> centroid_sizes, NumberFormat format) {
  const auto n = static_cast<std::size_t>(scores.rows());
  if (centroid_sizes.size() < n) {
    throw RuntimeError("The score matrix has " + std::to_string(n) +
                       " rows but the sample holds only " + std::to_string(centroid_sizes.size()) +
                       " specimens.");
  }
  Eigen::MatrixXd lines(scores.rows(), scores.cols() + 1);
  lines << scores, Eigen::Map<const Eigen::VectorXd>(centroid_sizes.data(), scores.rows());
  return format_g_lines(lines, format);
}

std::string reference_file_text(const Eigen::Ref<const Eigen::MatrixXd>& reference,
                                NumberFormat format) {
  if (reference.rows() > 0 && reference.cols() != 3) {
    throw RuntimeError("The reference must have 3 columns (x, y, z); it has " +
                       std::to_string(reference.cols()) + ".");
  }
  const Eigen::MatrixXd config = reference;  // contiguous, column-major
  return row_file_text(x1y1z1({config.data(), static_cast<std::size_t>(config.size())},
                              static_cast<std::size_t>(config.rows()), 1.0),
                       format);
}

void write_file_atomic(const std::string& path, std::string_view content) {
  const std::filesystem::path target(path);
  if (!target.has_filename()) throw_write_error(path, EISDIR);

  std::string temp;
  const int fd = create_temp_beside(target, temp);
  if (fd < 0) throw_write_error(path, errno);

  struct stat old {};
  if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd, old.st_mode & 07777);

  bool ok = write_all(fd, content) && ::fsync(fd) == 0;
  int error = ok ? 0 : errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    throw_write_error(path, error);
  }
  sync_folder(target);
}

}  // namespace velmora::io
