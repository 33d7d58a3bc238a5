// SPDX-License-Identifier: GPL-3.0-or-later
// Escape parameters to colours and styles.
#include "session/ansi_parser.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

using namespace wren;

namespace {

struct AnsiCase {
    const char *Name;
    QByteArray Sequence; ///< as collected: from "[" to before the final letter
    bool Bright;
    Colour Fore;
    Colour Back;
    std::uint8_t Style;
};

void PrintTo(const AnsiCase &c, std::ostream *os)
{
    *os << c.Name;
}

constexpr Colour White = Rgb(255, 255, 255);
constexpr Colour Navy = Rgb(0, 0, 64);
constexpr Colour Green = Rgb(0, 128, 0);

class AnsiCodes : public ::testing::TestWithParam<AnsiCase>
{
};

} // namespace

TEST_P(AnsiCodes, ChangeTheCurrentAttributes)
{
    const AnsiCase &c = GetParam();
    TSessionOptions options;
    options.SetDefaults();
    options.UseBrightColors = c.Bright;
    TextAttributes attributes;
    attributes.Fore = options.CurTextColor;
    attributes.Back = options.BackColor;
    attributes.Style = Italic; // something for the resets to clear
    ApplyAnsiCodes(c.Sequence, attributes, options);
    EXPECT_EQ(attributes.Fore, c.Fore);
    EXPECT_EQ(attributes.Back, c.Back);
    EXPECT_EQ(attributes.Style, c.Style);
    EXPECT_EQ(options.CurTextColor, c.Fore) << "the writer re-applies CurTextColor before every write";
}

INSTANTIATE_TEST_SUITE_P(
    Table, AnsiCodes,
    ::testing::Values(AnsiCase {"BoldGreen", "[1;32", false, Rgb(0, 128, 0), Navy, Italic | Bold},
                      AnsiCase {"BoldGreenBright", "[1;32", true, Rgb(0, 255, 0), Navy, Italic | Bold},
                      AnsiCase {"ResetGoesToTextColor", "[0", false, Green, Navy, 0},
                      AnsiCase {"ClearScreenClearsStyleOnly", "[2", false, White, Navy, 0},
                      AnsiCase {"LeadingSemicolonCountsAsReset", "[;1", false, Green, Navy, 0},
                      AnsiCase {"EmptyTokenResetsAndSwallowsRest", "[1;;32", false, Green, Navy, 0},
                      AnsiCase {"NoParameters", "[", false, White, Navy, Italic},
                      AnsiCase {"BlueBackground", "[44", false, White, Rgb(0, 0, 128), Italic},
                      AnsiCase {"BrightBackground", "[41", true, White, Rgb(255, 0, 0), Italic},
                      AnsiCase {"DefaultForeground", "[31;39", false, Green, Navy, Italic},
                      AnsiCase {"StylesOnAndOff", "[1;4;9;3;22;24", false, White, Navy, Italic | StrikeOut},
                      AnsiCase {"ItalicAndStrikeOff", "[23;29", false, White, Navy, 0},
                      AnsiCase {"CodesAboveRangeIgnored", "[48;5;196", false, White, Navy, Italic},
                      AnsiCase {"NormalWhiteIsGrey", "[37", false, Rgb(128, 128, 128), Navy, Italic},
                      AnsiCase {"BrightBlackIsSilver", "[30", true, Rgb(192, 192, 192), Navy, Italic},
                      AnsiCase {"HugeNumberIgnored", "[99999999999999999999", false, White, Navy, Italic}),
    [](const auto &info) { return std::string(info.param.Name); });

TEST(AnsiCodes, BackgroundCodesSetCurBackColor)
{
    TSessionOptions options;
    options.SetDefaults();
    TextAttributes attributes;
    ApplyAnsiCodes("[42", attributes, options);
    EXPECT_EQ(options.CurBackColor, Rgb(0, 128, 0));
    ApplyAnsiCodes("[0", attributes, options);
    EXPECT_EQ(attributes.Back, options.DefaultBackColor);
}
