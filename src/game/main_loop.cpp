#include "game/main_loop.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "audio/audio_driver.h"
#include "game/game_state.h"
#include "game/gun.h"
#include "game/highscore.h"
#include "game/launch_options.h"
#include "game/options.h"
#include "game/recipe.h"
#include "game/resources.h"
#include "game/saved_files.h"
#include "game/screens.h"
#include "game/text_and_sound.h"
#include "graphics/graphics.h"
#include "graphics/image.h"
#include "graphics/vex2d.h"
#include "runtime/last_error.h"
#include "runtime/startup.h"
#include "system/polled_input.h"
#include "system/random.h"
#include "system/system_driver.h"
#include "system/timer.h"

namespace morvelle {
namespace {

// What the command line asked for; set before the start-up runs.
LaunchOptions& Launch() {
    static LaunchOptions options;
    return options;
}

[[noreturn]] void StopStarting(const std::string& message) {
    std::fputs(message.c_str(), stderr);
    std::exit(1);
}

std::string NoWindowMessage() {
    const String display = vexel::GetEnvVar(u"DISPLAY");
    if (display.empty()) {
        return "morvelle: no X display (DISPLAY is not set); start it from a desktop session.\n";
    }
    return "morvelle: cannot open a window on the X display " + vexel::ToUtf8(display) +
           " (no X server there, or no OpenGL).\n";
}

// Milliseconds since start-up, counted in 32 bits so that the wrap of the boot clock after
// 24.8 days does not disturb it.
// False when the framework plays through its silent driver: no output opened.
bool SoundIsHeard() {
    return vexel::CurrentAudioDriver()->Name() != u"Null";
}

int32_t MillisSinceStart(int32_t clock_base) {
    return static_cast<int32_t>(static_cast<uint32_t>(vexel::ElapsedMillis()) -
                                static_cast<uint32_t>(clock_base));
}

}  // namespace

void StartUp() {
    vexel::CatchTerminationSignals();
    // The game tells the player in its own words what stops it (a missing picture, no window,
    // no sound device, a file it cannot save) and is otherwise quiet; the framework's echo of
    // the same failures would say everything twice.
    vexel::SetErrorEcho({});
    GameState& game = Game();
    // The game clock counts from here: as a float it keeps whole milliseconds for hours,
    // while milliseconds since boot lose them after a few hours of uptime.
    game.ClockBase = vexel::ElapsedMillis();
    // The framework's modules initialise themselves on first use; the state record starts
    // with its lists empty.
    CreateRecipes();
    vexel::SetAppTitle(u"Morvelle");
    // The desktop's volume control lists the game by its name, with its icon.
    vexel::SetAudioClientIdentity(u"Morvelle", u"morvelle");
    // Chosen before anything loads: pictures and text are made for the window's scale, or,
    // when the game starts full-screen, for the full-screen view its first frames show; the
    // window opens at its own scale all the same.
    ApplyWindowScale(Launch(), game.ScreenWidth, game.ScreenHeight);
    if (Launch().full_screen) ApplyFullScreenDetailScale(game.ScreenWidth, game.ScreenHeight);

    // The pictures, sounds and font load before the window opens, so that a missing file
    // stops the start with a message instead of a window that flashes up and vanishes.
    vexel::SetAutoMidHandle(1);
    // The sharper pictures of a scaled window follow the first frames instead of delaying
    // them.
    vexel::SetImageDetailInBackground(1);
    LoadedAssets loaded = LoadResources();
    if (!loaded.missing.empty()) StopStarting(MissingResourceMessage(loaded.missing));
    game.Assets = std::move(loaded.assets);
    // The gun loads its own picture, last of all.
    game.GunList = {TGun_Cherry::Create()};
    game.CurrentGun = game.GunList[0];
    if (!game.CurrentGun->img) StopStarting(MissingResourceMessage(u"Data/gfx/Cherry.png"));

    if (!vexel::OpenGraphics(game.ScreenWidth, game.ScreenHeight, 0, 60, 0)) {
        StopStarting(NoWindowMessage());
    }
    if (Launch().full_screen) vexel::SetGraphicsFullScreen(1);
    // The framework falls back to its silent driver when no output opens; say so, once.
    if (!SoundIsHeard()) std::fputs(NoSoundMessage().c_str(), stderr);
    // The current font belongs to the window's drawing context.
    vexel::SetDrawFont(game.Assets.Font);
    vexel::SetTextOutline(TEXT_OUTLINE_WIDTH);
    vexel::SeedRandom(vexel::ElapsedMillis());
    vexel::HideMousePointer();
    game.FrameTimer = vexel::TTimer::Create(60, nullptr);

    game.PlayerName = DefaultPlayerName();
    game.LayerScale = {0.25f, 0.5f, 1.0f};
    ChooseSaveFolder();
    LoadOptions();
    THighscore::Load();

    // Exit handlers run in reverse order: the farewell, then the options, then the scores.
    vexel::AddExitHandler(THighscore::Save);
    vexel::AddExitHandler(SaveOptions);
    vexel::AddExitHandler(PlayFarewell);

    vexel::SetDrawColor(255, 255, 255);
    vexel::SetClearColor(0, 0, 0);
    vexel::SetDrawBlend(vexel::BlendAlpha);
    vexel::MoveMousePointer(ToInt(static_cast<float>(game.ScreenWidth) * 0.5f),
                            ToInt(static_cast<float>(game.ScreenHeight) * 0.55f));
}

void GoTo(Screen next) {
    Game().ScreenState = next;
    if (const auto enter = ScreenEntry(next)) enter();
}

void RunScreenHandler(Screen screen_state) {
    if (const auto handler = ScreenHandler(screen_state)) handler();
}

void DrawFrame() {
    GameState& game = Game();
    vexel::ClearScreen();
    game.FrameTime = static_cast<float>(MillisSinceStart(game.ClockBase));
    game.PointerX = vexel::MouseXPos();
    game.PointerY = vexel::MouseYPos();
    game.LeftClicks = vexel::MouseWasHit(vexel::MOUSE_LEFT);
    game.RightClicks = vexel::MouseWasHit(vexel::MOUSE_RIGHT);
    RunScreenHandler(game.ScreenState);
    vexel::FlipGraphics(0);
}

void RunFrame() {
    // F11 is not a key any screen reads, so it switches full screen whatever is shown.
    if (vexel::KeyWasHit(vexel::KEY_F11) != 0) {
        vexel::SetGraphicsFullScreen(vexel::GraphicsFullScreen() != 0 ? 0 : 1);
    }
    DrawFrame();
    Game().FrameTimer->Wait();
    if (vexel::KeyWasHit(vexel::KEY_ESCAPE) != 0 || vexel::AppTerminateRequested() != 0 ||
        vexel::TerminationRequested()) {
        vexel::EndProgram();
    }
}

void PlayFarewell() {
    const GameState& game = Game();
    // Nobody would hear it: the program ends at once.
    if (game.SoundOn == 0 || !SoundIsHeard()) return;
    vexel::SleepMillis(500);
    PlayEffect(game.Assets.FarewellSound);
    vexel::SleepMillis(1800);
}

[[noreturn]] void RunGame(int argc, char** argv) {
    const LaunchRequest request =
        ParseLaunchArguments(std::vector<std::string>(argv + std::min(argc, 1), argv + argc));
    if (request.stop) {
        std::fputs(request.text.c_str(), request.status == 0 ? stdout : stderr);
        std::exit(request.status);
    }
    Launch() = request.options;
    vexel::RunProgram(argc, argv, [] {
        StartUp();
        for (;;)
            RunFrame();
    });
}

}  // namespace morvelle
