#include "platform/runtime/safe_file.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <random>
#include <vector>

#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora {

namespace {

/// Attempts at a fresh temporary name before giving up.
constexpr int kTempAttempts = 100;

[[noreturn]] void cannot_write(const std::string& path, const std::string& reason) {
  throw WriteError(write_error_text(path, reason));
}

/// Why the user saving may not replace an existing file of mode `mode`,
/// or "".  Root may write any file, so for root a file with no write bit
/// for anyone is read-only; for any other user the system's own check of
/// the effective user decides.
std::string read_only_reason(const std::string& path, mode_t mode) {
  const bool writable = ::geteuid() == 0
                            ? (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0
                            : ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
  return writable ? std::string() : "it is read-only (no write permission), so it is kept";
}

/// Why nothing may be written into `folder` (as folder_of gives it), or
/// "": as for a file, root is refused only a folder with no write bit for
/// anyone, any other user one the system's check refuses.  A folder that
/// cannot be looked at is left to the write itself to report.
std::string read_only_folder_reason(const std::string& folder) {
  const std::string dir = folder.empty() ? "." : folder;
  struct stat st {};
  if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
  const bool writable =
      ::geteuid() == 0
          ? (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0
          : ::faccessat(AT_FDCWD, dir.c_str(), W_OK, AT_EACCESS) == 0 || errno != EACCES;
  return writable ? std::string()
                  : "its folder \"" + shown_name(dir) +
                        "\" is read-only (no write permission), so nothing is written there";
}

/// A file the user opened: the name as given, and as a full path.
struct OpenedInput {
  std::string shown, full;
};

std::vector<OpenedInput>& opened_inputs() {
  static std::vector<OpenedInput> inputs;
  return inputs;
}

/// Why the file of status `target` may not be replaced because it is an
/// opened input, or "".  Each input is looked up again now, through every
/// folder of its path, so a file that took its place is kept too, and an
/// input since removed protects no file that reuses its inode.
std::string opened_input_reason(const struct stat& target) {
  for (const OpenedInput& in : opened_inputs()) {
    struct stat st {};
    if (::stat(in.full.c_str(), &st) == 0 && st.st_dev == target.st_dev &&
        st.st_ino == target.st_ino)
      return "it is the opened input \"" + shown_name(in.shown) + "\", so it is kept";
  }
  return {};
}

/// Gives the temporary file the owner and group of the file it replaces,
/// as far as the process may; a note on the console says what changed.
void keep_owner(int fd, const std::string& path, const struct stat& old) {
  if (old.st_uid == ::geteuid() && old.st_gid == ::getegid()) return;
  if (::fchown(fd, old.st_uid, old.st_gid) == 0) return;
  // Without the right to give a file away, its group may still be kept.
  const bool group_kept = ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) == 0;
  struct stat now {};
  if (::fstat(fd, &now) != 0) return;
  std::string changed;
  if (now.st_uid != old.st_uid)
    changed = "owner " + std::to_string(old.st_uid) + " -> " + std::to_string(now.st_uid);
  if (!group_kept && now.st_gid != old.st_gid)
    changed += (changed.empty() ? "group " : ", group ") + std::to_string(old.st_gid) + " -> " +
               std::to_string(now.st_gid);
  if (!changed.empty())
    console().write("Note: the file \"" + shown_name(path) +
                    "\" was replaced by a file of the saving user (" + changed +
                    "): only root may keep another user's ownership.\n");
}

/// The folder part of `path` with its final slash ("" for the working
/// folder), and the name after it.
std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

/// Six random letters and digits for a temporary name.
std::string random_suffix() {
  static std::mt19937_64 rng([] {
    std::random_device device;
    const auto now =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    return (static_cast<std::uint64_t>(device()) << 32) ^ now ^
           static_cast<std::uint64_t>(::getpid());
  }());
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string s(6, '0');
  for (char& c : s) c = kLetters[rng() % (sizeof kLetters - 1)];
  return s;
}

/// Creates a new temporary file in `folder`; returns its descriptor (or -1
/// with errno set) and its name.
int create_temp(const std::string& folder, mode_t mode, std::string& temp_name) {
  for (int attempt = 0; attempt < kTempAttempts; ++attempt) {
    temp_name = folder + ".vm-" + random_suffix();
    const int fd =
        ::open(temp_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

bool write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

/// Makes the rename itself durable; a failure here loses nothing already
/// written, so it is not reported.
void sync_folder(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::string write_error_text(const std::string& path, const std::string& reason) {
  return "Cannot write the file \"" + shown_name(path) + "\": " + reason + ".";
}

namespace {

// Thrown by a piece writer's `put` when the file cannot take the piece.
struct WriteFailed {
  int error;
};

}  // namespace

void write_file_safely(const std::string& path, std::string_view bytes) {
  write_file_safely(path,
                    [bytes](const std::function<void(std::string_view)>& put) { put(bytes); });
}

namespace {

/// The checks before a write; true when a file is at `path` (its status
/// in `old`).
bool checked_target(const std::string& path, struct stat& old) {
  if (path.empty()) cannot_write(path, std::strerror(ENOENT));
  if (std::string why = nul_in_name_reason(path); !why.empty()) cannot_write(path, why);
  if (path.back() == '/') cannot_write(path, std::strerror(EISDIR));

  const bool exists = ::lstat(path.c_str(), &old) == 0;
  if (!exists && errno != ENOENT) cannot_write(path, std::strerror(errno));
  if (exists) {
    if (std::string why = not_regular_reason(old.st_mode); !why.empty()) cannot_write(path, why);
    if (std::string why = read_only_reason(path, old.st_mode); !why.empty())
      cannot_write(path, why);
  }
  if (std::string why = read_only_folder_reason(folder_of(path)); !why.empty())
    cannot_write(path, why);
  if (exists)
    if (std::string why = opened_input_reason(old); !why.empty()) cannot_write(path, why);
  return exists;
}

}  // namespace

void check_writable(const std::string& path) {
  struct stat old {};
  checked_target(path, old);
}

void note_opened_input(const std::string& path) {
  if (path.empty() || !nul_in_name_reason(path).empty()) return;
  std::string full = path;
  if (full.front() != '/') {
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(path, ec);
    if (ec) return;
    full = p.string();
  }
  for (const OpenedInput& in : opened_inputs())
    if (in.full == full) return;
  opened_inputs().push_back({path, full});
}

void write_files_safely(const std::vector<std::string>& paths,
                        const std::function<std::string(std::size_t)>& bytes_of) {
  for (const std::string& path : paths) check_writable(path);
  std::size_t written = 0;
  try {
    for (; written < paths.size(); ++written) write_file_safely(paths[written], bytes_of(written));
  } catch (...) {
    for (std::size_t i = 0; i < written; ++i) ::unlink(paths[i].c_str());
    throw;
  }
}

void write_file_safely(const std::string& path, const PieceWriter& write_pieces) {
  struct stat old {};
  const bool exists = checked_target(path, old);

  const std::string folder = folder_of(path);
  std::string temp;
  // A replaced file's permissions are given to the temporary file before a
  // byte is written, so a private file never shows its content to others.
  Descriptor fd(create_temp(folder, exists ? 0600 : 0666, temp));
  if (fd.get() < 0) cannot_write(path, std::strerror(errno));

  // The owner first: a change of owner clears the set-user-ID bits, which
  // the mode then gives back.
  if (exists) keep_owner(fd.get(), path, old);
  bool ok = !exists || ::fchmod(fd.get(), old.st_mode & 07777) == 0;
  int error = ok ? 0 : errno;
  if (ok) {
    try {
      write_pieces([&fd](std::string_view piece) {
        if (!write_all(fd.get(), piece)) throw WriteFailed{errno};
      });
    } catch (const WriteFailed& failed) {
      ok = false;
      error = failed.error;
    } catch (...) {
      fd.close();
      ::unlink(temp.c_str());
      throw;
    }
  }
  if (ok && ::fsync(fd.get()) != 0) {
    ok = false;
    error = errno;
  }
  if (!fd.close() && ok) {
    ok = false;
    error = errno;
  }
  if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    cannot_write(path, std::strerror(error));
  }
  sync_folder(folder);
}

void ignore_file_size_signal() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGXFSZ, &ignore, nullptr);
}

}  // namespace velmora
