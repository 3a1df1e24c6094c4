// Every way out of the real game: the exit handlers save the options and the scores in
// order, after the farewell sound when sound is on; start-up failures stop with a message.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

#include "game_harness.h"
#include "support/game_file_bytes.h"

namespace morvelle::e2e {
namespace {

using morvelle::testing::OptionsBytes;
using morvelle::testing::ScoreRecord;

// The table the game fills when it has none: ten "Orlan" rows from 1315 down to 10.
Bytes DefaultTable() {
    Bytes bytes;
    for (int32_t points : {1315, 1050, 815, 610, 435, 290, 175, 90, 35, 10}) {
        const Bytes record = ScoreRecord("Orlan", points);
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
    return bytes;
}

std::vector<std::string> What(const std::vector<Happening>& happenings) {
    std::vector<std::string> names;
    for (const Happening& happening : happenings)
        names.push_back(happening.what);
    return names;
}

TEST(Exit, EscapeWithSoundOnSavesAfterTheFarewellSound) {
    GameProcess game({.environment = {{"USER", "ulf"}, {"USERNAME", "Uta"}}});
    ASSERT_NO_FATAL_FAILURE(WaitForTitle(game));
    const size_t happened_before = game.Happenings().size();
    game.Tap(XK_Escape);
    ASSERT_EQ(game.WaitForExit(), 0) << game.Stderr();
    const auto happenings = game.Happenings();
    const std::vector<Happening> at_exit(happenings.begin() + long(happened_before),
                                         happenings.end());
    ASSERT_EQ(What(at_exit), (std::vector<std::string>{"sound", "Options", "High.Score"}));
    // The farewell plays out for 1.8 s before anything is saved.
    EXPECT_GE(at_exit[1].at - at_exit[0].at, Millis(1000));
    EXPECT_EQ(game.File("Data/Options"), OptionsBytes("Uta", 1));
    EXPECT_EQ(game.File("Data/High.Score"), DefaultTable());
    EXPECT_EQ(game.Stderr(), "");
}

TEST(Exit, EscapeWithSoundOffExitsAtOnceInSilence) {
    const Bytes table = {'A', 'n', 'a', 0x0D, 0x0A, 0x2C, 0x01, 0, 0};  // Ana, 300
    GameProcess game({.options = OptionsBytes("Bo", 0), .highscores = table});
    ASSERT_NO_FATAL_FAILURE(WaitForTitle(game));
    game.Tap(XK_Escape);
    ASSERT_EQ(game.WaitForExit(), 0) << game.Stderr();
    EXPECT_LT(game.ExitDelay(), Millis(2000));  // the farewell alone takes 2.3 s
    const Bytes audio = game.Audio();
    EXPECT_GT(audio.size(), 0u);
    EXPECT_TRUE(std::all_of(audio.begin(), audio.end(), [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(What(game.Happenings()), (std::vector<std::string>{"Options", "High.Score"}));
    EXPECT_EQ(game.File("Data/Options"), OptionsBytes("Bo", 0));
    EXPECT_EQ(game.File("Data/High.Score"), table);
}

TEST(Exit, SoundToggleClicksAndIsSaved) {
    GameProcess game({.options = OptionsBytes("Cem", 1)});
    ASSERT_NO_FATAL_FAILURE(WaitForTitle(game));
    game.MoveTo(960, 448);
    game.Click();
    // Switched off, the lit button wears the muted speaker's bar.
    Picture toggle = Cell(LoadGamePicture("SndButton.png"), 64, 64, 1);
    const Picture bar = LoadGamePicture("SndMuted.png");
    ASSERT_EQ(bar.pixels.size(), toggle.pixels.size());
    for (size_t i = 0; i < toggle.pixels.size(); ++i) {
        const uint32_t top = bar.pixels[i], below = toggle.pixels[i], a = top >> 24;
        const auto mix = [&](int shift) {
            const uint32_t t = (top >> shift) & 0xFF, b = (below >> shift) & 0xFF;
            return ((t * a + b * (255 - a) + 127) / 255) << shift;
        };
        toggle.pixels[i] = (std::max(a, below >> 24) << 24) | mix(16) | mix(8) | mix(0);
    }
    game.WaitFor("the sound button switched off", [&](const Picture& w) {
        return Shows(w, toggle, 928, 416, {960, 448, 32, 32});
    });
    // The click of switching off is heard.
    EXPECT_TRUE(game.WaitForHappening("sound"));
    game.Tap(XK_Escape);
    ASSERT_EQ(game.WaitForExit(), 0) << game.Stderr();
    // With sound off there is no farewell.
    EXPECT_EQ(What(game.Happenings()),
              (std::vector<std::string>{"sound", "Options", "High.Score"}));
    EXPECT_LT(game.ExitDelay(), Millis(2000));  // the farewell alone takes 2.3 s
    EXPECT_EQ(game.File("Data/Options"), OptionsBytes("Cem", 0));
}

TEST(Exit, QuitButtonAndCloseButtonRunTheExitHandlers) {
    {
        GameProcess game({.options = OptionsBytes("Dora", 0)});
        ASSERT_NO_FATAL_FAILURE(WaitForTitle(game));
        game.MoveTo(512, 435);
        game.Click();
        ASSERT_EQ(game.WaitForExit(), 0) << game.Stderr();
        EXPECT_EQ(game.File("Data/Options"), OptionsBytes("Dora", 0));
        EXPECT_EQ(game.File("Data/High.Score"), DefaultTable());
    }
    {
        GameProcess game({.options = OptionsBytes("Emil", 0)});
        ASSERT_NO_FATAL_FAILURE(WaitForTitle(game));
        game.RequestClose();
        ASSERT_EQ(game.WaitForExit(), 0) << game.Stderr();
        EXPECT_EQ(game.File("Data/Options"), OptionsBytes("Emil", 0));
        EXPECT_EQ(game.File("Data/High.Score"), DefaultTable());
    }
}

TEST(Exit, TerminationSignalsStillSaveBothFiles) {
    for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        GameProcess game({.options = OptionsBytes("Finn", 0)});
        ASSERT_NO_FATAL_FAILURE(WaitForTitle(game));
        game.Signal(signal_number);
        ASSERT_EQ(game.WaitForExit(), 0) << signal_number << ' ' << game.Stderr();
        EXPECT_EQ(game.File("Data/Options"), OptionsBytes("Finn", 0));
        EXPECT_EQ(game.File("Data/High.Score"), DefaultTable());
    }
}

TEST(Exit, SecondSignalDuringTheFarewellEndsAtOnce) {
    GameProcess game({.options = OptionsBytes("Gil", 1)});
    ASSERT_NO_FATAL_FAILURE(WaitForTitle(game));
    game.Signal(SIGTERM);
    // The farewell holds the exit for 2.3 s; a second signal in that time ends the game
    // without saving.
    std::this_thread::sleep_for(Millis(300));
    game.Signal(SIGTERM);
    EXPECT_EQ(game.WaitForExit(), -1);
    EXPECT_LT(game.ExitDelay(), Millis(1000));
    EXPECT_EQ(game.File("Data/Options"), OptionsBytes("Gil", 1));
    EXPECT_EQ(game.File("Data/High.Score"), std::nullopt);
}

TEST(Exit, SavedFilesThatAreFifosNeitherHoldUpTheStartNorAreSaved) {
    GameProcess game({.options = std::nullopt, .fifos = {"Options", "High.Score"}});
    ASSERT_NO_FATAL_FAILURE(WaitForTitle(game));
    game.Tap(XK_Escape);
    ASSERT_EQ(game.WaitForExit(), 0) << game.Stderr();
    EXPECT_EQ(game.Stderr(),
              "morvelle: cannot read Data/Options (not a regular file); it is kept as it is and "
              "not saved\n"
              "morvelle: cannot read Data/High.Score (not a regular file); it is kept as it is "
              "and not saved\n");
    for (const Happening& happening : game.Happenings())
        EXPECT_EQ(happening.what, "sound");
}

TEST(Exit, NoSoundOutputSaysSoInOneLineAndTheGameRunsSilently) {
    // Neither a sound server nor the OSS device.
    GameProcess game({.options = OptionsBytes("Hal", 1),
                      .environment = {{"AUDIODEV", "/nonexistent/dsp"},
                                      {"VEXEL_AUDIO", ""},
                                      {"PULSE_SERVER", "unix:/nonexistent/native"}}});
    ASSERT_NO_FATAL_FAILURE(WaitForTitle(game));
    // With sound on, but nothing to hear it through, the program ends without the farewell's
    // wait.
    game.Tap(XK_Escape);
    ASSERT_EQ(game.WaitForExit(), 0) << game.Stderr();
    EXPECT_LT(game.ExitDelay(), Millis(1000));
    EXPECT_EQ(game.Stderr(),
              "morvelle: no sound output, so the game plays in silence (the sound server: no "
              "server answered; the OSS device /nonexistent/dsp: cannot be opened).\n");
    EXPECT_EQ(game.File("Data/Options"), OptionsBytes("Hal", 1));
    EXPECT_TRUE(game.Audio().empty());
}

TEST(Exit, MissingPictureStopsBeforeTheWindowWithAMessage) {
    GameProcess game({.left_out = {"gfx/Sky.png"}});
    EXPECT_FALSE(game.WaitForWindow());
    EXPECT_EQ(game.WaitForExit(), 1);
    const std::string message = game.Stderr();
    EXPECT_NE(message.find(game.Folder() + "/Data/gfx/Sky.png"), std::string::npos) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    EXPECT_EQ(game.File("Data/Options"), std::nullopt);
}

TEST(Exit, NoDisplaySaysSoInOneLine) {
    GameProcess game({.with_display = false});
    EXPECT_EQ(game.WaitForExit(), 1);
    const std::string message = game.Stderr();
    EXPECT_NE(message.find("X display"), std::string::npos) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
}

}  // namespace
}  // namespace morvelle::e2e
