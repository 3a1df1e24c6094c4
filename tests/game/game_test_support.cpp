#include "game_test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <ostream>
#include <utility>

#include "graphics/image.h"
#include "graphics/vex2d.h"
#include "pixmap/pixel_format.h"
#include "pixmap/pixmap.h"

namespace morvelle::testing {
namespace {

// A blank picture standing in for one of the game's: which asset it fills, the name it is
// recorded under, and its frame size and count.
struct StandInPicture {
    const char* name;
    vexel::ImagePtr GameAssets::*field;
    int32_t width, height, frames;
};

constexpr StandInPicture kPictures[] = {
    {"Title", &GameAssets::TitleImage, 600, 100, 1},
    {"MenuButtons", &GameAssets::MenuButtonsImage, 256, 64, 10},
    {"SndButton", &GameAssets::SoundButtonImage, 64, 64, 2},
    {"SndMuted", &GameAssets::SoundMutedImage, 64, 64, 1},
    {"Sky", &GameAssets::SkyImage, 64, 64, 1},
    {"Terrain", &GameAssets::TerrainImage, 1536, 512, 3},
    {"cur", &GameAssets::CursorImage, 32, 32, 1},
    {"vexel", &GameAssets::LogoImage, 128, 64, 1},
    {"Cross", &GameAssets::CrosshairImage, 64, 64, 4},
    {"Point", &GameAssets::PointImage, 1, 1, 1},
    {"Pilz", &GameAssets::MushroomImage, 48, 48, 1},
    {"Kirsch", &GameAssets::CherryImage, 40, 40, 1},
    {"Apfel", &GameAssets::AppleImage, 52, 52, 1},
    {"Rübe", &GameAssets::CarrotImage, 36, 60, 1},
    {"Huhn", &GameAssets::ChickenImage, 64, 56, 1},
};

// Which picture and frame each pixmap of the test's images is.
std::map<const vexel::TPixmap*, std::pair<std::string, int32_t>>& Owners() {
    static std::map<const vexel::TPixmap*, std::pair<std::string, int32_t>> owners;
    return owners;
}

vexel::ImagePtr MakePicture(const StandInPicture& spec) {
    auto image = vexel::TImage::Create(spec.width, spec.height, spec.frames, 0, 0, 0, 0);
    for (int32_t frame = 0; frame < spec.frames; ++frame) {
        auto pixmap = vexel::NewPixmap(spec.width, spec.height, vexel::PIXEL_RGBA32, 4);
        Owners()[pixmap.get()] = {spec.name, frame};
        image->SetPixmap(frame, pixmap);
    }
    // Every picture has its handle in its middle, except the cursor's tip at the corner.
    if (spec.field != &GameAssets::CursorImage) vexel::CentreImageHandle(*image);
    return image;
}

class VolumeChannel : public vexel::TChannel {
  public:
    VolumeChannel(CountingSound& sound, bool paused) : sound_(sound), paused_(paused) {
        if (!paused_) sound_.sounding_volume = volume_;
    }
    void SetVolume(float volume) override { volume_ = volume; }
    void SetPaused(int32_t paused) override {
        if (paused_ && paused == 0) sound_.sounding_volume = volume_;
        paused_ = paused != 0;
    }

  private:
    CountingSound& sound_;
    bool paused_;
    float volume_ = 1;
};

}  // namespace

vexel::ChannelPtr CountingSound::Play(const vexel::ChannelPtr&) {
    ++starts;
    log_->push_back(name_);
    return std::make_shared<VolumeChannel>(*this, false);
}

vexel::ChannelPtr CountingSound::Cue(const vexel::ChannelPtr&) {
    ++starts;
    log_->push_back(name_);
    return std::make_shared<VolumeChannel>(*this, true);
}

GameAssets StandInAssets(const std::shared_ptr<std::vector<std::string>>& log) {
    GameAssets assets;
    Owners().clear();
    for (const StandInPicture& spec : kPictures)
        assets.*spec.field = MakePicture(spec);
    for (const auto& [slot, name] : {std::pair{&GameAssets::ShotSound, "shot"},
                                     {&GameAssets::EmptySound, "empty"},
                                     {&GameAssets::ReloadSound, "reload"},
                                     {&GameAssets::HighscoreSound, "highscore"},
                                     {&GameAssets::ClickSound, "click"},
                                     {&GameAssets::FarewellSound, "farewell"}}) {
        assets.*slot = std::make_shared<CountingSound>(name, log);
    }
    return assets;
}

std::vector<DrawnFrame> WithoutSky(std::vector<DrawnFrame> frames) {
    std::erase_if(frames, [](const DrawnFrame& f) { return f.picture == "Sky"; });
    return frames;
}

std::ostream& operator<<(std::ostream& out, const DrawnFrame& drawn) {
    return out << drawn.picture << '[' << drawn.frame << "] at " << drawn.x << ',' << drawn.y;
}

void GameTest::SetUp() {
    ResetGameState();
    driver_ = vexel::testing::OpenRecordingGraphics(1024, 512);
    vexel::SetDrawFont(nullptr);
    GameState& game = Game();
    game.Assets = StandInAssets(sounds);
    game.LayerScale = {0.25f, 0.5f, 1.0f};
    driver_->TakeCalls();
}

void GameTest::TearDown() {
    vexel::testing::CloseRecordingGraphics();
    ResetGameState();
}

std::vector<DrawnFrame> GameTest::TakeFrames() {
    std::vector<DrawnFrame> frames;
    for (const auto& draw : driver_->frame_draws) {
        const auto owner = Owners().find(draw.pixmap);
        if (owner == Owners().end()) {
            frames.push_back({"glyph", 0, draw.tx, draw.ty});
        } else {
            frames.push_back({owner->second.first, owner->second.second, draw.tx, draw.ty});
        }
    }
    driver_->TakeCalls();
    return frames;
}

std::vector<std::string> GameTest::TakeSounds() {
    return std::exchange(*sounds, {});
}

void GameTest::Pointer(int32_t x, int32_t y, int32_t left_clicks) {
    GameState& game = Game();
    game.PointerX = x;
    game.PointerY = y;
    game.LeftClicks = left_clicks;
}

void GameFolderTest::SetUp() {
    GameTest::SetUp();
    previous_ = std::string(4096, '\0');
    ASSERT_NE(getcwd(previous_.data(), previous_.size()), nullptr);
    previous_.resize(previous_.find('\0'));
    ASSERT_EQ(mkdir((folder_ / "Data").c_str(), 0755), 0);
    ASSERT_EQ(chdir(folder_.path().c_str()), 0);
}

void GameFolderTest::TearDown() {
    ASSERT_EQ(chdir(previous_.c_str()), 0);
    GameTest::TearDown();
}

}  // namespace morvelle::testing
