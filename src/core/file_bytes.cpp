#include "core/file_bytes.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>

namespace velmora {

namespace {

/// Bytes read at a time past the size the file had when it was opened.
constexpr std::size_t kChunk = 1 << 16;

}  // namespace

std::string not_regular_reason(unsigned mode) {
  switch (mode & S_IFMT) {
    case S_IFREG:
      return {};
    case S_IFDIR:
      return std::strerror(EISDIR);
    case S_IFIFO:
      return "it is a named pipe (FIFO), not a regular file";
    case S_IFCHR:
      return "it is a character device, not a regular file";
    case S_IFBLK:
      return "it is a block device, not a regular file";
    case S_IFSOCK:
      return "it is a socket, not a regular file";
    case S_IFLNK:
      return "it is a symbolic link, not a regular file";
    default:
      return "it is not a regular file";
  }
}

std::string nul_in_name_reason(std::string_view name) {
  if (name.find('\0') == std::string_view::npos) return {};
  return "the name holds a NUL byte (\\x00), which no file name can hold";
}

std::string shown_name(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u != 0x7F) {
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[u >> 4];
      out += kHex[u & 15];
    }
  }
  return out;
}

// Reads `fd` into out.bytes (whose present size is room already made) until
// its end or `limit` bytes, growing the room by kChunk; false, with the
// reason and no bytes, when a read fails.
static bool read_up_to(int fd, std::size_t limit, FileBytes& out) {
  std::size_t have = 0;
  while (have < limit) {
    if (have == out.bytes.size()) out.bytes.resize(std::min(have + kChunk, limit));
    const ssize_t n = ::read(fd, out.bytes.data() + have, out.bytes.size() - have);
    if (n < 0) {
      if (errno == EINTR) continue;
      out.reason = std::strerror(errno);
      out.bytes.clear();
      return false;
    }
    if (n == 0) break;
    have += static_cast<std::size_t>(n);
  }
  out.bytes.resize(have);
  return true;
}

FileBytes read_stream(int fd) {
  FileBytes out;
  try {
    if (!read_up_to(fd, std::numeric_limits<std::size_t>::max(), out)) return out;
  } catch (const std::bad_alloc&) {
    out.bytes = std::string();
    out.reason = "there is not enough memory to read it";
    return out;
  }
  out.ok = true;
  return out;
}

FileBytes read_file_or_pipe(const std::string& path) {
  FileBytes out;
  struct stat st {};
  if (std::string why = nul_in_name_reason(path); !why.empty()) {
    out.reason = why;
    return out;
  }
  if (::stat(path.c_str(), &st) != 0) {
    out.reason = std::strerror(errno);
    return out;
  }
  if (!S_ISFIFO(st.st_mode)) return read_regular_file(path);
  // A pipe is read as its writer gives it, so the open waits for one.
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
    out.reason = std::strerror(errno);
    return out;
  }
  if (!S_ISFIFO(st.st_mode)) {
    out.reason = not_regular_reason(st.st_mode);
    if (out.reason.empty()) out.reason = "it was replaced by a regular file while it was opened";
    return out;
  }
  return read_stream(fd.get());
}

FileBytes read_regular_file(const std::string& path, std::size_t limit, bool* cut) {
  FileBytes out;
  if (cut) *cut = false;
  if (std::string why = nul_in_name_reason(path); !why.empty()) {
    out.reason = why;
    return out;
  }
  // The kind of file is known before it is opened, so that opening a
  // device has no effect of its own; the open does not wait on a pipe.
  struct stat before {};
  if (::stat(path.c_str(), &before) != 0) {
    out.reason = std::strerror(errno);
    return out;
  }
  if (std::string why = not_regular_reason(before.st_mode); !why.empty()) {
    out.reason = why;
    return out;
  }
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) {
    out.reason = std::strerror(errno);
    return out;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    out.reason = std::strerror(errno);
    return out;
  }
  if (std::string why = not_regular_reason(st.st_mode); !why.empty()) {
    out.reason = why;  // replaced between the two looks
    return out;
  }
  try {
    std::size_t size = std::min(static_cast<std::size_t>(st.st_size), limit);
    // Room for the one read past the end that finds it, so that a file of
    // the size it had is never moved to a larger buffer.
    out.bytes.reserve(size + kChunk);
    out.bytes.resize(size);
    if (!read_up_to(fd.get(), limit, out)) return out;
    if (out.bytes.size() == limit) {
      // One byte more tells whether the file goes on.
      char more = 0;
      ssize_t n = 0;
      while ((n = ::read(fd.get(), &more, 1)) < 0 && errno == EINTR) {
      }
      if (cut) *cut = n > 0;
    }
  } catch (const std::bad_alloc&) {
    out.bytes = std::string();
    out.reason = "there is not enough memory to read its " + std::to_string(st.st_size) + " bytes";
    return out;
  }
  out.ok = true;
  return out;
}

}  // namespace velmora
