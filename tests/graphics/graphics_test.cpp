#include "graphics/graphics.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "graphics/gl/gl_graphics.h"
#include "graphics/gl/gl_helpers.h"
#include "platform/x11/x11_video_modes.h"
#include "runtime/startup.h"
#include "system/hook.h"
#include "system/timer.h"

namespace vexel {
namespace {

// A driver that draws nowhere and writes down what it was asked, for the parts of the
// graphics layer that do not depend on a window system.
class RecordingDriver : public TGraphicsDriver {
  public:
    struct Presented {
        int32_t sync;
        int32_t time;
    };

    std::vector<GraphicsModePtr> GraphicsModes() override {
        ++mode_queries;
        return {TGraphicsMode::Create(640, 480, 24, 60), TGraphicsMode::Create(1024, 512, 24, 60),
                TGraphicsMode::Create(1024, 512, 16, 75)};
    }
    GraphicsPtr CreateGraphics(int32_t width, int32_t height, int32_t depth, int32_t hertz,
                               int32_t flags) override;
    void SetGraphics(const GraphicsPtr& graphics) override { selected.push_back(graphics.get()); }
    void Flip(int32_t sync) override { flips.push_back({sync, ElapsedMillis()}); }

    int mode_queries = 0;
    bool fail = false;
    bool throw_on_create = false;
    // Plain pointers: the contexts refer to the driver, so shared ones would keep both alive.
    std::vector<TGraphics*> selected;
    std::vector<Presented> flips;
};

class RecordingGraphics : public TGraphics {
  public:
    RecordingGraphics(std::shared_ptr<RecordingDriver> driver, int32_t width, int32_t height,
                      int32_t depth, int32_t hertz, int32_t flags)
        : driver_(std::move(driver)),
          width_(width),
          height_(height),
          depth_(depth),
          hertz_(hertz),
          flags_(flags) {}

    GraphicsDriverPtr Driver() override { return driver_; }
    void GetSettings(int32_t& width, int32_t& height, int32_t& depth, int32_t& hertz,
                     int32_t& flags) override {
        width = width_;
        height = height_;
        depth = depth_;
        hertz = hertz_;
        flags = flags_;
    }
    void Close() override { closed = true; }

    bool closed = false;

  private:
    std::shared_ptr<RecordingDriver> driver_;
    int32_t width_, height_, depth_, hertz_, flags_;
};

GraphicsPtr RecordingDriver::CreateGraphics(int32_t width, int32_t height, int32_t depth,
                                            int32_t hertz, int32_t flags) {
    if (throw_on_create) throw std::runtime_error("no window today");
    if (fail) return nullptr;
    return std::make_shared<RecordingGraphics>(
        std::static_pointer_cast<RecordingDriver>(shared_from_this()), width, height, depth, hertz,
        flags);
}

class GraphicsLayer : public ::testing::Test {
  protected:
    void SetUp() override {
        CloseOpenedGraphics();
        driver = std::make_shared<RecordingDriver>();
        SelectGraphicsDriver(driver, GfxFlagBackBuffer);
    }
    void TearDown() override {
        CloseOpenedGraphics();
        SelectGraphicsDriver(TheGLGraphicsDriver(), GfxFlagBackBuffer);
    }

