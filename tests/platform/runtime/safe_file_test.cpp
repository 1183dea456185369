#include "platform/runtime/safe_file.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "child_process.hpp"
#include "io/test_files.hpp"
#include "platform/runtime/console.hpp"
#include "platform/runtime/runtime_error.hpp"

namespace velmora {
namespace {

using io::testing::message_of;
using io::testing::read_bytes;
using io::testing::ScratchFolder;
namespace fs = std::filesystem;

/// The names in `dir`, to see that no temporary file stays behind.
std::vector<std::string> names_in(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

mode_t mode_of(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

std::string write_error(const std::string& path, std::string_view bytes = "new") {
  return message_of<RuntimeError>([&] { write_file_safely(path, bytes); });
}

TEST(SafeWrite, WritesAndReplacesKeepingPermissions) {
  ScratchFolder dir;
  const std::string path = dir.file("scores.txt");
  write_file_safely(path, "first");
  EXPECT_EQ(read_bytes(path), "first");
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(mode_of(path) & 0777, 0666 & ~mask);

  for (mode_t mode : {0600, 0640, 0604}) {
    ::chmod(path.c_str(), mode);
    write_file_safely(path, "second, longer text");
    EXPECT_EQ(read_bytes(path), "second, longer text");
    EXPECT_EQ(mode_of(path) & 0777, mode);
  }
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"scores.txt"});

  // Names up to the file system's limit save: the temporary name is short.
  for (std::size_t length : {240u, 250u, 255u}) {
    const std::string name(length, 'n');
    write_file_safely(dir.file(name), "long name");
    EXPECT_EQ(read_bytes(dir.file(name)), "long name");
    fs::remove(dir.file(name));
  }
  // A relative name writes into the working folder.
  const fs::path old = fs::current_path();
  fs::current_path(dir.path());
  write_file_safely("here.txt", "relative");
  fs::current_path(old);
  EXPECT_EQ(read_bytes(dir.file("here.txt")), "relative");
}

TEST(SafeWrite, TargetsThatAreNotRegularFilesAreRefused) {
  ScratchFolder dir;
  const std::string victim = dir.write("victim.txt", "precious");
  const std::string fifo = dir.file("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string link = dir.file("link.txt");
  fs::create_symlink(victim, link);
  const std::string dangling = dir.file("dangling.txt");
  fs::create_symlink(dir.file("nowhere.txt"), dangling);
  const std::string folder = dir.file("folder");
  fs::create_directory(folder);
  dir.write("folder/inside.txt", "keep me");

  EXPECT_EQ(write_error(fifo), "Cannot write the file \"" + fifo +
                                   "\": it is a named pipe (FIFO), not a regular file.");
  EXPECT_EQ(write_error(link),
            "Cannot write the file \"" + link + "\": it is a symbolic link, not a regular file.");
  EXPECT_EQ(write_error(dangling), "Cannot write the file \"" + dangling +
                                       "\": it is a symbolic link, not a regular file.");
  EXPECT_EQ(write_error(folder), "Cannot write the file \"" + folder + "\": Is a directory.");
  EXPECT_EQ(write_error(folder + "/"),
            "Cannot write the file \"" + folder + "/\": Is a directory.");
  const std::string no_folder = dir.file("missing/scores.txt");
  EXPECT_EQ(write_error(no_folder),
            "Cannot write the file \"" + no_folder + "\": No such file or directory.");

  // A device node made here (needs the right to make one; a named pipe
  // made by mknod stands in otherwise).
  const std::string device = dir.file("zero");
  if (::mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 5)) == 0) {
    EXPECT_EQ(write_error(device), "Cannot write the file \"" + device +
                                       "\": it is a character device, not a regular file.");
    EXPECT_TRUE(S_ISCHR(mode_of(device)));
  } else {
    ASSERT_EQ(::mknod(device.c_str(), S_IFIFO | 0600, 0), 0);
    EXPECT_NE(write_error(device).find("named pipe"), std::string::npos);
  }
  const std::string socket_path = dir.file("sock");
  const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket_path.c_str());
  if (socket_path.size() < sizeof address.sun_path &&
      ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    EXPECT_EQ(write_error(socket_path),
              "Cannot write the file \"" + socket_path + "\": it is a socket, not a regular file.");
  }
  ::close(s);

