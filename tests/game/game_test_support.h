#pragma once

// A fresh game state for each test, drawing into the recording 2-D driver: every picture of
// the game as an image of the right frame size with one distinct pixmap per frame (so a
// recorded draw tells which frame it was), the built-in 8×16 font, and sounds that count how
// often they were started and log their names.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/audio_driver.h"
#include "game/game_state.h"
#include "support/recording_vex2d.h"
#include "support/test_support.h"

namespace morvelle::testing {

// A sound whose every start (played, or cued paused) is counted and written by `name` into
// `log`; its channels remember the volume they had when they began to sound.
class CountingSound : public vexel::TSound {
  public:
    CountingSound(std::string name, std::shared_ptr<std::vector<std::string>> log)
        : name_(std::move(name)), log_(std::move(log)) {}
    vexel::ChannelPtr Play(const vexel::ChannelPtr& channel) override;
    vexel::ChannelPtr Cue(const vexel::ChannelPtr& channel) override;
    int32_t starts = 0;
    // The channel's volume when it was played or unpaused; -1 while it has not sounded.
    float sounding_volume = -1;

  private:
    std::string name_;
    std::shared_ptr<std::vector<std::string>> log_;
};

// Every asset of the game as a stand-in: each picture an image of the game's frame size with
// one distinct pixmap per frame (recorded draws name them), no font, and CountingSounds
// logging into `log`.
GameAssets StandInAssets(const std::shared_ptr<std::vector<std::string>>& log);

// One image frame drawn: which picture, which frame, and where its handle went.
struct DrawnFrame {
    std::string picture;
    int32_t frame;
    float x, y;
    bool operator==(const DrawnFrame&) const = default;
};
std::ostream& operator<<(std::ostream& out, const DrawnFrame& drawn);

// The frames of a screen without the sky's tiles, whose number depends on the tiling.
std::vector<DrawnFrame> WithoutSky(std::vector<DrawnFrame> frames);

class GameTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The frames drawn since the last call, in order; the glyphs of texts show as the
    // picture "glyph" with frame 0.
    std::vector<DrawnFrame> TakeFrames();
    // The recorded calls since the last call, frames and glyphs included.
    std::vector<std::string> TakeCalls() { return driver_->TakeCalls(); }
    CountingSound& Sound(const vexel::SoundPtr& sound) {
        return static_cast<CountingSound&>(*sound);
    }
    // The names of the sounds started since the last call ("shot", "empty", "reload",
    // "highscore", "click", "farewell").
    std::vector<std::string> TakeSounds();
    // Sets the pointer and the left clicks of this frame.
    void Pointer(int32_t x, int32_t y, int32_t left_clicks = 0);

    std::shared_ptr<vexel::testing::RecordingDriver> driver_;
    std::shared_ptr<std::vector<std::string>> sounds = std::make_shared<std::vector<std::string>>();
};

// The game's files live relative to the working directory; this one moves into a fresh
// temporary folder holding an empty "Data" for the test and back out afterwards.
class GameFolderTest : public GameTest {
  protected:
    void SetUp() override;
    void TearDown() override;
    std::string DataPath(const std::string& name) const { return folder_ / ("Data/" + name); }

    vexel::testing::TempDir folder_;
    std::string previous_;
};

}  // namespace morvelle::testing
