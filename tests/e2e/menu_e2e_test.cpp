// The title screen and its menu through the real game: what the window shows, read back.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include "game_harness.h"

namespace morvelle::e2e {
namespace {

struct Pictures {
    Picture cursor = LoadGamePicture("cur.png");
    Picture buttons = LoadGamePicture("MenuButtons.png");
    Picture button(int32_t frame) const { return Cell(buttons, 256, 64, frame); }
};

// The cursor's 32×32 picture at the pointer, left out when comparing what is under it.
Area CursorAt(int32_t x, int32_t y) {
    return {x, y, 32, 32};
}

TEST(Menu, FirstFrameShowsTheTitleWithTheCursorAtItsStartingPoint) {
    const Pictures pictures;
    GameProcess game;
    Picture shown;
    ASSERT_NO_FATAL_FAILURE(WaitForTitle(game, &shown));
    EXPECT_EQ(Mismatches(shown, pictures.cursor, 512, 281), 0);
    // The four buttons at rest: play, high scores, notice, quit.
    EXPECT_TRUE(Shows(shown, pictures.button(0), 384, 96));
    EXPECT_TRUE(Shows(shown, pictures.button(2), 384, 198));
    EXPECT_TRUE(Shows(shown, pictures.button(4), 384, 300));
    EXPECT_TRUE(Shows(shown, pictures.button(6), 384, 403));
    EXPECT_TRUE(Shows(shown, Cell(LoadGamePicture("SndButton.png"), 64, 64, 0), 928, 416));
    // The caption, and the class by which a desktop finds the game's desktop entry.
    EXPECT_EQ(game.WindowTitle(), "Morvelle");
    EXPECT_EQ(game.WindowClass(), "morvelle.Morvelle");
}

TEST(Menu, PointerOverAButtonShowsItsHoverFrame) {
    const Pictures pictures;
    GameProcess game;
    ASSERT_NO_FATAL_FAILURE(WaitForTitle(game));
    game.MoveTo(450, 120);
    const Picture hovered = game.WaitFor(
        "the cursor over the play button's left part",
        [&](const Picture& window) { return Shows(window, pictures.cursor, 450, 120); });
    EXPECT_TRUE(Shows(hovered, pictures.button(1), 384, 96, CursorAt(450, 120)));
    EXPECT_FALSE(Shows(hovered, pictures.button(0), 384, 96, CursorAt(450, 120)));
    // On the border the button is not hovered.
    game.MoveTo(384, 120);
    const Picture border = game.WaitFor(
        "the cursor on the play button's left border",
        [&](const Picture& window) { return Shows(window, pictures.cursor, 384, 120); });
    EXPECT_TRUE(Shows(border, pictures.button(0), 384, 96, CursorAt(384, 120)));
}

TEST(Menu, HighScoreAndNoticeScreensAndBack) {
    const Pictures pictures;
    GameProcess game;
    ASSERT_NO_FATAL_FAILURE(WaitForTitle(game));
    game.MoveTo(512, 230);
    game.WaitFor("the table button lit under the cursor", [&](const Picture& window) {
        return Shows(window, pictures.button(3), 384, 198, CursorAt(512, 230));
    });
    game.Click();
    // The back button at rest, then hovered once the pointer is on it. (Each move waits for
    // the screen it expects: a move taken in the same frame as the click before it would
    // make that click land where the pointer went.)
    game.WaitFor("the table screen's back button", [&](const Picture& window) {
        return Shows(window, pictures.button(8), 384, 403) &&
               !Shows(window, pictures.button(0), 384, 96);
    });
    game.MoveTo(600, 440);
    const Picture table =
        game.WaitFor("the back button lit under the cursor", [&](const Picture& window) {
            return Shows(window, pictures.button(9), 384, 403, CursorAt(600, 440));
        });
    EXPECT_TRUE(Shows(table, pictures.button(9), 384, 403, CursorAt(600, 440)));
    EXPECT_FALSE(Shows(table, pictures.button(0), 384, 96));
    game.Click();

    // Back on the title, where the quit button sits under the pointer.
    const Picture title = game.WaitFor("the title again", [&](const Picture& window) {
        return Shows(window, pictures.button(0), 384, 96);
    });
    EXPECT_TRUE(Shows(title, pictures.button(0), 384, 96));
    EXPECT_TRUE(Shows(title, pictures.button(7), 384, 403, CursorAt(600, 440)));

    game.MoveTo(512, 332);
    game.WaitFor("the notice button lit under the cursor", [&](const Picture& window) {
        return Shows(window, pictures.button(5), 384, 300, CursorAt(512, 332));
    });
    game.Click();
    // The notice has only the back button: the title's buttons are gone.
    game.WaitFor("the notice screen's back button", [&](const Picture& window) {
        return Shows(window, pictures.button(8), 384, 403) &&
               !Shows(window, pictures.button(4), 384, 300, CursorAt(512, 332));
    });
    game.MoveTo(420, 430);
    const Picture notice = game.WaitFor(
        "the back button lit under the cursor on the notice", [&](const Picture& window) {
            return Shows(window, pictures.button(9), 384, 403, CursorAt(420, 430));
        });
    EXPECT_TRUE(Shows(notice, pictures.button(9), 384, 403, CursorAt(420, 430)));
    EXPECT_FALSE(Shows(notice, pictures.button(4), 384, 300));
    game.Click();
    const Picture back = game.WaitFor(
        "the title again with the notice button unlit",
        [&](const Picture& window) { return Shows(window, pictures.button(4), 384, 300); });
    EXPECT_TRUE(Shows(back, pictures.button(0), 384, 96));
    game.Tap(XK_Escape);
    EXPECT_EQ(game.WaitForExit(), 0);
    EXPECT_EQ(game.Stderr(), "");
}

}  // namespace
}  // namespace morvelle::e2e
