#include "support/ui/Golden.h"

#include <cstdlib>
#include <cstring>
#include <sstream>

namespace tavlo::ui::test {

namespace {

std::string goldenPath(const std::string& name) { return std::string(TAVLO_FIXTURES_DIR) + "/golden/" + name + ".png"; }
std::string outputPath(const std::string& name) {
    return std::string(TAVLO_TEST_OUTPUT_DIR) + "/golden/" + name + ".png";
}

bool updating() {
    const char* flag = std::getenv("TAVLO_UPDATE_GOLDEN");
    return flag && std::strcmp(flag, "1") == 0;
}

// The picture in grey with the differing pixels in red.
render::Bitmap difference(const render::Bitmap& got, const render::Bitmap& want, int channel) {
    render::Bitmap out(got.width(), got.height());
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x) {
            size_t i = (static_cast<size_t>(y) * got.width() + x) * 4;
            bool differs = false;
            for (int c = 0; c < 4; ++c)
                if (std::abs(got.rgba()[i + c] - want.rgba()[i + c]) > channel) differs = true;
            uint8_t grey = static_cast<uint8_t>((got.rgba()[i] + got.rgba()[i + 1] + got.rgba()[i + 2]) / 6 + 128);
            out.rgba()[i] = differs ? 255 : grey;
            out.rgba()[i + 1] = differs ? 0 : grey;
            out.rgba()[i + 2] = differs ? 0 : grey;
            out.rgba()[i + 3] = 255;
        }
    return out;
}

} // namespace

std::string writeTestPicture(const render::Bitmap& picture, const std::string& name) {
    std::string path = std::string(TAVLO_TEST_OUTPUT_DIR) + "/" + name + ".png";
    picture.writePng(path);
    return path;
}

::testing::AssertionResult matchesGolden(const render::Bitmap& picture, const std::string& name,
                                         GoldenTolerance tolerance) {
    std::string golden = goldenPath(name);
    if (updating()) {
        Error error;
        if (!picture.writePng(golden, &error)) return ::testing::AssertionFailure() << error.localizedDescription();
        return ::testing::AssertionSuccess() << "wrote " << golden;
    }
    Error error;
    auto want = render::Bitmap::readPng(golden, &error);
    if (!want) {
        std::string got = outputPath(name);
        picture.writePng(got);
        return ::testing::AssertionFailure()
               << "no golden picture " << golden << " (" << error.localizedDescription() << "); the picture it got is "
               << got << " (look at it; if it is right, run again with TAVLO_UPDATE_GOLDEN=1)";
    }
    auto result = picturesMatch(picture, *want, name, tolerance);
    if (!result)
        result << " (compared with " << golden
               << "; if the new picture is right, run again with TAVLO_UPDATE_GOLDEN=1)";
    return result;
}

::testing::AssertionResult picturesMatch(const render::Bitmap& picture, const render::Bitmap& want,
                                         const std::string& name, GoldenTolerance tolerance) {
    std::string got = outputPath(name);
    if (want.width() != picture.width() || want.height() != picture.height()) {
        picture.writePng(got);
        return ::testing::AssertionFailure()
               << "the picture is " << picture.width() << "x" << picture.height() << ", the one it should match is "
               << want.width() << "x" << want.height() << "; the picture it got is " << got;
    }
    size_t differing = 0;
    int worst = 0;
    const auto& a = picture.rgba();
    const auto& b = want.rgba();
    for (size_t i = 0; i < a.size(); i += 4) {
        int most = 0;
        for (int c = 0; c < 4; ++c) most = std::max(most, std::abs(a[i + c] - b[i + c]));
        worst = std::max(worst, most);
        if (most > tolerance.channel) ++differing;
    }
    size_t allowed = static_cast<size_t>(tolerance.pixels * static_cast<double>(a.size() / 4));
    if (differing <= allowed) return ::testing::AssertionSuccess();
    picture.writePng(got);
    std::string diff = std::string(TAVLO_TEST_OUTPUT_DIR) + "/golden/" + name + "-diff.png";
    difference(picture, want, tolerance.channel).writePng(diff);
    return ::testing::AssertionFailure() << differing << " pixels differ by more than " << tolerance.channel
                                         << " (at most " << allowed << " may; the largest difference is " << worst
                                         << "); the picture it got is " << got << ", the differences are marked in "
                                         << diff;
}

} // namespace tavlo::ui::test
