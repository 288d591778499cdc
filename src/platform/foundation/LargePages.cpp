#include "LargePages.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace tavlo {

namespace {
constexpr const char* kTunables = "GLIBC_TUNABLES";
// 1: the allocator advises the kernel to back its heap with transparent large pages.
constexpr const char* kLargePages = "glibc.malloc.hugetlb";
} // namespace

void useLargeHeapPages(char** argv) {
    const char* given = std::getenv(kTunables);
    if (given && std::strstr(given, kLargePages)) return;
    const std::string before = given ? given : "";
    std::string tunables = std::string(kLargePages) + "=1";
    if (!before.empty()) tunables = before + ":" + tunables;
    if (setenv(kTunables, tunables.c_str(), 1) != 0) return;
    execv("/proc/self/exe", argv);
    // Not started again: the environment as it was, for the programs this one starts.
    if (given) setenv(kTunables, before.c_str(), 1);
    else unsetenv(kTunables);
}

} // namespace tavlo
