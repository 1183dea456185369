#include "platform/runtime/huge_pages.hpp"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace velmora {

namespace {

// Set for the restarted program: "set:" and the old GLIBC_TUNABLES, or
// "unset".  Its presence also keeps the restart from happening twice.
constexpr const char* kSaved = "VELMORA_SAVED_GLIBC_TUNABLES";

bool kernel_offers_huge_pages() {
  std::ifstream in("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string modes;
  std::getline(in, modes);
  // "always [madvise] never": glibc's setting is the madvise request.
  return modes.find("[always]") != std::string::npos ||
         modes.find("[madvise]") != std::string::npos;
}

}  // namespace

std::string tunables_with_huge_pages(std::string_view current) {
  if (current.find("glibc.malloc.hugetlb") != std::string_view::npos) return "";
  std::string out(current);
  if (!out.empty()) out += ':';
  out += "glibc.malloc.hugetlb=1";
  return out;
}

void restart_with_huge_pages(char** argv) {
  if (const char* saved = std::getenv(kSaved)) {
    // The restarted program: give the variable back its old value.
    const std::string old = saved;
    if (old.rfind("set:", 0) == 0)
      ::setenv("GLIBC_TUNABLES", old.c_str() + 4, 1);
    else
      ::unsetenv("GLIBC_TUNABLES");
    ::unsetenv(kSaved);
    return;
  }
  const char* current = std::getenv("GLIBC_TUNABLES");
  const std::string tunables = tunables_with_huge_pages(current ? current : "");
  if (tunables.empty() || !kernel_offers_huge_pages()) return;
  ::setenv(kSaved, current ? (std::string("set:") + current).c_str() : "unset", 1);
  ::setenv("GLIBC_TUNABLES", tunables.c_str(), 1);
  ::execv("/proc/self/exe", argv);
  // No restart: carry on with ordinary pages and the environment as it was.
  if (current)
    ::setenv("GLIBC_TUNABLES", current, 1);
  else
    ::unsetenv("GLIBC_TUNABLES");
  ::unsetenv(kSaved);
}

}  // namespace velmora
