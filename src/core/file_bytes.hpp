#pragma once

#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

/// Closes a file descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  /// Closes now; false with errno set when the close reports an error.
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

/// The bytes of a file read whole, or why it could not be read.
struct FileBytes {
  bool ok = false;
  std::string bytes;
  /// Why the file was not read, as a sentence fragment: the system's text
  /// ("No such file or directory") or the kind of file that was refused
  /// ("it is a named pipe (FIFO), not a regular file").
  std::string reason;
};

/// Reads a regular file whole, in binary.  Only regular files are read: a
/// folder, a named pipe, a device or a socket is refused without reading
/// or waiting on it (the file is opened non-blocking and checked before any
/// read).  The file is read with read(2), never mapped, so a file that
/// another program shortens meanwhile just gives fewer bytes.  Running out
/// of memory gives !ok with a reason that says so; nothing is thrown.
///
/// With `limit`, at most `limit` bytes are read and `cut` tells whether the
/// file held more.  A name that holds a NUL byte is refused without a look
/// at the file system, which would see only the name's part before it.
FileBytes read_regular_file(const std::string& path, std::size_t limit = SIZE_MAX,
                            bool* cut = nullptr);

/// Reads a regular file whole as read_regular_file does, or a named pipe
/// (a FIFO, a shell's `<(…)`) as a stream to its end, waiting for its
/// writer.  A folder, device or socket is refused without reading it.
FileBytes read_file_or_pipe(const std::string& path);

/// Reads what an open descriptor (standard input, a pipe) gives to its end.
FileBytes read_stream(int fd);

/// The reason a name with a NUL byte is no file name; "" for any other.
std::string nul_in_name_reason(std::string_view name);

/// A file name as it is shown or written into text: control bytes escaped
/// as "\n", "\t", "\r" or "\xNN" (a NUL as "\x00"), every other byte as
/// it is.  A name then always stays on one line and shows all it holds.
std::string shown_name(std::string_view name);

/// Why a file of mode `mode` (from stat) is neither read nor written, or ""
/// for a regular file: "Is a directory", "it is a named pipe (FIFO), not a
/// regular file", and so on for devices, sockets and symbolic links.
std::string not_regular_reason(unsigned mode);

}  // namespace velmora
