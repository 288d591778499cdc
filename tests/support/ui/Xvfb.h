#pragma once

#include "platform/ui/render/Bitmap.h"

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace tavlo::ui::test {

// What the window tests need to drive a real program on a display of its own: Xvfb, child
// processes, xdotool and a picture of a window as the display shows it.

// The program's full path from $PATH; empty when it is not installed.
std::string findProgram(const std::string& name);

// The whole of a (small) text file; empty when it cannot be read.
std::string readFile(const std::string& path);

// Waits for a file to appear, at most `seconds`; false when it did not.
bool waitForFile(const std::string& path, double seconds);

// A child process, its output on a pipe when asked; killed (SIGTERM) and reaped when it goes.
class Child {
public:
    // Descriptors without close-on-exec pass to the child as they are. `extraEnv` entries
    // ("NAME=value") come before the test's own environment, so they win.
    Child(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv, bool captureOutput,
          const std::string& errorFile = "/dev/null");
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return pid_ > 0; }
    // The next line of its output, waiting at most `seconds`; empty when none came.
    std::string readLine(double seconds) { return readLineFrom(output_, seconds); }
    // Waits for it to end; its exit status, -1 when it did not end in time.
    int wait(double seconds);
    // Its output until it closes it or `seconds` pass without a line.
    std::string readAll(double seconds);

    static std::string readLineFrom(int fd, double seconds);

private:
    pid_t pid_ = -1;
    int output_ = -1;
};

// Xvfb on a display number of its own choosing, stopped when this goes. `unavailable()` says why
// when it is not installed or could not start (the test skips with it).
class XvfbDisplay {
public:
    explicit XvfbDisplay(const std::string& logFile);
    const std::string& unavailable() const { return unavailable_; }
    // ":N", and "DISPLAY=:N" for a child's environment.
    std::string name() const { return ":" + number_; }
    std::string environment() const { return "DISPLAY=" + name(); }

private:
    std::optional<Child> server_;
    std::string number_;
    std::string unavailable_;
};

// xdotool on that display: its output; a failure is a test failure that names the command.
std::string xdotool(const XvfbDisplay& display, std::vector<std::string> args, const std::string& logFile);

// A window as the display shows it now; none when it cannot be read.
std::optional<render::Bitmap> windowPicture(const XvfbDisplay& display, unsigned long window);

} // namespace tavlo::ui::test
