#include "core/file_bytes.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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

FileBytes read_regular_file(const std::string& path) {
  FileBytes out;
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
    std::size_t size = static_cast<std::size_t>(st.st_size);
    // Room for the one read past the end that finds it, so that a file of
    // the size it had is never moved to a larger buffer.
    out.bytes.reserve(size + kChunk);
    out.bytes.resize(size);
    std::size_t have = 0;
    for (;;) {
      if (have == out.bytes.size()) out.bytes.resize(have + kChunk);
      const ssize_t n = ::read(fd.get(), out.bytes.data() + have, out.bytes.size() - have);
      if (n < 0) {
        if (errno == EINTR) continue;
        out.reason = std::strerror(errno);
        out.bytes.clear();
        return out;
      }
      if (n == 0) break;
      have += static_cast<std::size_t>(n);
    }
    out.bytes.resize(have);
  } catch (const std::bad_alloc&) {
    out.bytes = std::string();
    out.reason = "there is not enough memory to read its " + std::to_string(st.st_size) + " bytes";
    return out;
  }
  out.ok = true;
  return out;
}

}  // namespace velmora
