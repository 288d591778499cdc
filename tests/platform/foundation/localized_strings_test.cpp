#include "platform/foundation/LocalizedStrings.h"

#include "support/TempHome.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace tavlo;

TEST(LocalizedStrings, FileOverridesAndAbsentKeysComeBack) {
    test::TempHome home;
    auto file = home.path() / "en.strings";
    std::ofstream(file) << "/* screen titles */\n"
                           "\"Order\" = \"Ticket\";\n"
                           "// one on a line with an escaped quote and a line feed\n"
                           "\"Say \\\"hi\\\"\" = \"Line one\\nLine two\";\n"
                           "\"Broken = \"no closing quote;\n"
                           "\"Missing semicolon\" = \"x\"\n"
                           "\"Pay\"=\"Settle\"; \"Tip\" = \"Gratuity\";\n";
    LocalizedStrings strings(file);
    EXPECT_EQ(strings.lookup("Order"), "Ticket");
    EXPECT_EQ(strings.lookup("Say \"hi\""), "Line one\nLine two");
    EXPECT_EQ(strings.lookup("Pay"), "Settle");
    EXPECT_EQ(strings.lookup("Tip"), "Gratuity");
    EXPECT_EQ(strings.lookup("Missing semicolon"), "Missing semicolon");
    EXPECT_EQ(strings.lookup("Void"), "Void");

    EXPECT_EQ(LocalizedStrings(home.path() / "absent.strings").lookup("Order"), "Order");
    EXPECT_EQ(localized("A text no file names"), "A text no file names");
}