    std::shared_ptr<RecordingDriver> driver;
};

TEST_F(GraphicsLayer, OpeningSelectsTheContextAndCopiesItsSettings) {
    const GraphicsPtr g = OpenGraphics(1024, 512, 0, 60, GfxFlagDepthBuffer);
    ASSERT_TRUE(g);
    EXPECT_EQ(OpenedGraphics(), g);
    EXPECT_EQ(CurrentGraphics(), g);
    EXPECT_EQ(driver->selected.back(), g.get());
    EXPECT_EQ(CurrentGraphicsWidth(), 1024);
    EXPECT_EQ(CurrentGraphicsHeight(), 512);
    EXPECT_EQ(CurrentGraphicsDepth(), 0);
    EXPECT_EQ(CurrentGraphicsHertz(), 60);
    EXPECT_EQ(CurrentGraphicsFlags(), GfxFlagBackBuffer | GfxFlagDepthBuffer);
}

TEST_F(GraphicsLayer, OpeningTwiceClosesTheFirstAndBumpsTheGenerationTwice) {
    const GraphicsPtr first = OpenGraphics(640, 480, 0, 60, 0);
    const int32_t generation = GraphicsGeneration();
    const GraphicsPtr second = OpenGraphics(640, 480, 0, 60, 0);
    EXPECT_TRUE(std::static_pointer_cast<RecordingGraphics>(first)->closed);
    EXPECT_FALSE(std::static_pointer_cast<RecordingGraphics>(second)->closed);
    EXPECT_EQ(GraphicsGeneration(), generation + 2);
    CloseOpenedGraphics();
    EXPECT_TRUE(std::static_pointer_cast<RecordingGraphics>(second)->closed);
    EXPECT_EQ(GraphicsGeneration(), generation + 3);
    EXPECT_EQ(CurrentGraphics(), nullptr);
    EXPECT_EQ(CurrentGraphicsWidth(), 0);
}

TEST_F(GraphicsLayer, AFailedOpenChangesNothing) {
    driver->fail = true;
    const int32_t generation = GraphicsGeneration();
    EXPECT_EQ(OpenGraphics(640, 480, 0, 60, 0), nullptr);
    EXPECT_EQ(GraphicsGeneration(), generation);
    EXPECT_EQ(OpenedGraphics(), nullptr);
    driver->fail = false;
    driver->throw_on_create = true;
    EXPECT_EQ(CreateGraphicsContext(640, 480, 0, 60, 0), nullptr);
    EXPECT_EQ(OpenGraphics(640, 480, 0, 60, 0), nullptr);
}

TEST_F(GraphicsLayer, SelectingADriverBumpsTheGenerationAndKeepsTheOpenedContext) {
    const GraphicsPtr g = OpenGraphics(640, 480, 0, 60, 0);
    const int32_t generation = GraphicsGeneration();
    SelectGraphicsDriver(driver, 0);
    EXPECT_EQ(GraphicsGeneration(), generation + 1);
    EXPECT_EQ(DriverDefaultFlags(), 0);
    EXPECT_EQ(CurrentGraphics(), nullptr);
    EXPECT_EQ(OpenedGraphics(), g);
    EXPECT_EQ(CurrentGraphicsHertz(), 0);
}

TEST_F(GraphicsLayer, ModesAreAskedOnceAndMatchedWithWildcards) {
    EXPECT_EQ(GraphicsModeCount(), 3);
    EXPECT_EQ(HasGraphicsMode(0, 0, 0, 0), 1);
    EXPECT_EQ(HasGraphicsMode(1024, 512, 0, 75), 1);
    EXPECT_EQ(HasGraphicsMode(1024, 512, 24, 75), 0);
    EXPECT_EQ(HasGraphicsMode(0, 480, 0, 0), 1);
    EXPECT_EQ(HasGraphicsMode(800, 0, 0, 0), 0);
    int32_t w, h, d, hz;
    GraphicsModeAt(1, w, h, d, hz);
    EXPECT_EQ(ListGraphicsModes()[1]->ToString(), u"1024,512,24 60Hz");
    EXPECT_EQ((std::vector<int32_t>{w, h, d, hz}), (std::vector<int32_t>{1024, 512, 24, 60}));
    GraphicsModeAt(3, w, h, d, hz);
    EXPECT_EQ((std::vector<int32_t>{w, h, d, hz}), (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(driver->mode_queries, 1);
    // A new driver empties the cache.
    SelectGraphicsDriver(TheGLGraphicsDriver(), GfxFlagBackBuffer);
    SelectGraphicsDriver(driver, GfxFlagBackBuffer);
    GraphicsModeCount();
    EXPECT_EQ(driver->mode_queries, 2);
}

TEST(GraphicsMode, Text) {
    EXPECT_EQ(TGraphicsMode::Create(800, 600, 24, 72)->ToString(), u"800,600,24 72Hz");
    EXPECT_EQ(TGraphicsMode::Create(1024, 768, 24, 60)->ToString(), u"1024,768,24 60Hz");
}

TEST_F(GraphicsLayer, FlipRunsTheBeforeFlipHooksFirst) {
    static std::vector<size_t> flips_seen;
    flips_seen.clear();
    static RecordingDriver* recording;
    recording = driver.get();
    const auto hook = [](int, const ObjectPtr& data, const ObjectPtr&) -> ObjectPtr {
        flips_seen.push_back(recording->flips.size());
        return data;
    };
    AttachHook(BeforeFlipHook(), hook, nullptr, 0);
    FlipGraphics(1);
    FlipGraphics(0);
    DetachHook(BeforeFlipHook(), hook, nullptr);
    EXPECT_EQ(flips_seen, (std::vector<size_t>{0, 1}));
}

TEST_F(GraphicsLayer, FlipRunsTheAfterFlipHooksLastMarkingBlankFrames) {
    static std::vector<std::pair<size_t, bool>> seen;  // flips done, blank
    seen.clear();
    static RecordingDriver* recording;
    recording = driver.get();
    const auto hook = [](int, const ObjectPtr& data, const ObjectPtr&) -> ObjectPtr {
        seen.emplace_back(recording->flips.size(), data == BlankFrameMark());
        return data;
    };
    AttachHook(AfterFlipHook(), hook, nullptr, 0);
    FlipBlankFrame(0);
    FlipGraphics(0);
    DetachHook(AfterFlipHook(), hook, nullptr);
    EXPECT_EQ(seen, (std::vector<std::pair<size_t, bool>>{{1, true}, {2, false}}));
    ASSERT_NE(BlankFrameMark(), nullptr);
}

TEST_F(GraphicsLayer, PicturesLoadForTheDetailScaleSetWhileNoContextIsCurrent) {
    SetGraphicsScale(2);
    EXPECT_EQ(GraphicsDetailScale(), 2);
    SetGraphicsDetailScale(4);
    EXPECT_EQ(GraphicsDetailScale(), 4);
    EXPECT_EQ(GraphicsScale(), 2);
    SetGraphicsDetailScale(5);  // out of range: ignored
    EXPECT_EQ(GraphicsDetailScale(), 4);
    // With a context current, its view decides.
    ASSERT_TRUE(OpenGraphics(640, 480, 0, 0, 0));
    EXPECT_EQ(GraphicsDetailScale(), 1);
    CloseOpenedGraphics();
    SetGraphicsDetailScale(0);
    EXPECT_EQ(GraphicsDetailScale(), 2);
    SetGraphicsScale(0);
}

std::vector<int32_t> Syncs(const RecordingDriver& driver) {
    std::vector<int32_t> syncs;
    for (const auto& flip : driver.flips)
        syncs.push_back(flip.sync);
    return syncs;
}

TEST_F(GraphicsLayer, PacedFlipChoosesTheSwapIntervalFromTheOpening) {
    OpenGraphics(640, 480, 0, 0, 0);  // a window without a rate: no pacing
    FlipGraphics(-1);
    OpenGraphics(640, 480, 24, 60, 0);  // full screen with a rate: the retrace
    FlipGraphics(-1);
    OpenGraphics(640, 480, 24, 0, 0);  // full screen without a rate
    FlipGraphics(-1);
    SelectGraphics(nullptr);  // the opened context is not current: the retrace
    FlipGraphics(-1);
    FlipGraphics(0);
    FlipGraphics(1);
    EXPECT_EQ(Syncs(*driver), (std::vector<int32_t>{0, 1, 0, 1, 0, 1}));
}

TEST_F(GraphicsLayer, PacedWindowFlipsAreNeverEarly) {
    // At 60 Hz the period is 16 ms and 40 of every 60 frames last one more: frame n is due
    // at start + 16 n + floor(40 n / 60).
    const int32_t start = ElapsedMillis();
    ASSERT_TRUE(OpenGraphics(640, 480, 0, 60, 0));
    static std::vector<int32_t> entered;
    entered.clear();
    const auto hook = [](int, const ObjectPtr& data, const ObjectPtr&) -> ObjectPtr {
        entered.push_back(ElapsedMillis());
        return data;
    };
    AttachHook(BeforeFlipHook(), hook, nullptr, 0);
    for (int frame = 0; frame < 40; ++frame)
        FlipGraphics(-1);
    DetachHook(BeforeFlipHook(), hook, nullptr);
    ASSERT_EQ(driver->flips.size(), 40u);
    // A frame that was already late restarts the schedule at the moment it was presented,
    // which lies between entering FlipGraphics and the flip; the earlier bound is safe.
    int32_t due = start;
    int accumulator = 0;
    for (int n = 0; n < 40; ++n) {
        due += 16;
        accumulator += 40;
        if (accumulator >= 60) {
            accumulator -= 60;
            due += 1;
        }
        EXPECT_EQ(driver->flips[n].sync, 0);
        if (entered[n] < due) {
            EXPECT_GE(driver->flips[n].time, due) << "frame " << n << " was presented early";
        } else {
            due = entered[n];
        }
    }
}

TEST_F(GraphicsLayer, PacingRestartsAfterALateFrameInsteadOfCatchingUp) {
    ASSERT_TRUE(OpenGraphics(640, 480, 0, 60, 0));
    FlipGraphics(-1);
    SleepMillis(60);  // a frame that took far longer than 16 ms
    const int32_t late_entered = ElapsedMillis();
    FlipGraphics(-1);
    FlipGraphics(-1);
    ASSERT_EQ(driver->flips.size(), 3u);
    // Catching up would present the next frame at once; a restarted schedule waits a period.
    EXPECT_GE(driver->flips[2].time - late_entered, 16);
}

TEST_F(GraphicsLayer, UnpacedFlipsNeverSleep) {
    ASSERT_TRUE(OpenGraphics(640, 480, 0, 60, 0));
    const int32_t start = ElapsedMillis();
    for (int frame = 0; frame < 60; ++frame)
        FlipGraphics(0);
    // Paced, these would take a second.
    EXPECT_LT(ElapsedMillis() - start, 500);
    EXPECT_EQ(Syncs(*driver), std::vector<int32_t>(60, 0));
}

TEST(GLHelpers, NextPowerOfTwo) {
    const std::pair<int32_t, int32_t> cases[] = {{-5, 1}, {0, 1},       {1, 1},       {2, 2},
                                                 {3, 4},  {1000, 1024}, {1024, 1024}, {1025, 2048}};
    for (const auto& [n, power] : cases)
        EXPECT_EQ(NextPowerOfTwo(n), power) << n;
}

XF86VidModeModeInfo ModeLine(unsigned dot_clock, unsigned short htotal, unsigned short vtotal,
                             unsigned flags) {
    XF86VidModeModeInfo mode{};
    mode.dotclock = dot_clock;
    mode.hdisplay = 1024;
    mode.vdisplay = 512;
    mode.htotal = htotal;
    mode.vtotal = vtotal;
    mode.flags = flags;
    return mode;
}

TEST(VideoModes, RefreshRateIsRoundedAndFollowsInterlaceAndDoubleScan) {
    // 40.75 MHz over 1280 x 533 is 59.73 Hz.
    EXPECT_EQ(ModeRefreshRate(ModeLine(40750, 1280, 533, 0)), 60);
    EXPECT_EQ(ModeRefreshRate(ModeLine(40750, 1280, 533, 0x10)), 120);
    EXPECT_EQ(ModeRefreshRate(ModeLine(40750, 1280, 533, 0x20)), 30);
    EXPECT_EQ(ModeRefreshRate(ModeLine(40750, 1280, 533, 0x30)), 60);
    // 30.75 MHz over 816 x 504 is 74.77 Hz; 31.5 MHz over 840 x 500 is exactly 75.
    EXPECT_EQ(ModeRefreshRate(ModeLine(30750, 816, 504, 0)), 75);
    EXPECT_EQ(ModeRefreshRate(ModeLine(31500, 840, 500, 0x20)), 37);
    EXPECT_EQ(ModeRefreshRate(ModeLine(31500, 840, 0, 0)), 0);
}

}  // namespace
}  // namespace vexel
