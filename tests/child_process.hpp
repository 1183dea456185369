#pragma once

// Running a test body in a forked child: for checks that change
// process-wide limits (file size, address space) or signal dispositions.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace velmora::testing {

/// True in a build with AddressSanitizer, whose shadow memory makes an
/// address-space limit unusable.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#else
inline constexpr bool kAddressSanitizer = false;
#endif

/// Runs `body` (returning an exit code) in a forked child and returns the
/// child's exit code, or 128 + the signal that ended it.  An exception
/// escaping `body` gives 98.  The child prints its own diagnostics.
template <class F>
int in_child(F&& body) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    int code = 98;
    try {
      code = body();
    } catch (...) {
    }
    std::fflush(nullptr);
    std::_Exit(code);
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

/// Limits the address space of this process to what it uses now plus
/// `extra` bytes.  False when the limit cannot be set.
inline bool limit_address_space(unsigned long long extra) {
  unsigned long long pages = 0;
  std::ifstream("/proc/self/statm") >> pages;
  if (pages == 0) return false;
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) != 0) return false;
  limit.rlim_cur = pages * static_cast<unsigned long long>(::sysconf(_SC_PAGESIZE)) + extra;
  return ::setrlimit(RLIMIT_AS, &limit) == 0;
}

/// 0 when `got` equals `want`; otherwise prints both and gives 1.
inline int same_text(const std::string& got, const std::string& want) {
  if (got == want) return 0;
  std::fprintf(stderr, "got:  %s\nwant: %s\n", got.c_str(), want.c_str());
  return 1;
}

}  // namespace velmora::testing
