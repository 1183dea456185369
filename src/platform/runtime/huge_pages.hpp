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
/// virtual machine, 1.4 s of a 10,000-specimen batch run against 0.4 s with
/// 2 MiB pages).  glibc asks the kernel for transparent huge pages only when
/// told so before a program starts: this adds glibc.malloc.hugetlb=1 to
/// GLIBC_TUNABLES for the program about to be started, keeping the old
/// value aside for restore_tunables.  False, with nothing changed, where
/// the kernel offers no transparent huge pages, where the user's own
/// GLIBC_TUNABLES already decides, or where it was asked already.
bool ask_for_huge_pages();

/// In a program started after ask_for_huge_pages: gives GLIBC_TUNABLES back
/// its old value, so that programs it starts do not inherit the setting.
/// False when there was nothing to give back.
bool restore_tunables();

/// For a program started without the launcher: starts itself again, once,
/// after ask_for_huge_pages (restore_tunables when it was started with the
/// setting).  Carries on as it is when the restart cannot be made.  Call
/// first thing in main.
void restart_with_huge_pages(char** argv);

/// Keeps memory freed by one step for the next instead of handing it back to
/// the system: freed large blocks would otherwise be faulted in afresh by
/// the next step, page by page.  Called by restart_with_huge_pages in the
/// restarted program; programs without the restart may call it themselves.
void keep_freed_memory();

}  // namespace velmora
