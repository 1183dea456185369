#pragma once

#include <string>
#include <string_view>

namespace velmora {

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
FileBytes read_regular_file(const std::string& path);

/// Writes `bytes` to `path` so that no reader ever sees a half file and no
/// other file is touched.  The target must be a regular file or absent; a
/// folder, symbolic link, named pipe, device or socket is refused.  The
/// bytes go to a new temporary file ".vm-XXXXXX" in the target's folder,
/// created exclusively (O_CREAT|O_EXCL|O_NOFOLLOW, so a planted link is
/// never followed), flushed to disk (fsync) and renamed over the target.  A
/// new file gets 0666 less the umask, a replaced one keeps its permission
/// bits.  On every failure the temporary file is removed and an old file at
/// `path` stays as it was.  A name of any length the file system allows
/// saves: the temporary name is short and does not grow with it.
/// @throws RuntimeError `Cannot write the file "PATH": REASON.`, REASON the
///   system's text (e.g. "File too large" past a file-size limit, once
///   ignore_file_size_signal() is in force) or the kind of file refused
void write_file_safely(const std::string& path, std::string_view bytes);

/// Ignores SIGXFSZ for the process, so that a write past the file-size
/// limit fails with EFBIG (and is reported) instead of killing the program
/// with the temporary file left behind.  Called once at start-up.
void ignore_file_size_signal();

/// Why a file of mode `mode` (from stat) is neither read nor written, or ""
/// for a regular file: "Is a directory", "it is a named pipe (FIFO), not a
/// regular file", and so on for devices, sockets and symbolic links.
std::string not_regular_reason(unsigned mode);

}  // namespace velmora
