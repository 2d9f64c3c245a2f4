// Properties of the window's description that both windows rely on.

#include "window/form_description.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace varnock::form {
namespace {

TEST(FormDescription, TabMovesThroughTheBoxesTheButtonAndThePicturesOnly) {
    std::vector<std::string> names;
    for (const ControlDescription* control : TabOrder()) {
        names.emplace_back(control->name);
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"txtIp", "txtMAC", "Command1", "Picture1", "Picture2"}));
}

TEST(FormDescription, ControlsWithAWindowLieAboveTheWindowlessOnes) {
    bool windowlessSeen = false;
    for (const ControlDescription& control : Controls()) {
        EXPECT_FALSE(control.HasOwnWindow() && windowlessSeen) << control.name;
        windowlessSeen = windowlessSeen || !control.HasOwnWindow();
    }
}

TEST(FormDescription, StartUpTextsNameControlsThatHaveText) {
    for (const StartUpText& startUp : StartUpTexts()) {
        const ControlKind kind = Control(startUp.control).kind;
        EXPECT_TRUE(kind == ControlKind::kTextBox || kind == ControlKind::kButton)
            << startUp.control;
    }
    EXPECT_THROW(Control("Label7"), std::out_of_range);
}

TEST(FormDescription, EveryFaceHasSubstitutesAndEveryDrawnTextAFont) {
    for (const ControlDescription& control : Controls()) {
        if (control.kind == ControlKind::kLabel || control.kind == ControlKind::kTextBox ||
            control.kind == ControlKind::kButton) {
            const std::string_view face = FontOf(control).face;
            bool substituted = false;
            for (const FontSubstitute& substitute : FontSubstitutes()) {
                substituted = substituted || substitute.face == face;
            }
            EXPECT_TRUE(substituted) << control.name << " in " << face;
        }
    }
}

}  // namespace
}  // namespace varnock::form
