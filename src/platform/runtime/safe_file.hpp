#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/file_bytes.hpp"

namespace velmora {

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
/// A file without write permission for the saving user is not replaced
/// (for root: one with no write bit at all), and a name holding a NUL byte
/// is no name.  A replaced file keeps its owner and group where the process
/// may give them; where it may not, a console note says what changed.
/// A folder without write permission for the saving user (for root: one
/// with no write bit at all) is written into no more than a read-only file
/// is replaced, and a file that is one the user opened as an input
/// (note_opened_input), by any name, is never replaced: the check compares
/// the device and inode of the target, reached through every folder of its
/// path, with those of each opened input.
/// @throws WriteError `Cannot write the file "PATH": REASON.`, PATH as
///   shown_name shows it, REASON the system's text (e.g. "File too large"
///   past a file-size limit, once ignore_file_size_signal() is in force) or
///   the kind of file refused
void write_file_safely(const std::string& path, std::string_view bytes);

/// The checks write_file_safely makes before it writes anything, so that a
/// writer of several files can refuse them all before the first: the name,
/// the kind of file at `path`, its write permission and its folder's, and
/// the opened inputs.
/// @throws WriteError as write_file_safely would
void check_writable(const std::string& path);

/// Remembers the file at `path` (relative to the working folder now) as
/// an input the user opened: no writer replaces it afterwards, under this
/// name or any other that leads to it.
void note_opened_input(const std::string& path);

/// `Cannot write the file "PATH": REASON.`, the one form of every refused
/// write, PATH as shown_name shows it.
std::string write_error_text(const std::string& path, const std::string& reason);

/// Hands each piece of a file's bytes, in order, to the function it is given.
using PieceWriter = std::function<void(const std::function<void(std::string_view)>& put)>;

/// As above, with the bytes made piece by piece by `write_pieces` and each
/// piece written as soon as it is made, so that a large file's writing goes
/// on while the rest is still being made.  A write that fails stops
/// `write_pieces` (`put` throws); an exception of `write_pieces` itself
/// removes the temporary file and comes through unchanged.
void write_file_safely(const std::string& path, const PieceWriter& write_pieces);

/// Writes the files `paths` as one piece of work: every target is checked
/// (check_writable) before the first is written, then file i gets the
/// bytes `bytes_of(i)`, in order.  When a write or `bytes_of` fails, the
/// files of `paths` already written are removed and the error comes
/// through.
void write_files_safely(const std::vector<std::string>& paths,
                        const std::function<std::string(std::size_t)>& bytes_of);

/// Ignores SIGXFSZ for the process, so that a write past the file-size
/// limit fails with EFBIG (and is reported) instead of killing the program
/// with the temporary file left behind.  Called once at start-up.
void ignore_file_size_signal();

}  // namespace velmora
