// The title and high-score screens drawn into the recording driver, with the pointer and the
// clicks of the frame set directly.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <set>

#include "audio/audio_sample.h"
#include "game/buttons.h"
#include "game/highscore.h"
#include "game/main_loop.h"
#include "game/screen_support.h"
#include "game/title_screen.h"
#include "game_test_support.h"
#include "graphics/vex2d.h"

namespace morvelle::testing {
namespace {

using Screens = GameTest;

// The frames of a screen without the sky's tiles, whose number depends on the tiling.
std::vector<DrawnFrame> WithoutSky(std::vector<DrawnFrame> frames) {
    std::erase_if(frames, [](const DrawnFrame& f) { return f.picture == "Sky"; });
    return frames;
}

TEST_F(Screens, ToIntTruncatesTowardZero) {
    EXPECT_EQ(ToInt(512 * 0.55f), 281);
    EXPECT_EQ(ToInt(-1024 * 0.2f), -204);
    EXPECT_EQ(ToInt(1024 * 0.85f), 870);
    EXPECT_EQ(ToInt(512 * 0.85f), 435);
}

TEST_F(Screens, DrawTextAlignedPlacesTheScaledTextAtTheAlignment) {
    // "abc" in the 8×16 font is 24 by 16 pixels; under the scale (2, 0.5) 48 by 8.
    vexel::SetDrawScale(2, 0.5f);
    TakeFrames();
    const std::pair<float, float> alignments[] = {{0, 0}, {0.5f, 0.5f}, {1, 1}};
    std::vector<DrawnFrame> first_glyphs;
    for (const auto& [align_x, align_y] : alignments) {
        DrawTextAligned(u"abc", 100.7f, 50.9f, align_x, align_y);
        first_glyphs.push_back(TakeFrames().front());
    }
    EXPECT_EQ(first_glyphs,
              (std::vector<DrawnFrame>{
                  {"glyph", 0, 100, 50}, {"glyph", 0, 76, 46}, {"glyph", 0, 52, 42}}));
    // Truncation toward zero on the left of the screen: -23.5 becomes -23, not -24.
    vexel::SetDrawScale(1, 1);
    DrawTextAligned(u"abc", 0.5f, 0, 1, 0);
    EXPECT_EQ(TakeFrames().front(), (DrawnFrame{"glyph", 0, -23, 0}));
}

TEST_F(Screens, TitleScreenDrawsItsMenuAtTheLayoutPositions) {
    Pointer(0, 0);
    UpdateTitleScreen();
    EXPECT_EQ(WithoutSky(TakeFrames()), (std::vector<DrawnFrame>{
                                            {"Terrain", 0, 512, 256},
                                            {"Terrain", 1, 512, 256},
                                            {"Terrain", 2, 512, 256},
                                            {"Title", 0, 512, 51.2f},
                                            {"vexel", 0, 96, 480},
                                            {"MenuButtons", 0, 512, 128},
                                            {"MenuButtons", 2, 512, 230},
                                            {"MenuButtons", 4, 512, 332},
                                            {"MenuButtons", 6, 512, 435},
                                            {"SndButton", 0, 960, 448},
                                            {"glyph", 0, 952, 488},  // "An" centred on (960, 496)
                                            {"glyph", 0, 960, 488},
                                            {"cur", 0, 0, 0},
                                        }));
    EXPECT_EQ(Game().ScreenState, SCREEN_TITLE);
}

TEST_F(Screens, ButtonBordersNeitherHoverNorClick) {
    // The play button covers 384..640 × 96..160; its border pixels are outside.
    const std::pair<int32_t, int32_t> borders[] = {{384, 128}, {640, 128}, {512, 96}, {512, 160}};
    for (const auto& [x, y] : borders) {
        Pointer(x, y, 1);
        UpdateTitleScreen();
        const auto frames = WithoutSky(TakeFrames());
        EXPECT_EQ(frames[5], (DrawnFrame{"MenuButtons", 0, 512, 128})) << x << ',' << y;
        EXPECT_EQ(Game().ScreenState, SCREEN_TITLE);
    }
    EXPECT_EQ(Sound(Game().Assets.ClickSound).starts, 0);

    // One pixel inside each corner it is hovered, and drawn with frame n + 1.
    const std::pair<int32_t, int32_t> inside[] = {{385, 97}, {639, 159}};
    for (const auto& [x, y] : inside) {
        Pointer(x, y, 0);
        UpdateTitleScreen();
        EXPECT_EQ(WithoutSky(TakeFrames())[5], (DrawnFrame{"MenuButtons", 1, 512, 128}));
    }
    EXPECT_TRUE(PointInRect(385, 97, 384, 96, 256, 64));
    EXPECT_FALSE(PointInRect(384, 97, 384, 96, 256, 64));
}

TEST_F(Screens, ClickOnPlayStartsTheGameAndStillFinishesTheFrame) {
    Pointer(512, 128, 1);
    UpdateTitleScreen();
    EXPECT_EQ(Game().ScreenState, SCREEN_PLAY);
    auto frames = WithoutSky(TakeFrames());
    ASSERT_EQ(frames.size(), 13u);
    EXPECT_EQ(frames[5], (DrawnFrame{"MenuButtons", 1, 512, 128}));
    EXPECT_EQ(frames[6], (DrawnFrame{"MenuButtons", 2, 512, 230}));
    EXPECT_EQ(frames[7], (DrawnFrame{"MenuButtons", 4, 512, 332}));
    EXPECT_EQ(frames[8], (DrawnFrame{"MenuButtons", 6, 512, 435}));
    EXPECT_EQ(frames[12], (DrawnFrame{"cur", 0, 512, 128}));
    EXPECT_EQ(Sound(Game().Assets.ClickSound).starts, 1);
    EXPECT_EQ(Sound(Game().Assets.ClickSound).sounding_volume, 0.75f);
}

TEST_F(Screens, SoundToggleClicksWhenSwitchingOffAndIsSilentSwitchingOn) {
    GameState& game = Game();
    Pointer(960, 448, 1);
    UpdateTitleScreen();
    EXPECT_EQ(game.SoundOn, 0);
    EXPECT_EQ(Sound(game.Assets.ClickSound).starts, 1);
    auto frames = WithoutSky(TakeFrames());
    EXPECT_EQ(frames[9], (DrawnFrame{"SndButton", 1, 960, 448}));
    EXPECT_EQ(frames[10], (DrawnFrame{"glyph", 0, 948, 488}));  // "Aus"

    UpdateTitleScreen();
    EXPECT_EQ(game.SoundOn, 1);
    EXPECT_EQ(Sound(game.Assets.ClickSound).starts, 1);
    EXPECT_EQ(WithoutSky(TakeFrames())[10], (DrawnFrame{"glyph", 0, 952, 488}));  // "An"

    // Any non-zero value is "on"; the toggle flips only bit 0.
    game.SoundOn = 2;
    UpdateTitleScreen();
    EXPECT_EQ(game.SoundOn, 3);
    EXPECT_EQ(SoundLabel(game.SoundOn), u"An");
    UpdateTitleScreen();
    EXPECT_EQ(game.SoundOn, 2);
    EXPECT_EQ(Sound(game.Assets.ClickSound).starts, 3);
}

TEST_F(Screens, HighScoreRowsSitAtTheirLayoutHeights) {
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

TEST_F(Screens, NewestEntryIsHighlightedOnAGreenBar) {
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
    // Rank 5 lies at y 192: a 614.4 × 32 bar from (204.8, 176), then black text.
    expected.insert(expected.end(),
                    {"Color 64 200 64", "Rect 0 0 614.4 32 204.8 176", "Color 0 0 0"});
    expected.insert(expected.end(), 5, "Color 255 255 255");
    // The eleventh entry is kept in memory but not drawn; the colour ends white.
    expected.push_back("Color 255 255 255");
    EXPECT_EQ(colours_and_bars, expected);
    EXPECT_EQ(Game().HighscoreList.Count(), 11u);
}

TEST_F(Screens, BackButtonOfTheHighScoreScreenReturnsToTheTitle) {
    Game().ScreenState = SCREEN_HIGHSCORES;
    Pointer(512, 435, 1);
    RunScreenHandler(Game().ScreenState);
    EXPECT_EQ(Game().ScreenState, SCREEN_TITLE);
    EXPECT_EQ(WithoutSky(TakeFrames()).end()[-2], (DrawnFrame{"MenuButtons", 9, 512, 435}));
    // A state outside the five screens runs nothing.
    RunScreenHandler(5);
    RunScreenHandler(-1);
    EXPECT_TRUE(TakeFrames().empty());
}

TEST_F(Screens, PlayEffectIsSilentWithSoundOffOrWithoutAChannel) {
    GameState& game = Game();
    game.SoundOn = 0;
    PlayEffect(game.Assets.ShotSound);
    EXPECT_EQ(Sound(game.Assets.ShotSound).starts, 0);
    game.SoundOn = 1;
    PlayEffect(game.Assets.ShotSound);
    EXPECT_EQ(Sound(game.Assets.ShotSound).starts, 1);
    EXPECT_EQ(Sound(game.Assets.ShotSound).sounding_volume, 0.75f);
    // A driver without a free voice gives no channel; nothing is set on it then.
    struct NoVoice : vexel::TSound {
        vexel::ChannelPtr Cue(const vexel::ChannelPtr&) override {
            ++starts;
            return nullptr;
        }
        int starts = 0;
    };
    const auto busy = std::make_shared<NoVoice>();
    PlayEffect(busy);
    EXPECT_EQ(busy->starts, 1);
}

// The mixer behind AUDIODEV, read back through a FIFO: the device bytes are what the player
// hears.
TEST_F(Screens, AnEffectSoundsAtThreeQuartersFromItsFirstSample) {
    const vexel::testing::TempDir folder;
    const std::string fifo = folder / "dsp";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    setenv("AUDIODEV", fifo.c_str(), 1);
    vexel::ResetAudioDriverSelection();
    ASSERT_EQ(vexel::CurrentAudioDriver()->Name(), u"Sonmix");

    // A tenth of a second of one level, 16000, at the output's own rate.
    constexpr int32_t kFrames = 4410;
    const auto sample = vexel::NewAudioSample(kFrames, 44100, vexel::SF_MONO16LE);
    auto* bytes = static_cast<uint8_t*>(sample->samples);
    for (int32_t i = 0; i < kFrames; ++i) {
        bytes[2 * i] = 16000 & 0xFF;
        bytes[2 * i + 1] = 16000 >> 8;
    }
    PlayEffect(vexel::LoadSoundFile(sample, 0));

    // Everything the device carries until the sound has sounded a while: silence, then the
    // sound. Each stereo frame is two little-endian 16-bit values.
    std::vector<uint8_t> device;
    const auto value = [&device](size_t index) {
        return static_cast<int16_t>(device[2 * index] | device[2 * index + 1] << 8);
    };
    size_t first = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        while (2 * first + 1 < device.size() && value(first) == 0)
            ++first;
        if (device.size() > 2 * (first + 256)) break;
        uint8_t buffer[4096];
        pollfd waiting{reader, POLLIN, 0};
        poll(&waiting, 1, 50);
        const ssize_t n = read(reader, buffer, sizeof buffer);
        if (n > 0) device.insert(device.end(), buffer, buffer + n);
    }
    vexel::ResetAudioDriverSelection();
    close(reader);
    unsetenv("AUDIODEV");
    ASSERT_GT(device.size(), 2 * (first + 256)) << "the device carried no sound";
    // 16000 × 0.75 on both sides from the first frame on, without a ramp down from full.
    std::vector<int16_t> sounded;
    for (const size_t index : {first, first + 1, first + 2, first + 3, first + 255})
        sounded.push_back(value(index));
    EXPECT_EQ(sounded, std::vector<int16_t>(5, 12000));
}

}  // namespace
}  // namespace morvelle::testing
