#include "support/ChildProcess.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tavlo::test {

namespace {

constexpr const char* kChildFd = "TAVLO_CHILD_READY_FD";

} // namespace

pid_t spawnSelf(const std::string& filter, const std::vector<std::string>& extraEnv, bool waitReady) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
    ::fcntl(fds[1], F_SETFD, 0); // the child inherits the write end
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    env.push_back(std::string(kChildFd) + "=" + std::to_string(fds[1]));
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string self = "/proc/self/exe";
    std::string filterArgument = "--gtest_filter=" + filter;
    char* argv[] = {self.data(), filterArgument.data(), nullptr};
    pid_t pid = -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid, self.c_str(), &actions, nullptr, argv, envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    char ready = 0;
    if (waitReady && pid > 0 && ::read(fds[0], &ready, 1) != 1) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        pid = -1;
    }
    ::close(fds[0]);
    return pid;
}

bool isChild() { return std::getenv(kChildFd) != nullptr; }

void childReady() {
    const char* fd = std::getenv(kChildFd);
    char ready = 'r';
    if (fd && ::write(std::atoi(fd), &ready, 1) != 1) std::abort();
}

int waitChild(pid_t child) {
    int status = 0;
    if (::waitpid(child, &status, 0) != child) return -1000;
    return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
}

CommandRun runCommand(const std::string& command) {
    CommandRun run;
    FILE* out = popen(command.c_str(), "r");
    if (!out) return run;
    char buffer[512];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, out)) run.output.append(buffer, n);
    const int status = pclose(out);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

} // namespace tavlo::test
