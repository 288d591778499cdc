#pragma once

#include "core/ports/PrinterStream.h"

#include <optional>
#include <string>
#include <vector>

namespace tavlo::test {

// A receipt printer that records what it was asked to do ("open", "drawer 2", "close"); its
// open can be made to fail with a given error.
class RecordingPrinterStream : public PrinterStream {
public:
    bool open(Error* error) override {
        calls.push_back("open");
        if (openFailure) {
            Error::set(error, *openFailure);
            return false;
        }
        isOpen = true;
        return true;
    }
    bool openDrawer(int drawer) override {
        calls.push_back("drawer " + std::to_string(drawer));
        return isOpen;
    }
    void close() override {
        calls.push_back("close");
        isOpen = false;
    }

    std::vector<std::string> calls;
    std::optional<Error> openFailure;
    bool isOpen = false;
};

} // namespace tavlo::test
