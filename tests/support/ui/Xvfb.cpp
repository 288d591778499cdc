#include "support/ui/Xvfb.h"

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
#include <sstream>
#include <thread>

// Last: the X headers define words (None, Status, Bool) that the code above uses.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

extern char** environ;

namespace tavlo::ui::test {

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

std::string readFile(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool waitForFile(const std::string& path, double seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!std::filesystem::exists(path)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

Child::Child(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv, bool captureOutput,
             const std::string& errorFile) {
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

Child::~Child() {
    if (output_ >= 0) ::close(output_);
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

int Child::wait(double seconds) {
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

std::string Child::readAll(double seconds) {
    std::string all, line;
    while (!(line = readLine(seconds)).empty()) all += line + "\n";
    return all;
}

std::string Child::readLineFrom(int fd, double seconds) {
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

XvfbDisplay::XvfbDisplay(const std::string& logFile) {
    std::string xvfb = findProgram("Xvfb");
    if (xvfb.empty()) {
        unavailable_ = "Xvfb is not installed (scripts/setup installs the package xvfb)";
        return;
    }
    // Xvfb writes its display number on this pipe once it takes connections.
    int ready[2];
    if (::pipe(ready) != 0) {
        unavailable_ = "no pipe for Xvfb's display number";
        return;
    }
    server_.emplace(std::vector<std::string>{xvfb, "-displayfd", std::to_string(ready[1]), "-screen", "0",
                                             "1280x1024x24", "-nolisten", "tcp"},
                    std::vector<std::string>{}, false, logFile);
    ::close(ready[1]);
    number_ = Child::readLineFrom(ready[0], 15);
    ::close(ready[0]);
    if (!server_->started() || number_.empty()) unavailable_ = "Xvfb could not start: " + readFile(logFile);
}

std::string xdotool(const XvfbDisplay& display, std::vector<std::string> args, const std::string& logFile) {
    static const std::string program = findProgram("xdotool");
    args.insert(args.begin(), program);
    Child run(args, {display.environment()}, true, logFile);
    std::string out = run.readAll(20);
    EXPECT_EQ(run.wait(20), 0) << "xdotool " << args[1] << ": " << readFile(logFile);
    return out;
}

std::optional<render::Bitmap> windowPicture(const XvfbDisplay& display, unsigned long window) {
    Display* x = XOpenDisplay(display.name().c_str());
    if (!x) return std::nullopt;
    std::optional<render::Bitmap> picture;
    XWindowAttributes attributes;
    if (XGetWindowAttributes(x, window, &attributes)) {
        XImage* image = XGetImage(x, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
        if (image) {
            picture.emplace(attributes.width, attributes.height);
            // The channels by their masks (Xvfb's 24-bit screens: red 0xff0000, green, blue).
            auto channel = [](unsigned long pixel, unsigned long mask) {
                int shift = 0;
                while (mask && !(mask & 1)) {
                    mask >>= 1;
                    ++shift;
                }
                return static_cast<uint8_t>(((pixel >> shift) & mask) * 255 / (mask ? mask : 1));
            };
            std::vector<uint8_t>& rgba = picture->rgba();
            for (int y = 0; y < attributes.height; ++y)
                for (int x0 = 0; x0 < attributes.width; ++x0) {
                    unsigned long pixel = XGetPixel(image, x0, y);
                    size_t at = (static_cast<size_t>(y) * attributes.width + x0) * 4;
                    rgba[at] = channel(pixel, image->red_mask);
                    rgba[at + 1] = channel(pixel, image->green_mask);
                    rgba[at + 2] = channel(pixel, image->blue_mask);
                    rgba[at + 3] = 255;
                }
            XDestroyImage(image);
        }
    }
    XCloseDisplay(x);
    return picture;
}

} // namespace tavlo::ui::test
