// The name entry after a game, with typed characters and keys fed as events.
#include "game/name_entry_screen.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/highscore.h"
#include "play_fixture.h"

namespace morvelle::testing {
namespace {

class NameEntry : public GameFixture {
  protected:
    void SetUp() override {
        GameFixture::SetUp();
        Game().ScreenState = SCREEN_NAME_ENTRY;
    }
    // Frames until the typed characters are used up.
    void Frames(int count) {
        for (int i = 0; i < count; ++i)
            UpdateNameEntry();
    }
};

TEST_F(NameEntry, TakesOneTypedCharacterPerFrameUpToSixteen) {
    GameState& game = Game();
    game.PlayerName = u"Jo";
    Type('e');
    Type(7);  // a control code: ignored
    Type('l');
    Frames(1);
    EXPECT_EQ(game.PlayerName, u"Joe");
    Frames(1);
    EXPECT_EQ(game.PlayerName, u"Joe");
    Frames(1);
    EXPECT_EQ(game.PlayerName, u"Joel");
    for (const char c : std::string("abcdefghijklmnopqrst"))
        Type(c);
    Frames(30);
    EXPECT_EQ(game.PlayerName, u"Joelabcdefghijkl");
    EXPECT_EQ(game.ScreenState, SCREEN_NAME_ENTRY);
}

TEST_F(NameEntry, LatinOneCharactersEnterTheNameAndItIsDrawnBetweenMarksUnderAPrompt) {
    GameState& game = Game();
    game.PlayerName = u"J";
    game.Score = 1315;
    for (const int32_t code : {252, 114, 103, 101, 110})  // ü r g e n
        Type(code);
    Frames(5);
    EXPECT_EQ(game.PlayerName, u"Jürgen");
    TakeTexts();
    Frames(1);
    // Centred on (512, 256); the built-in font has no ü or ä, so the name measures 7 x 8
    // pixels. Above it the score and the prompt, below it what Enter does, all centred.
    EXPECT_EQ(TakeTexts(), (std::vector<DrawnText>{
                               {u">Jürgen<", 484, 248},
                               {u"Punkte: 1315", 464, 145},
                               {u"Dein Name:", 472, 196},
                               {u"Enter trägt ihn in die Bestenliste ein", 364, 309},
                           }));
}

TEST_F(NameEntry, BackspaceRemovesTheLastCharacterUntilTheNameIsEmpty) {
    GameState& game = Game();
    game.PlayerName = u"ab";
    Tap(8);
    Frames(1);
    EXPECT_EQ(game.PlayerName, u"a");
    Tap(8);
    Tap(8);
    Frames(1);
    EXPECT_EQ(game.PlayerName, u"");
    Tap(8);
    Frames(1);
    EXPECT_EQ(game.PlayerName, u"");
}

TEST_F(NameEntry, EnterFilesTheScoreUnderTheNameEvenWhenEmpty) {
    GameState& game = Game();
    game.PlayerName = u"";
    game.Score = 4321;
    Tap(13);
    Frames(1);
    EXPECT_EQ(game.ScreenState, SCREEN_HIGHSCORES);
    ASSERT_NE(game.LastHighscore, nullptr);
    EXPECT_EQ(game.LastHighscore->Name, u"");
    EXPECT_EQ(game.LastHighscore->Points, 4321);
    EXPECT_EQ(game.HighscoreList.ToVector().front(), game.LastHighscore);
    EXPECT_EQ(TakeSounds(), std::vector<std::string>{"highscore"});
}

}  // namespace
}  // namespace morvelle::testing
