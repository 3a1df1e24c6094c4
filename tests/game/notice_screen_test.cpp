// The notice screen drawn into the recording driver.
#include "game/notice_screen.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "play_fixture.h"

namespace morvelle::testing {
namespace {

using NoticeScreen = GameFixture;

TEST_F(NoticeScreen, TheNoticeScreenShowsItsTextAndGoesBackOnAClick) {
    GameState& game = Game();
    game.ScreenState = SCREEN_NOTICE;
    game.PointerX = 384;  // on the back button's border: not over it
    game.PointerY = 435;
    game.LeftClicks = 1;
    UpdateNoticeScreen();
    const auto texts = TakeTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, u"Diese Funktionalität ist aus Kostengründen entfallen!");
    EXPECT_EQ(texts[0].y, 248);
    EXPECT_EQ(game.ScreenState, SCREEN_NOTICE);
    const auto& cursor = driver_->frame_draws.back();
    EXPECT_EQ(cursor.pixmap, game.Assets.CursorImage->pixmaps[0].get());
    EXPECT_EQ(cursor.tx, 384);

    game.PointerX = 385;
    UpdateNoticeScreen();
    EXPECT_EQ(game.ScreenState, SCREEN_TITLE);
    EXPECT_EQ(TakeSounds(), std::vector<std::string>{"click"});
}

}  // namespace
}  // namespace morvelle::testing
