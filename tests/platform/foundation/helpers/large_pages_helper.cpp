// Run by the large-pages test: says each time it starts (with its process id), puts its heap in
// large pages, then prints the allocator's settings it finally runs with and its arguments.
#include "platform/foundation/LargePages.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    std::printf("started %d\n", static_cast<int>(getpid()));
    std::fflush(stdout);
    tavlo::useLargeHeapPages(argv);
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    std::printf("tunables %s\n", tunables ? tunables : "(none)");
    for (int i = 1; i < argc; ++i) std::printf("argument %s\n", argv[i]);
    return 0;
}
