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

struct PictureSpec {
    const char* name;
    vexel::ImagePtr GameState::*field;
    int32_t width, height, frames;
};

constexpr PictureSpec kPictures[] = {
    {"Title", &GameState::TitleImage, 600, 100, 1},
    {"MenuButtons", &GameState::MenuButtonsImage, 256, 64, 10},
    {"SndButton", &GameState::SoundButtonImage, 64, 64, 2},
    {"Sky", &GameState::SkyImage, 64, 64, 1},
    {"Terrain", &GameState::TerrainImage, 1536, 512, 3},
    {"cur", &GameState::CursorImage, 32, 32, 1},
    {"vexel", &GameState::LogoImage, 128, 64, 1},
    {"Cross", &GameState::CrosshairImage, 64, 64, 4},
    {"Point", &GameState::PointImage, 1, 1, 1},
    {"Pilz", &GameState::MushroomImage, 48, 48, 1},
    {"Kirsch", &GameState::CherryImage, 40, 40, 1},
    {"Apfel", &GameState::AppleImage, 52, 52, 1},
    {"Rübe", &GameState::CarrotImage, 36, 60, 1},
    {"Huhn", &GameState::ChickenImage, 64, 56, 1},
};

// Which picture and frame each pixmap of the test's images is.
std::map<const vexel::TPixmap*, std::pair<std::string, int32_t>>& Owners() {
    static std::map<const vexel::TPixmap*, std::pair<std::string, int32_t>> owners;
    return owners;
}

vexel::ImagePtr MakePicture(const PictureSpec& spec) {
    auto image = vexel::TImage::Create(spec.width, spec.height, spec.frames, 0, 0, 0, 0);
    for (int32_t frame = 0; frame < spec.frames; ++frame) {
        auto pixmap = vexel::NewPixmap(spec.width, spec.height, vexel::PIXEL_RGBA32, 4);
        Owners()[pixmap.get()] = {spec.name, frame};
        image->SetPixmap(frame, pixmap);
    }
    // Every picture has its handle in its middle, except the cursor's tip at the corner.
    if (spec.field != &GameState::CursorImage) vexel::CentreImageHandle(*image);
    return image;
}

class VolumeChannel : public vexel::TChannel {
  public:
    explicit VolumeChannel(CountingSound& sound) : sound_(sound) {}
    void SetVolume(float volume) override { sound_.last_volume = volume; }

  private:
    CountingSound& sound_;
};

}  // namespace

vexel::ChannelPtr CountingSound::Play(const vexel::ChannelPtr&) {
    ++starts;
    log_->push_back(name_);
    return std::make_shared<VolumeChannel>(*this);
}

std::ostream& operator<<(std::ostream& out, const DrawnFrame& drawn) {
    return out << drawn.picture << '[' << drawn.frame << "] at " << drawn.x << ',' << drawn.y;
}

void GameTest::SetUp() {
    ResetGameState();
    driver_ = vexel::testing::OpenRecordingGraphics(1024, 512);
    vexel::SetDrawFont(nullptr);
    GameState& game = Game();
    Owners().clear();
    for (const PictureSpec& spec : kPictures)
        game.*spec.field = MakePicture(spec);
    for (const auto& [slot, name] : {std::pair{&game.ShotSound, "shot"},
                                     {&game.EmptySound, "empty"},
                                     {&game.ReloadSound, "reload"},
                                     {&game.HighscoreSound, "highscore"},
                                     {&game.ClickSound, "click"},
                                     {&game.FarewellSound, "farewell"}}) {
        *slot = std::make_shared<CountingSound>(name, sounds);
    }
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
