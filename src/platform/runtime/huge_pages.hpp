#pragma once

#include <string>
#include <string_view>

namespace velmora {

/// The GLIBC_TUNABLES value that adds glibc's transparent-huge-page setting
/// to `current` (the variable's value, empty when unset), or an empty string
/// when `current` already sets glibc.malloc.hugetlb (the user's choice wins).
std::string tunables_with_huge_pages(std::string_view current);

/// Large samples touch hundreds of megabytes of fresh memory.  With 4 KiB
/// pages the kernel's page faults cost more than the analysis itself (on a
/// virtual machine, 1.4 s of a 10,000-specimen batch run against 0.5 s with
/// 2 MiB pages).  glibc asks the kernel for transparent huge pages only when
/// told so before the program starts, so the program starts itself again,
/// once, with glibc.malloc.hugetlb=1 added to GLIBC_TUNABLES; the variable
/// is given back its old value right after, so programs Velmora starts do
/// not inherit it.  Nothing happens where the kernel offers no transparent
/// huge pages, where the restart cannot be made, or where the user's own
/// GLIBC_TUNABLES already decides.  Call first thing in main.
void restart_with_huge_pages(char** argv);

}  // namespace velmora
