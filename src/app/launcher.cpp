// velmora: starts the program (velmora-program, beside this file) with
// glibc's transparent huge pages asked for in its environment, so that a
// large sample's memory comes in 2 MiB pages without the program having to
// start itself twice.  Every argument, the standard streams and the exit
// status are the program's own.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/runtime/huge_pages.hpp"

int main(int, char** argv) {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  const std::string program =
      (ec ? std::filesystem::path(argv[0]).parent_path() : self.parent_path()) / "velmora-program";
  velmora::ask_for_huge_pages();
  ::execv(program.c_str(), argv);
  std::fprintf(stderr, "velmora: cannot start %s: %s\n", program.c_str(), std::strerror(errno));
  return 127;
}
