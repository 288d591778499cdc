// The window on a real display: a program shows the field-and-button screen under Xvfb, xdotool
// clicks and types as a person would, and the test reads what the program saw and what its window
// showed. Skipped, with the reason, where Xvfb or xdotool is missing or Xvfb cannot start.
#include "platform/ui/render/ScreenWindow.h"
#include "platform/ui/render/Snapshot.h"
#include "support/TempHome.h"
#include "support/ui/FieldAndButtonScreen.h"
#include "support/ui/Golden.h"
#include "support/ui/Harness.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

using namespace tavlo::ui;
using namespace tavlo::ui::test;

namespace {

std::string findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        std::string candidate = folder + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

// A child process, its output on a pipe when asked; killed and reaped when it goes.
class Child {
public:
    // Descriptors without close-on-exec pass to the child as they are.
    Child(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv, bool captureOutput,
          const std::string& errorFile = "/dev/null") {
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<std::string> env(extraEnv);
        for (char** e = environ; *e; ++e) env.emplace_back(*e);
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        int out[2] = {-1, -1};
        if (captureOutput && ::pipe(out) == 0) {
            posix_spawn_file_actions_adddup2(&actions, out[1], 1);
            posix_spawn_file_actions_addclose(&actions, out[0]);
        }
        posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (::posix_spawn(&pid_, args[0].c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        if (out[1] >= 0) ::close(out[1]);
        output_ = out[0];
    }
    ~Child() {
        if (output_ >= 0) ::close(output_);
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }
    bool started() const { return pid_ > 0; }
    // The next line of its output, waiting at most `seconds`; empty when none came.
    std::string readLine(double seconds) { return readLineFrom(output_, seconds); }
    // Waits for it to end; its exit status, -1 when it did not end in time.
    int wait(double seconds) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }
    std::string readAll(double seconds) {
        std::string all, line;
        while (!(line = readLine(seconds)).empty()) all += line + "\n";
        return all;
    }

    static std::string readLineFrom(int fd, double seconds) {
        std::string line;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (fd >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            char c;
            if (::read(fd, &c, 1) != 1) break;
            if (c == '\n') return line;
            line += c;
        }
        return line;
    }

private:
    pid_t pid_ = -1;
    int output_ = -1;
};

std::string readFile(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Waits for a file to appear, at most `seconds`.
bool waitForFile(const std::string& path, double seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (std::filesystem::exists(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace

TEST(ScreenWindowUnderXvfb, ClicksAndTypingFromXdotoolReachTheFieldAndTheButton) {
    std::string xvfb = findProgram("Xvfb"), xdotool = findProgram("xdotool");
    if (xvfb.empty()) GTEST_SKIP() << "Xvfb is not installed (scripts/setup installs the package xvfb)";
    if (xdotool.empty()) GTEST_SKIP() << "xdotool is not installed (scripts/setup installs the package xdotool)";
    tavlo::test::TempHome home;
    std::string folder = home.path().string();

    // Xvfb writes its display number on this pipe once it takes connections.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    Child server({xvfb, "-displayfd", std::to_string(ready[1]), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"},
                 {}, false, folder + "/xvfb.log");
    ::close(ready[1]);
    std::string display = Child::readLineFrom(ready[0], 15);
    ::close(ready[0]);
    if (!server.started() || display.empty())
        GTEST_SKIP() << "Xvfb could not start: " << readFile(folder + "/xvfb.log");
    std::string displayEnv = "DISPLAY=:" + display;

    std::string result = folder + "/result.txt", screenshot = folder + "/window.png";
    Child program({TAVLO_WINDOW_HELPER, result, screenshot}, {displayEnv}, true, folder + "/helper.log");
    ASSERT_EQ(program.readLine(20), "ready") << readFile(folder + "/helper.log");

    auto xdo = [&](std::vector<std::string> args) {
        args.insert(args.begin(), xdotool);
        Child run(args, {displayEnv}, true, folder + "/xdotool.log");
        std::string out = run.readAll(20);
        EXPECT_EQ(run.wait(20), 0) << "xdotool " << args[1] << ": " << readFile(folder + "/xdotool.log");
        return out;
    };
    std::string window = xdo({"search", "--sync", "--onlyvisible", "--name", "Tavlo window test"});
    std::string id = window.substr(0, window.find('\n'));
    ASSERT_FALSE(id.empty());
    xdo({"windowfocus", "--sync", id});  // no window manager gives it the keyboard
    Point field = FieldAndButtonController::fieldInWindow.center(), button = FieldAndButtonController::buttonInWindow.center();
    xdo({"mousemove", "--sync", "--window", id, std::to_string(int(field.x)), std::to_string(int(field.y)), "click", "1"});
    ASSERT_EQ(program.readLine(20), "editing") << readFile(folder + "/helper.log");
    xdo({"type", "--delay", "40", "Ada 12"});
    xdo({"key", "BackSpace"});
    xdo({"type", "--delay", "40", "3"});
    xdo({"mousemove", "--sync", "--window", id, std::to_string(int(button.x)), std::to_string(int(button.y)), "click", "1"});

    ASSERT_TRUE(waitForFile(result, 20)) << "the button's action never ran; " << readFile(folder + "/helper.log");
    EXPECT_EQ(readFile(result), "field=Ada 13\npressed=1\n");

    // What the window showed is what the renderer draws for the same screen in the same state.
    auto shot = render::Bitmap::readPng(screenshot);
    ASSERT_TRUE(shot);
    std::string kept = writeTestPicture(*shot, "window_under_xvfb");
    Harness h(DeviceIdiom::Tablet);
    auto controller = std::make_shared<FieldAndButtonController>();
    h.show(makeFieldAndButtonScreen(controller));
    h.type(controller->field(), "Ada 13");
    h.tap("Save");
    EXPECT_EQ(controller->result().text(), "Saved: Ada 13");
    EXPECT_TRUE(picturesMatch(*shot, render::snapshot(h.window(), {1024, 768}), "window_under_xvfb"))
        << "the window's screenshot is " << kept;
}

TEST(ScreenWindowWithoutDisplay, NoWindowOpensAndTheReasonIsGiven) {
    // As on a machine without a display: SDL's drivers that show nothing do not count.
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}) {
        const char* value = std::getenv(name);
        saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        ::unsetenv(name);
    }
    Application app(DeviceIdiom::Tablet);
    tavlo::Error error;
    EXPECT_EQ(render::ScreenWindow::open(app, "Tavlo", &error), nullptr);
    EXPECT_EQ(error.localizedDescription().rfind("No display to open a window on", 0), 0u) << error.localizedDescription();
    for (const auto& [name, value] : saved)
        if (value) ::setenv(name.c_str(), value->c_str(), 1);
}
