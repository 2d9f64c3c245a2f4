// The close label's light and the maker link's request, toolkit-free.

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "window/close_label.h"
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
        return 2;  // ERROR_FILE_NOT_FOUND: not looked at
    });
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].file, "https://www.orbelund.example");
    EXPECT_EQ(requests[0].parameters, std::nullopt);
    EXPECT_EQ(requests[0].showCommand, 3);
}

TEST(MakerLink, DropsAFailureOnTheWay) {
    EXPECT_NO_THROW(FollowMakerLink(
        [](std::string&, std::optional<std::string>&, const std::int32_t&) -> std::int32_t {
            throw std::runtime_error("shell32 not reachable");
        }));
}

}  // namespace
}  // namespace varnock