  // Nothing changed: every special file is what it was, and no temporary
  // file is left.
  EXPECT_TRUE(S_ISFIFO(mode_of(fifo)));
  EXPECT_TRUE(S_ISLNK(mode_of(link)));
  EXPECT_TRUE(S_ISLNK(mode_of(dangling)));
  EXPECT_EQ(read_bytes(victim), "precious");
  EXPECT_EQ(read_bytes(dir.file("folder/inside.txt")), "keep me");
  for (const std::string& name : names_in(dir.path())) EXPECT_NE(name.rfind(".vm-", 0), 0u) << name;
}

TEST(SafeWrite, AFileSizeLimitIsReportedNotFatal) {
  // The limit binds root too; the child keeps it from the other tests.
  ScratchFolder dir;
  const std::string old_file = dir.write("old.txt", "old content");
  const int code = testing::in_child([&] {
    ignore_file_size_signal();
    rlimit small{};
    ::getrlimit(RLIMIT_FSIZE, &small);
    small.rlim_cur = 1024;
    if (::setrlimit(RLIMIT_FSIZE, &small) != 0) return 2;
    const std::string message = write_error(old_file, std::string(4096, 'n'));
    return testing::same_text(message,
                              "Cannot write the file \"" + old_file + "\": File too large.");
  });
  EXPECT_EQ(code, 0) << "128 + 25 would be the signal SIGXFSZ";
  EXPECT_EQ(read_bytes(old_file), "old content");
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"old.txt"});
}

uid_t owner_of(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_uid : static_cast<uid_t>(-1);
}

gid_t group_of(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_gid : static_cast<gid_t>(-1);
}

// Who may replace a file: its write permission for the saving user decides,
// and a replaced file keeps its owner where the process may give it.  The
// other user is "nobody" (65534), taken on by a child process.
TEST(SafeWrite, ReadOnlyFilesAreKeptAndOwnersKeptWherePossible) {
  constexpr uid_t kNobody = 65534;
  ScratchFolder dir;
  ::chmod(dir.path().c_str(), 0777);
  const std::string read_only = dir.write("read-only.txt", "kept");
  ::chmod(read_only.c_str(), 0444);
  const std::string theirs = dir.write("theirs.txt", "theirs");
  ::chmod(theirs.c_str(), 0640);
  ASSERT_EQ(::chown(theirs.c_str(), kNobody, kNobody), 0);
  const std::string root_only = dir.write("root-only.txt", "root's");
  ::chmod(root_only.c_str(), 0644);
  const std::string shared = dir.write("shared.txt", "shared");
  ::chmod(shared.c_str(), 0666);

  if (::geteuid() == 0) {
    // Root may write anything, but a file without any write bit is kept.
    EXPECT_EQ(write_error(read_only), "Cannot write the file \"" + read_only +
                                          "\": it is read-only (no write permission), so it is "
                                          "kept.");
    EXPECT_EQ(read_bytes(read_only), "kept");
    write_file_safely(theirs, "root saved this");
    EXPECT_EQ(read_bytes(theirs), "root saved this");
    EXPECT_EQ(owner_of(theirs), kNobody);
    EXPECT_EQ(group_of(theirs), kNobody);
    EXPECT_EQ(mode_of(theirs) & 07777, 0640u);
  }
  const int code = testing::in_child([&] {
    if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) return 2;
    int faults = testing::same_text(
        write_error(root_only), "Cannot write the file \"" + root_only +
                                    "\": it is read-only (no write permission), so it is kept.");
    faults += testing::same_text(read_bytes(root_only), "root's");
    ConsoleCapture cap;
    write_file_safely(shared, "nobody saved this");
    faults += testing::same_text(read_bytes(shared), "nobody saved this");
    faults += testing::same_text(
        cap.text(), "Note: the file \"" + shared +
                        "\" was replaced by a file of the saving user (owner 0 -> 65534, group 0 "
                        "-> 65534): only root may keep another user's ownership.\n");
    return faults;
  });
  if (::geteuid() == 0) {
    EXPECT_EQ(code, 0);
  }
  EXPECT_EQ(read_bytes(root_only), "root's");
  for (const std::string& name : names_in(dir.path())) EXPECT_NE(name.rfind(".vm-", 0), 0u) << name;
}

