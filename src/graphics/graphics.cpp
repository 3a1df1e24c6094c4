#include "graphics/graphics.h"

#include <algorithm>
#include <cmath>

#include "graphics/internal/builtin_drivers.h"
#include "runtime/last_error.h"
#include "runtime/startup.h"
#include "system/hook.h"
#include "system/polled_input.h"
#include "system/system_driver.h"
#include "system/timer.h"

namespace vexel {

namespace {

struct Settings {
    int32_t width = 0, height = 0, depth = 0, hertz = 0, flags = 0;
};

// Frame pacing in software for windows: frames are due every 1000/hertz milliseconds, the
// remainder spread over the second so that `hertz` frames fill exactly 1000 ms.
struct SoftSync {
    int32_t hertz = 0;
    int32_t period = 0;
    int32_t remainder = 0;
    int32_t accumulator = 0;
    uint32_t next_time = 0;
};

struct GraphicsState {
    GraphicsState();

    GraphicsDriverPtr driver;
    int32_t default_flags = 0;
    std::vector<GraphicsModePtr> mode_cache;
    GraphicsPtr current;
    GraphicsPtr selecting;  // while its driver takes it over (and may present first frames)
    Settings settings;
    GraphicsPtr opened;
    bool soft_sync = false;
    bool hard_sync = false;
    SoftSync pacing;
    uint32_t generation = 1;
    int32_t scale = 0;         // 0: not set, the environment decides
    int32_t detail_scale = 0;  // 0: not set, GraphicsScale() decides
    int before_flip_hook = -1;
    int after_flip_hook = -1;
    bool exit_handler_registered = false;
};

void BumpGeneration(GraphicsState& s) {
    if (++s.generation == 0) s.generation = 1;
}

// Made on the first use of the module, never while statics are built: the system module
// (which opens the display) comes first, then the first built-in driver that can run here
// becomes current.
GraphicsState::GraphicsState() : before_flip_hook(NewHookId()), after_flip_hook(NewHookId()) {
    CurrentSystemDriver();
    BumpGeneration(*this);
    for (const BuiltinGraphicsDriver& builtin : BuiltinGraphicsDrivers()) {
        if (GraphicsDriverPtr made = builtin.make()) {
            driver = std::move(made);
            default_flags = builtin.default_flags;
            BumpGeneration(*this);
            break;
        }
    }
}

// Never destroyed: the opened context is closed by an exit handler, and contexts must not
// be torn down again by static destructors after the window layer has shut down.
GraphicsState& State() {
    static GraphicsState* const state = new GraphicsState;
    return *state;
}

void DeselectCurrent(GraphicsState& s) {
    if (s.driver && s.current) s.driver->SetGraphics(nullptr);
}

int32_t MillisBetween(uint32_t from, uint32_t to) {
    return static_cast<int32_t>(to - from);
}

uint32_t Now() {
    return static_cast<uint32_t>(ElapsedMillis());
}

void PacedFlip(GraphicsState& s) {
    SoftSync& p = s.pacing;
    p.next_time += static_cast<uint32_t>(p.period);
    p.accumulator += p.remainder;
    if (p.accumulator >= p.hertz) {
        p.accumulator -= p.hertz;
        p.next_time += 1;
    }
    const int32_t wait = MillisBetween(Now(), p.next_time);
    if (wait > 0) {
        SleepMillis(wait);
    } else {
        p.next_time = Now();  // a late frame restarts the schedule instead of catching up
    }
    s.driver->Flip(0);
}

}  // namespace

GraphicsModePtr TGraphicsMode::Create(int32_t width, int32_t height, int32_t depth, int32_t hertz) {
    auto mode = std::make_shared<TGraphicsMode>();
    mode->width = width;
    mode->height = height;
    mode->depth = depth;
    mode->hertz = hertz;
    return mode;
}

String TGraphicsMode::ToString() const {
    return IntToString(width) + u"," + IntToString(height) + u"," + IntToString(depth) + u" " +
           IntToString(hertz) + u"Hz";
}

void SelectGraphicsDriver(const GraphicsDriverPtr& driver, int32_t default_flags) {
    GraphicsState& s = State();
    BumpGeneration(s);
    if (driver != s.driver) {
        DeselectCurrent(s);
        s.mode_cache.clear();
        s.driver = driver;
    }
    s.default_flags = default_flags;
    s.current = nullptr;
    s.settings = Settings{};
}

GraphicsDriverPtr CurrentGraphicsDriver() {
    return State().driver;
}
int32_t DriverDefaultFlags() {
    return State().default_flags;
}

std::vector<GraphicsModePtr> ListGraphicsModes() {
    GraphicsState& s = State();
    if (s.mode_cache.empty() && s.driver) s.mode_cache = s.driver->GraphicsModes();
    return s.mode_cache;
}

int32_t GraphicsModeCount() {
    return static_cast<int32_t>(ListGraphicsModes().size());
}

void GraphicsModeAt(int32_t index, int32_t& width, int32_t& height, int32_t& depth,
                    int32_t& hertz) {
    const auto modes = ListGraphicsModes();
    // An index outside the list answers zeros rather than reading past it.
    if (index < 0 || index >= static_cast<int32_t>(modes.size())) {
        width = height = depth = hertz = 0;
        return;
    }
    const TGraphicsMode& mode = *modes[static_cast<size_t>(index)];
    width = mode.width;
    height = mode.height;
    depth = mode.depth;
    hertz = mode.hertz;
}

int32_t HasGraphicsMode(int32_t width, int32_t height, int32_t depth, int32_t hertz) {
    auto matches = [](int32_t wanted, int32_t value) { return wanted == 0 || wanted == value; };
    for (const GraphicsModePtr& mode : ListGraphicsModes()) {
        if (matches(width, mode->width) && matches(height, mode->height) &&
            matches(depth, mode->depth) && matches(hertz, mode->hertz)) {
            return 1;
        }
    }
    return 0;
}

GraphicsPtr CreateGraphicsContext(int32_t width, int32_t height, int32_t depth, int32_t hertz,
                                  int32_t flags) {
    const FailureScope scope(u"CreateGraphicsContext");
    GraphicsState& s = State();
    if (!s.driver) {
        RecordFailure(u"CreateGraphicsContext", u"", u"no graphics driver is selected");
        return nullptr;
    }
    try {
        GraphicsPtr graphics =
            s.driver->CreateGraphics(width, height, depth, hertz, flags | s.default_flags);
        if (!graphics) {
            RecordFailure(u"CreateGraphicsContext", u"", u"the window cannot be opened");
        }
        return graphics;
    } catch (const std::exception& error) {
        RecordFailure(u"CreateGraphicsContext", u"", FromUtf8(error.what()));
        return nullptr;
    } catch (...) {
        RecordFailure(u"CreateGraphicsContext", u"", u"the window cannot be opened");
        return nullptr;
    }
}

GraphicsPtr AttachGraphicsContext(uintptr_t widget, int32_t flags) {
    GraphicsState& s = State();
    if (!s.driver) return nullptr;
    try {
        return s.driver->AttachGraphics(widget, flags | s.default_flags);
    } catch (...) {
        return nullptr;
    }
}

void CloseGraphicsContext(const GraphicsPtr& graphics) {
    if (!graphics) {
        RecordFailure(u"CloseGraphicsContext", u"", u"the graphics context is null");
        return;
    }
    GraphicsState& s = State();
    if (graphics == s.opened) s.opened = nullptr;
    if (graphics == s.current) SelectGraphics(nullptr);
    graphics->Close();
}

void SelectGraphics(const GraphicsPtr& graphics) {
    GraphicsState& s = State();
    if (!graphics) {
        DeselectCurrent(s);
        s.current = nullptr;
        s.settings = Settings{};
        return;
    }
    GraphicsDriverPtr driver = graphics->Driver();
    if (driver != s.driver) {
        DeselectCurrent(s);
        s.mode_cache.clear();
        s.driver = driver;
    }
    Settings& t = s.settings;
    graphics->GetSettings(t.width, t.height, t.depth, t.hertz, t.flags);
    if (driver) {
        s.selecting = graphics;
        driver->SetGraphics(graphics);
        s.selecting = nullptr;
    }
    s.current = graphics;
}

GraphicsPtr CurrentGraphics() {
    return State().current;
}
int32_t CurrentGraphicsWidth() {
    return State().settings.width;
}
int32_t CurrentGraphicsHeight() {
    return State().settings.height;
}
int32_t CurrentGraphicsDepth() {
    return State().settings.depth;
}
int32_t CurrentGraphicsHertz() {
    return State().settings.hertz;
}
int32_t CurrentGraphicsFlags() {
    return State().settings.flags;
}

GraphicsPtr OpenGraphics(int32_t width, int32_t height, int32_t depth, int32_t hertz,
                         int32_t flags) {
    const FailureScope scope(u"OpenGraphics");
    CloseOpenedGraphics();
    GraphicsState& s = State();
    GraphicsPtr graphics =
        CreateGraphicsContext(width, height, depth, hertz, flags | s.default_flags);
    if (!graphics) return nullptr;
    BumpGeneration(s);
    SelectGraphics(graphics);
    if (depth != 0) {
        s.soft_sync = false;
        s.hard_sync = hertz != 0;
        MoveMousePointer(width / 2, height / 2);
    } else {
        s.hard_sync = false;
        s.soft_sync = hertz != 0;
    }
    if (s.soft_sync) {
        s.pacing = SoftSync{hertz, 1000 / hertz, 1000 - (1000 / hertz) * hertz, 0, Now()};
    }
    StartInputPolling(nullptr);
    s.opened = graphics;
    if (!s.exit_handler_registered) {
        s.exit_handler_registered = true;
        AddExitHandler(CloseOpenedGraphics);
    }
    return graphics;
}

GraphicsPtr OpenedGraphics() {
    return State().opened;
}

namespace {

void Present(int32_t sync, const ObjectPtr& after_flip_data) {
    GraphicsState& s = State();
    CallHooks(s.before_flip_hook, nullptr);
    if (!s.current && !s.selecting) {
        RecordFailure(u"FlipGraphics", u"", u"no graphics context is open (call OpenGraphics)");
    }
    if (!s.driver) return;
    if (sync != -1) {
        s.driver->Flip(sync);
    } else if (!s.opened || s.opened != s.current) {
        s.driver->Flip(1);
    } else if (s.soft_sync) {
        PacedFlip(s);
    } else {
        s.driver->Flip(s.hard_sync ? 1 : 0);
    }
    CallHooks(s.after_flip_hook, after_flip_data);
}

}  // namespace

void FlipGraphics(int32_t sync) {
    Present(sync, nullptr);
}

void FlipBlankFrame(int32_t sync) {
    Present(sync, BlankFrameMark());
}

const ObjectPtr& BlankFrameMark() {
    static const ObjectPtr* const mark = new ObjectPtr(std::make_shared<Object>());
    return *mark;
}

void CloseOpenedGraphics() {
    GraphicsState& s = State();
    if (!s.opened) return;
    BumpGeneration(s);
    StopInputPolling();
    const GraphicsPtr opened = s.opened;  // CloseGraphicsContext clears s.opened
    CloseGraphicsContext(opened);
}

void TGraphics::GetSurface(int32_t& width, int32_t& height) {
    int32_t depth = 0, hertz = 0, flags = 0;
    GetSettings(width, height, depth, hertz, flags);
}

GraphicsView FitGraphicsView(int32_t logical_width, int32_t logical_height, int32_t surface_width,
                             int32_t surface_height) {
    if (logical_width <= 0 || logical_height <= 0 || surface_width <= 0 || surface_height <= 0) {
        return {0, 0, std::max(surface_width, 0), std::max(surface_height, 0), 1};
    }
    const float scale = std::min(static_cast<float>(surface_width) / logical_width,
                                 static_cast<float>(surface_height) / logical_height);
    GraphicsView view;
    view.scale = scale;
    view.width = std::min(surface_width, static_cast<int32_t>(std::lround(logical_width * scale)));
    view.height =
        std::min(surface_height, static_cast<int32_t>(std::lround(logical_height * scale)));
    view.x = (surface_width - view.width) / 2;
    view.y = (surface_height - view.height) / 2;
    return view;
}

GraphicsView CurrentGraphicsView() {
    GraphicsState& s = State();
    const Settings& t = s.settings;
    if (!s.current) return {0, 0, t.width, t.height, 1};
    int32_t width = 0, height = 0;
    s.current->GetSurface(width, height);
    return FitGraphicsView(t.width, t.height, width, height);
}

void SetGraphicsScale(int32_t scale) {
    if (scale >= 0 && scale <= 4) State().scale = scale;
}

int32_t GraphicsScale() {
    if (const int32_t set = State().scale; set != 0) return set;
    const String text = GetEnvVar(u"VEXEL_SCALE");
    if (text.size() == 1 && text[0] >= u'1' && text[0] <= u'4') return text[0] - u'0';
    return 1;
}

void SetGraphicsDetailScale(int32_t scale) {
    if (scale >= 0 && scale <= 4) State().detail_scale = scale;
}

int32_t GraphicsDetailScale() {
    const GraphicsState& s = State();
    if (!s.current) return s.detail_scale != 0 ? s.detail_scale : GraphicsScale();
    return DetailScaleFor(CurrentGraphicsView().scale);
}

int32_t DetailScaleFor(float view_scale) {
    return std::clamp(static_cast<int32_t>(std::ceil(view_scale - 1.0f / 64)), 1, 4);
}

int32_t SetGraphicsFullScreen(int32_t on) {
    GraphicsState& s = State();
    const GraphicsPtr graphics = s.current;
    if (!graphics) return 0;
    const int32_t done = graphics->SetDesktopFullScreen(on != 0 ? 1 : 0);
    // Selecting it again sets the driver's viewport and projection up for the new surface.
    SelectGraphics(graphics);
    return done;
}

int32_t GraphicsFullScreen() {
    const GraphicsPtr& graphics = State().current;
    return graphics ? graphics->DesktopFullScreen() : 0;
}

void GetDesktopSize(int32_t& width, int32_t& height) {
    width = height = 0;
    if (const GraphicsDriverPtr& driver = State().driver) driver->DesktopSize(width, height);
}

int32_t GraphicsGeneration() {
    return static_cast<int32_t>(State().generation);
}
int BeforeFlipHook() {
    return State().before_flip_hook;
}
int AfterFlipHook() {
    return State().after_flip_hook;
}

}  // namespace vexel
