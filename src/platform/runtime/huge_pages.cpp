#include "platform/runtime/huge_pages.hpp"

#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

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

void keep_freed_memory() {
#ifdef __GLIBC__
  // One arena for every thread, so that what a worker thread frees serves
  // the next allocation of any other; blocks up to 32 MB from the heap and
  // 256 MB of freed heap kept, so that the next large matrix reuses pages
  // already faulted in instead of fresh ones.
  ::mallopt(M_ARENA_MAX, 1);
  ::mallopt(M_MMAP_THRESHOLD, 32 << 20);
  ::mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

std::string tunables_with_huge_pages(std::string_view current) {
  if (current.find("glibc.malloc.hugetlb") != std::string_view::npos) return "";
  std::string out(current);
  if (!out.empty()) out += ':';
  out += "glibc.malloc.hugetlb=1";
  return out;
}

bool ask_for_huge_pages() {
  if (std::getenv(kSaved)) return false;  // asked already
  const char* current = std::getenv("GLIBC_TUNABLES");
  const std::string tunables = tunables_with_huge_pages(current ? current : "");
  if (tunables.empty() || !kernel_offers_huge_pages()) return false;
  ::setenv(kSaved, current ? (std::string("set:") + current).c_str() : "unset", 1);
  ::setenv("GLIBC_TUNABLES", tunables.c_str(), 1);
  return true;
}

bool restore_tunables() {
  const char* saved = std::getenv(kSaved);
  if (!saved) return false;
  const std::string old = saved;
  if (old.rfind("set:", 0) == 0)
    ::setenv("GLIBC_TUNABLES", old.c_str() + 4, 1);
  else
    ::unsetenv("GLIBC_TUNABLES");
  ::unsetenv(kSaved);
  return true;
}

void restart_with_huge_pages(char** argv) {
  // Started by the launcher, or restarted: the settings are in force.
  if (restore_tunables()) return;
  if (!ask_for_huge_pages()) return;
  ::execv("/proc/self/exe", argv);
  // No restart: carry on with ordinary pages and the environment as it was.
  restore_tunables();
}

}  // namespace velmora