// A file made piece by piece: written whole, or not at all when the maker
// fails half-way, with its own exception.
TEST(SafeWrite, PiecesMadeWhileWritingAreAllOrNothing) {
  ScratchFolder dir;
  const std::string file = dir.write("scores.txt", "old content");
  write_file_safely(file, [](const std::function<void(std::string_view)>& put) {
    put("1 2 3\n");
    put("4 5 6\n");
  });
  EXPECT_EQ(read_bytes(file), "1 2 3\n4 5 6\n");
  EXPECT_THROW(write_file_safely(file,
                                 [](const std::function<void(std::string_view)>& put) {
                                   put("7 8 9\n");
                                   throw std::invalid_argument("no more scores");
                                 }),
               std::invalid_argument);
  EXPECT_EQ(read_bytes(file), "1 2 3\n4 5 6\n");
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"scores.txt"});
}

// An opened input is kept whatever name leads to it, and a folder without
// write bits takes no file, for root too; each refusal leaves the bytes.
TEST(SafeWrite, OpenedInputsAndReadOnlyFoldersAreKept) {
  ScratchFolder dir;
  fs::create_directory(dir.file("in"));
  const std::string input = dir.write("in/age.txt", "1\n2\n");
  note_opened_input(input);
  fs::create_directory_symlink("in", dir.file("alias"));
  ASSERT_EQ(::link(input.c_str(), dir.file("hard.txt").c_str()), 0);
  const std::string kept = "\": it is the opened input \"" + input + "\", so it is kept.";
  for (const std::string& name : {input, dir.file("alias/age.txt"), dir.file("hard.txt"),
                                  dir.file("in/../alias/./age.txt")}) {
    EXPECT_EQ(write_error(name), "Cannot write the file \"" + name + kept);
    EXPECT_THROW(check_writable(name), WriteError);
  }
  EXPECT_EQ(read_bytes(input), "1\n2\n");
  // An input since removed protects nothing, whatever reuses its inode.
  const std::string gone = dir.write("gone.txt", "old");
  note_opened_input(gone);
  fs::remove(gone);
  const std::string after = dir.write("after.txt", "new");
  write_file_safely(after, "replaced");
  EXPECT_EQ(read_bytes(after), "replaced");

  fs::create_directory(dir.file("locked"));
  const std::string inside = dir.write("locked/scores.txt", "kept");
  ::chmod(dir.file("locked").c_str(), 0555);
  const std::string locked = "\": its folder \"" + dir.file("locked/") +
                             "\" is read-only (no write permission), so nothing is written there.";
  for (const std::string& name : {inside, dir.file("locked/new.txt")})
    EXPECT_EQ(write_error(name), "Cannot write the file \"" + name + locked);
  EXPECT_EQ(read_bytes(inside), "kept");
  EXPECT_EQ(names_in(dir.file("locked")), std::vector<std::string>{"scores.txt"});
  ::chmod(dir.file("locked").c_str(), 0755);
}

