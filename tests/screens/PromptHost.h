#pragma once

#include "platform/ui/NavigationController.h"
#include "screens/common/FlowControl.h"
#include "screens/common/prompts/PromptScreens.h"
#include "support/ui/Harness.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo::screens::test {

// An opener of prompts, as the order screen or the administration screen opens them: a plain
// screen that presents the prompt at the root of a navigation controller of its own, as a form
// sheet, and notes every answer it gets.
class PromptHost {
public:
    // One answer: the value (nil for a back) and the param that came with it.
    struct Answer {
        std::optional<std::string> value;
        std::optional<std::string> param;
        bool operator==(const Answer&) const = default;
    };

    explicit PromptHost(ui::DeviceIdiom idiom) : h(idiom) {
        registerPromptScreens();
        h.show(opener);
    }

    // Presents the prompt in its own navigation controller.
    void open(std::shared_ptr<ui::ViewController> prompt) {
        nav = std::make_shared<ui::NavigationController>(std::move(prompt));
        nav->setModalPresentationStyle(ui::ModalPresentationStyle::FormSheet);
        opener->present(nav, false);
        h.runUntilIdle();
    }
    bool isOpen() const { return opener->presentedViewController() != nullptr; }
    // The observer an opener hands over: notes the answer and, when asked to, closes the prompt.
    template <typename Value, typename Param> void note(const Value& value, const Param& param) {
        answers.push_back({value, param});
        if (closesOnAnswer) opener->dismiss(false);
    }

    ui::test::Harness h;
    std::shared_ptr<ui::ViewController> opener = std::make_shared<ui::ViewController>();
    std::shared_ptr<ui::NavigationController> nav;
    std::vector<Answer> answers;
    bool closesOnAnswer = true;
};

// A flow whose steps the test sets, noting what the prompt asks of it (and how many answers the
// opener had by then).
class RecordingFlow : public FlowControl {
public:
    explicit RecordingFlow(const PromptHost& host) : host_(host) {}

    bool hasNextView() override { return note("hasNextView"), next != nullptr; }
    std::shared_ptr<ui::ViewController> nextView() override { return note("nextView"), next; }
    bool hasPreviousView() override { return note("hasPreviousView"), hasPrevious; }
    std::shared_ptr<ui::ViewController> previousView() override {
        note("previousView");
        return std::make_shared<ui::ViewController>();
    }
    void done() override { note("done"); }

    std::shared_ptr<ui::ViewController> next;
    bool hasPrevious = false;
    // Each call with the number of answers the opener had when it came.
    std::vector<std::string> calls;

private:
    void note(const std::string& call) { calls.push_back(call + "@" + std::to_string(host_.answers.size())); }
    const PromptHost& host_;
};

} // namespace tavlo::screens::test
