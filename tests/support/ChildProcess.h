#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace tavlo::test {

// This test program started again as a child process that runs only the tests of `filter`, its
// environment this one's plus `extraEnv` ("NAME=value"), its output dropped. With `waitReady` the
// call returns once the child said it is ready (childReady), -1 when it ended before that.
pid_t spawnSelf(const std::string& filter, const std::vector<std::string>& extraEnv, bool waitReady);
// In the child: whether it runs as one (spawnSelf started it), and telling the parent it is ready.
bool isChild();
void childReady();
// Waits for the child; its exit code, or -signal when a signal ended it.
int waitChild(pid_t child);

// A shell command run to its end: its exit code (-1 when it did not exit) and what it wrote to
// its standard output (add "2>&1" to the command for its errors too).
struct CommandRun {
    int status = -1;
    std::string output;
};
CommandRun runCommand(const std::string& command);

} // namespace tavlo::test
