#include "platform/foundation/LargePages.h"

#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <string>

namespace tavlo {
namespace {

// The helper's output, run with the shell's environment change `env` (an env(1) argument).
std::string runHelper(const std::string& env) {
    return test::runCommand("env " + env + " '" TAVLO_LARGE_PAGES_HELPER "' one 'two words' 2>&1").output;
}

// The program starts again once with the setting added to whatever settings it was given, in the
// same process and with the same arguments; given the setting already, with any value, it goes on
// as it is.
TEST(LargeHeapPages, TheProgramStartsAgainOnceWithTheSettingAdded) {
    struct Case {
        const char* env;
        int starts;
        const char* tunables;
    } cases[] = {
        {"-u GLIBC_TUNABLES", 2, "glibc.malloc.hugetlb=1"},
        {"GLIBC_TUNABLES=", 2, "glibc.malloc.hugetlb=1"},
        {"GLIBC_TUNABLES=glibc.malloc.tcache_count=0", 2, "glibc.malloc.tcache_count=0:glibc.malloc.hugetlb=1"},
        {"GLIBC_TUNABLES=glibc.malloc.hugetlb=0", 1, "glibc.malloc.hugetlb=0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.env);
        const std::string output = runHelper(c.env);
        int starts = 0;
        std::string firstPid;
        for (size_t at = output.find("started "); at != std::string::npos; at = output.find("started ", at + 1)) {
            const std::string pid = output.substr(at + 8, output.find('\n', at) - at - 8);
            if (starts++ == 0) firstPid = pid;
            EXPECT_EQ(pid, firstPid) << output; // the same process
        }
        EXPECT_EQ(starts, c.starts) << output;
        EXPECT_NE(output.find(std::string("tunables ") + c.tunables + "\nargument one\nargument two words\n"),
                  std::string::npos)
            << output;
    }
}

} // namespace
} // namespace tavlo