// Several files as one: all refused before the first when one target is
// wrong; those written removed when one fails on the way.
TEST(SafeWrite, SeveralFilesAreAllOrNone) {
  ScratchFolder dir;
  const std::vector<std::string> paths = {dir.file("f_1.png"), dir.file("f_2.png"),
                                          dir.file("f_3.png")};
  auto bytes = [](std::size_t i) { return "frame " + std::to_string(i); };
  fs::create_symlink("elsewhere", paths[1]);
  EXPECT_EQ(
      message_of<RuntimeError>([&] { write_files_safely(paths, bytes); }),
      "Cannot write the file \"" + paths[1] + "\": it is a symbolic link, not a regular file.");
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"f_2.png"});
  fs::remove(paths[1]);
  // A folder that appears at the third file while the files are made.
  EXPECT_EQ(message_of<RuntimeError>([&] {
              write_files_safely(paths, [&](std::size_t i) {
                if (i == 2) fs::create_directory(paths[2]);
                return bytes(i);
              });
            }),
            "Cannot write the file \"" + paths[2] + "\": Is a directory.");
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"f_3.png"});
  fs::remove(paths[2]);
  write_files_safely(paths, bytes);
  EXPECT_EQ(read_bytes(paths[2]), "frame 2");
}

TEST(SafeRead, OnlyRegularFilesAreRead) {
  ScratchFolder dir;
  const std::string bytes("1 2\r\n\0x\n", 8);
  FileBytes file = read_regular_file(dir.write("f.bin", bytes));
  ASSERT_TRUE(file.ok);
  EXPECT_EQ(file.bytes, bytes);  // binary, nothing translated
  EXPECT_TRUE(read_regular_file(dir.write("empty.txt", "")).ok);
  fs::create_symlink(dir.file("f.bin"), dir.file("link.bin"));
  EXPECT_EQ(read_regular_file(dir.file("link.bin")).bytes, bytes);  // links are followed

  EXPECT_EQ(read_regular_file(dir.file("missing.txt")).reason, "No such file or directory");
  EXPECT_EQ(read_regular_file(dir.path().string()).reason, "Is a directory");
  // A named pipe with no writer would block a plain open: refused at once.
  const std::string fifo = dir.file("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  FileBytes pipe = read_regular_file(fifo);
  EXPECT_FALSE(pipe.ok);
  EXPECT_EQ(pipe.reason, "it is a named pipe (FIFO), not a regular file");
  // An endless device is refused before a byte is read.
  const std::string zero = dir.file("zero");
  if (::mknod(zero.c_str(), S_IFCHR | 0600, makedev(1, 5)) == 0) {
    EXPECT_EQ(read_regular_file(zero).reason, "it is a character device, not a regular file");
  }
}

TEST(SafeRead, AFileShrinkingWhileReadGivesFewerBytes) {
  ScratchFolder dir;
  const std::string full(1 << 22, '7');
  const std::string path = dir.write("shrinking.txt", full);
  std::atomic<bool> done{false};
  std::thread shrinker([&] {
    for (int i = 0; !done; ++i) {
      ::truncate(path.c_str(), (i % 2) ? 0 : static_cast<off_t>(full.size()));
    }
  });
  for (int i = 0; i < 50; ++i) {
    FileBytes file = read_regular_file(path);
    ASSERT_TRUE(file.ok);
    ASSERT_LE(file.bytes.size(), full.size());
  }
  done = true;
  shrinker.join();
}

TEST(SafeRead, TooLittleMemoryIsAReason) {
  if (testing::kAddressSanitizer) GTEST_SKIP() << "an address-space limit cannot work here";
  ScratchFolder dir;
  const std::string path = dir.file("big.txt");
  { std::ofstream(path) << ""; }
  ASSERT_EQ(::truncate(path.c_str(), 1LL << 30), 0);  // sparse: no disk used
  const int code = testing::in_child([&] {
    if (!testing::limit_address_space(256ull << 20)) return 2;
    FileBytes file = read_regular_file(path);
    if (file.ok) return 3;
    return testing::same_text(file.reason,
                              "there is not enough memory to read its 1073741824 bytes");
  });
  EXPECT_EQ(code, 0);
}

}  // namespace
}  // namespace velmora
