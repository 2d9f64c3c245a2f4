// The close label's light, the maker link's request and the mouse handlers
// that reach them, toolkit-free.

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "window/close_label.h"
#include "window/form_mouse.h"
#include "window/maker_link.h"

namespace varnock {
namespace {

// The label's colour after a run of moves, starting from rest.
form::Bgr AfterMoves(std::initializer_list<PointerOver> moves) {
    form::Bgr colour = kCloseLabelRest;
    for (PointerOver place : moves) {
        colour = CloseLabelColourAfterMove(place).value_or(colour);
    }
    return colour;
}

TEST(CloseLabel, LightsOverItselfAndGoesOutOnlyOverTheTitleOrTheBareWindow) {
    EXPECT_EQ(AfterMoves({PointerOver::kCloseLabel}), kCloseLabelLit);
    EXPECT_EQ(AfterMoves({PointerOver::kCloseLabel, PointerOver::kOtherControl}), kCloseLabelLit);
    EXPECT_EQ(AfterMoves({PointerOver::kCloseLabel, PointerOver::kTitleLabel}), kCloseLabelRest);
    EXPECT_EQ(AfterMoves({PointerOver::kCloseLabel, PointerOver::kBareWindow}), kCloseLabelRest);
    EXPECT_EQ(AfterMoves({PointerOver::kOtherControl}), kCloseLabelRest);
}

struct OpenRequest {
    std::string file;
    std::optional<std::string> parameters;
    std::int32_t showCommand;
};

TEST(MakerLink, AsksTheShellOnceForTheMakersPageMaximizedWithNullParameters) {
    std::vector<OpenRequest> requests;
    FollowMakerLink([&](std::string& file, std::optional<std::string>& parameters,
                        const std::int32_t& showCommand) {
        requests.push_back({file, parameters, showCommand});
        return Module1::OpenResult{};  // a failure: not looked at
    });
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].file, "https://www.orbelund.example");
    EXPECT_EQ(requests[0].parameters, std::nullopt);
    EXPECT_EQ(requests[0].showCommand, 3);
}

// A failure raised on the way never reaches the window: it is dropped there.
static_assert(noexcept(FollowMakerLink(DocumentOpener())));

TEST(MakerLink, AsksOnlyOnceWhenTheShellFails) {
    int asked = 0;
    FollowMakerLink(
        [&](std::string&, std::optional<std::string>&, const std::int32_t&) -> Module1::OpenResult {
            ++asked;
            throw std::runtime_error("shell32 not reachable");
        });
    EXPECT_EQ(asked, 1);
}

// A window that writes down what the handlers ask of it.
struct RecordingView final : FormView {
    std::vector<std::string> asked;
    void ShowCloseLabelColour(form::Bgr colour) override {
        asked.push_back(colour == kCloseLabelLit ? "lit" : "rest");
    }
    void BeginWindowDrag() override { asked.push_back("drag"); }
    void EndProgram() override { asked.push_back("end"); }
};

TEST(FormMouse, RoutesEachEventByTheControlUnderTheMouse) {
    RecordingView view;
    FormMouse mouse(view, [&](std::string& file, std::optional<std::string>&, const std::int32_t&) {
        view.asked.push_back("open " + file);
        return Module1::OpenResult{};
    });
    for (const char* control : {"Label3", "Label1", "imgLogo", "Picture1", "txtIp"}) {
        mouse.Moved(control);
    }
    mouse.Moved(FormMouse::kBareWindow);
    EXPECT_EQ(view.asked, (std::vector<std::string>{"lit", "rest", "rest"}));

    view.asked.clear();
    for (const char* control : {"Label1", "Label3", "Picture1", "imgLogo", ""}) {
        mouse.Pressed(control);
    }
    for (const char* control : {"Label1", "imgLogo", "", "Picture1", "Label3"}) {
        mouse.Clicked(control);
    }
    EXPECT_EQ(view.asked,
              (std::vector<std::string>{"drag", "open https://www.orbelund.example", "end"}));
}

}  // namespace
}  // namespace varnock
