#pragma once

#include "platform/ui/render/Bitmap.h"

#include <gtest/gtest.h>

#include <string>

namespace tavlo::ui::test {

// How far a picture may stray from its golden file: each channel of a pixel by at most `channel`
// (of 255), and at most `pixels` of all pixels by more (text edges may round differently).
struct GoldenTolerance {
    int channel = 16;
    double pixels = 0.001;
};

// Compares a picture with tests/fixtures/golden/<name>.png. When they differ, or there is no
// golden file yet, the picture it got is written to <build>/test-output/golden/<name>.png, with
// <name>-diff.png marking the pixels that differ in red, and the message says where. With
// TAVLO_UPDATE_GOLDEN=1 in the environment the golden file is written instead (to accept a change
// one has looked at).
::testing::AssertionResult matchesGolden(const render::Bitmap& picture, const std::string& name,
                                         GoldenTolerance tolerance = {});

// Compares two pictures with the same tolerance; when they differ, the picture it got is written to
// <build>/test-output/golden/<name>.png with <name>-diff.png, and the message says where.
::testing::AssertionResult picturesMatch(const render::Bitmap& got, const render::Bitmap& want, const std::string& name,
                                         GoldenTolerance tolerance = {});

// Where a test puts a picture for people to look at: <build>/test-output/<name>.png.
std::string writeTestPicture(const render::Bitmap& picture, const std::string& name);

} // namespace tavlo::ui::test
