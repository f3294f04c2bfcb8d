#include <gtest/gtest.h>

#include "TestFiles.h"
#include "macro/StepRules.h"
#include "text/U16.h"

namespace tarvik {
namespace {

using test::S;

TEST(StepRules, StepListRows) {
    struct Case {
        MacroAction step;
        const char* text;
        StepIcon icon;
    };
    const Case cases[] = {
        {S(0x03, 0x00, 0x00, 0x78), "120ms", StepIcon::Time},
        {S(0x05, 0x0F, 0x42, 0x40), "1000000ms", StepIcon::Time}, // any b0 0–7 is a delay
        {S(0x00, 0xE9, 0x75, 0xA0), "15300000ms", StepIcon::Time},
        {S(0x41, 0x00, 0x00, 0x00), "A", StepIcon::Down},
        {S(0x41, 0x80, 0x00, 0x00), "A", StepIcon::Up},
        {S(0xE0, 0x80, 0x00, 0x00), "L Key", StepIcon::Up},
        {S(0xE5, 0x00, 0x00, 0x01), "Move Right 1", StepIcon::Down},
        {S(0xE5, 0x00, 0x00, 0x00), "Move Right 0", StepIcon::Down},
        {S(0xE5, 0x00, 0x00, 0xFF), "Move Left 1", StepIcon::Down},
        {S(0xE5, 0x00, 0x00, 0x80), "Move Left 128", StepIcon::Down},
        {S(0xE6, 0x00, 0x00, 0x7F), "Move Down 127", StepIcon::Down},
        {S(0xE6, 0x00, 0x00, 0xFD), "Move Up 3", StepIcon::Down},
        {S(0xE7, 0x00, 0x00, 0x02), "Wheel Down 2", StepIcon::Down},
        {S(0xE7, 0x80, 0x00, 0xFE), "Wheel Up 2", StepIcon::Up},
        {S(0x0E, 0x00, 0x00, 0x00), "Undefined", StepIcon::Down},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ToUtf8(StepText(c.step)), c.text);
        EXPECT_EQ(StepIconOf(c.step), c.icon);
    }
}

TEST(StepRules, DelayFromText) {
    struct Case {
        const char16_t* text;
        MacroAction step;
    };
    const Case cases[] = {
        {u"20000000", S(0x03, 0xE9, 0x75, 0xA0)}, // capped at 15,300,000
        {u"15300000", S(0x03, 0xE9, 0x75, 0xA0)},
        {u"4000", S(0x03, 0x00, 0x0F, 0xA0)},
        {u"12ab34", S(0x03, 0x00, 0x00, 0x0C)}, // leading digits only
        {u"", S(0x03, 0, 0, 0)},
        {u"x5", S(0x03, 0, 0, 0)},
        {u"99999999999999999999999999", S(0x03, 0xE9, 0x75, 0xA0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.text));
        EXPECT_EQ(DelayStepFromText(c.text), c.step);
    }
    EXPECT_EQ(ToUtf8(DelayFieldText(S(0x03, 0x01, 0x00, 0x00))), "65536");
}

TEST(StepRules, MoveFromTextTakesTheSignOfTheKind) {
    struct Case {
        const char16_t* text;
        int kind;
        std::uint8_t b1;
        MacroAction step;
    };
    const Case cases[] = {
        {u"0", kMoveRight, 0, S(0xE5, 0, 0, 0x01)},       {u"500", kMoveRight, 0, S(0xE5, 0, 0, 0x7F)},
        {u"3", kMoveUp, 0, S(0xE6, 0, 0, 0xFD)},          {u"3", kMoveDown, 0, S(0xE6, 0, 0, 0x03)},
        {u"127", kMoveLeft, 0, S(0xE5, 0, 0, 0x81)},      {u"", kMoveLeft, 0, S(0xE5, 0, 0, 0xFF)},
        {u"9", kMoveRight, 0x80, S(0xE5, 0x80, 0, 0x09)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.text) + " kind " + std::to_string(c.kind));
        EXPECT_EQ(MoveStepFromText(c.text, c.kind, c.b1), c.step);
    }
    EXPECT_EQ(ToUtf8(MoveFieldText(S(0xE5, 0, 0, 0xFD))), "3");
    EXPECT_EQ(ToUtf8(MoveFieldText(S(0xE6, 0, 0, 0x05))), "5");
    EXPECT_EQ(ToUtf8(MoveFieldText(S(0xE6, 0, 0, 0x80))), "128");
    EXPECT_EQ(MovePreset(kMoveLeft), S(0xE5, 0, 0, 0xFF));
    EXPECT_EQ(MovePreset(kMoveDown), S(0xE6, 0, 0, 0x01));
}

TEST(StepRules, KeyRenameLoopCountAndTyping) {
    EXPECT_EQ(KeyStepWithCode(S(0x41, 0x80, 0, 0), 0xA0), S(0xA0, 0x80, 0, 0));
    EXPECT_EQ(KeyStepWithCode(S(0x41, 0x00, 0, 0), 0x00), S(0x41, 0x00, 0, 0));

    EXPECT_FALSE(RenameChanged(u"Macro", u"Macro"));
    EXPECT_TRUE(RenameChanged(u"Macro", u"macro"));

    struct Case {
        const char16_t* text;
        int value;
        const char* replacement;
    };
    const Case counts[] = {{u"7", 7, nullptr}, {u"255", 255, nullptr}, {u"256", 255, "255"},
                           {u"0", 1, "1"},     {u"", 1, "1"},          {u"12x", 12, nullptr}};
    for (const auto& c : counts) {
        SCOPED_TRACE(ToUtf8(c.text));
        const LoopCountValue v = LoopCountFromText(c.text);
        EXPECT_EQ(v.value, c.value);
        EXPECT_EQ(v.replacement ? ToUtf8(*v.replacement) : std::string("-"),
                  c.replacement ? c.replacement : "-");
    }

    EXPECT_EQ(TypedCharNotice(u'7'), Notice::None);
    EXPECT_EQ(TypedCharNotice(u'\b'), Notice::None);
    EXPECT_EQ(TypedCharNotice(u'a'), Notice::DigitsOnly);
    EXPECT_EQ(TypedCharNotice(u'-'), Notice::DigitsOnly);
}

} // namespace
} // namespace tarvik
