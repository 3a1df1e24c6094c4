// The high-score screen drawn into the recording driver.
#include "game/highscore_screen.h"

#include <gtest/gtest.h>

#include <set>

#include "game/highscore.h"
#include "game/main_loop.h"
#include "game_test_support.h"

namespace morvelle::testing {
namespace {

using HighscoreScreen = GameTest;

TEST_F(HighscoreScreen, HighScoreRowsSitAtTheirLayoutHeights) {
    THighscore::Fill();
    Pointer(0, 0);
    UpdateHighscoreScreen();
    const auto frames = WithoutSky(TakeFrames());
    // Each row's texts are 16 pixels high and centred on the row: their glyphs start 8 above.
    std::set<float> glyph_rows;
    std::vector<DrawnFrame> rank_starts;
    for (const DrawnFrame& drawn : frames) {
        if (drawn.picture != "glyph") continue;
        glyph_rows.insert(drawn.y + 8);
    }
    EXPECT_EQ(glyph_rows, (std::set<float>{48, 84, 120, 156, 192, 227, 263, 299, 335, 371}));
    // "1." right-aligned at 256, "Orlan" centred on 512, "1315" right-aligned at 788.48.
    EXPECT_EQ(frames[3], (DrawnFrame{"glyph", 0, 240, 40}));
    EXPECT_EQ(frames[5], (DrawnFrame{"glyph", 0, 492, 40}));
    EXPECT_EQ(frames[10], (DrawnFrame{"glyph", 0, 756, 40}));
    EXPECT_EQ(frames[frames.size() - 2], (DrawnFrame{"MenuButtons", 8, 512, 435}));
    EXPECT_EQ(frames.back(), (DrawnFrame{"cur", 0, 0, 0}));
}

TEST_F(HighscoreScreen, NewestEntryIsHighlightedOnAGreenBar) {
    THighscore::Fill();
    THighscore::Add(u"Neu", 500);
    THighscore::Draw();
    std::vector<std::string> colours_and_bars;
    for (const std::string& call : TakeCalls()) {
        if (call.rfind("Color", 0) == 0 || call.rfind("Rect", 0) == 0) {
            colours_and_bars.push_back(call);
        }
    }
    const std::vector<std::string> white(4, "Color 255 255 255");
    std::vector<std::string> expected = white;
    // Rank 5 lies at y 192: a 614.4 × 32 bar from (204.8, 176), then white text on it.
    expected.insert(expected.end(),
                    {"Color 64 200 64", "Rect 0 0 614.4 32 204.8 176", "Color 255 255 255"});
    expected.insert(expected.end(), 5, "Color 255 255 255");
    // The eleventh entry is kept in memory but not drawn; the colour ends white.
    expected.push_back("Color 255 255 255");
    EXPECT_EQ(colours_and_bars, expected);
    EXPECT_EQ(Game().HighscoreList.Count(), 11u);
}

TEST_F(HighscoreScreen, BackButtonOfTheHighScoreScreenReturnsToTheTitle) {
    Game().ScreenState = SCREEN_HIGHSCORES;
    Pointer(512, 435, 1);
    RunScreenHandler(Game().ScreenState);
    EXPECT_EQ(Game().ScreenState, SCREEN_TITLE);
    EXPECT_EQ(WithoutSky(TakeFrames()).end()[-2], (DrawnFrame{"MenuButtons", 9, 512, 435}));
    // A state outside the five screens runs nothing.
    RunScreenHandler(static_cast<Screen>(5));
    RunScreenHandler(static_cast<Screen>(-1));
    EXPECT_TRUE(TakeFrames().empty());
}

}  // namespace
}  // namespace morvelle::testing
