#pragma once

// Runs the real morvelle executable for end-to-end tests. Each GameProcess builds a
// throw-away application folder (the executable linked beside a Data folder with the game's
// pictures and sounds and, per test, a prepared or missing Options and High.Score), starts
// the game on the test command's X server with AUDIODEV pointing at a FIFO that is drained
// in real time and kept, injects pointer and keyboard input through XTEST, reads the
// window's pixels back, and collects the exit status, standard error and written files.
//
//   GameProcess game;                       // starts the game
//   ASSERT_NO_FATAL_FAILURE(WaitForTitle(game));
//   game.MoveTo(512, 230); game.Click();    // window coordinates
//   EXPECT_EQ(game.WaitForExit(), 0);
//   EXPECT_EQ(*game.File("Data/Options"), bytes);

#include <gtest/gtest.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/test_support.h"

// Xlib's display, declared rather than included: Xlib's macros (None above all, which gtest
// uses as a type name) stay inside the harness's source.
struct _XDisplay;

namespace morvelle::e2e {

using Bytes = std::vector<uint8_t>;
using Millis = std::chrono::milliseconds;

// How long a wait for the game may take before the test fails. Every wait ends as soon as
// what it waits for happens, so the limit costs nothing when all is well; it is set for a
// sanitized game on a machine loaded several times over (a load of 9 on 2 cores makes a
// frame, or the decoding of the sharp pictures, ten times as slow as on a quiet machine).
constexpr Millis kPatience{60000};

// Pixels as 0xRRGGBB (window) or 0xAARRGGBB (pictures), row by row.
struct Picture {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int32_t x, int32_t y) const {
        return pixels[size_t(y) * size_t(width) + size_t(x)];
    }
};

// A picture of the game's Data/gfx folder, e.g. LoadGamePicture("cur.png").
Picture LoadGamePicture(const std::string& name);
// Cell `index` of a strip of `cell_width` × `cell_height` cells, numbered left to right,
// then top to bottom.
Picture Cell(const Picture& strip, int32_t cell_width, int32_t cell_height, int32_t index);
// How many opaque pixels of `sprite`, placed with its top-left corner at (left, top) of the
// window's picture, differ there by more than `tolerance` in a colour channel. Pixels
// inside `skip` (x, y, w, h in window coordinates; e.g. where the cursor is) are not
// compared.
struct Area {
    int32_t x = 0, y = 0, width = 0, height = 0;
};
int32_t Mismatches(const Picture& window, const Picture& sprite, int32_t left, int32_t top,
                   Area skip = {}, int32_t tolerance = 3);
// Mismatches below 1 % of the sprite's opaque pixels: the sprite is what is shown there.
bool Shows(const Picture& window, const Picture& sprite, int32_t left, int32_t top, Area skip = {});

// What goes into the application folder besides the executable and the data.
struct AppSetup {
    std::optional<Bytes> options{};       // Data/Options
    std::optional<Bytes> highscores{};    // Data/High.Score
    std::vector<std::string> left_out{};  // data files not copied, e.g. "gfx/Sky.png"
    std::vector<std::pair<std::string, std::string>> environment{};  // e.g. {"USERNAME", "Uta"}
    bool with_display = true;              // false: started without DISPLAY
    std::vector<std::string> fifos{};      // saved files made FIFOs instead, e.g. "Options"
    std::vector<std::string> arguments{};  // the game's command line after its name
    std::string display{};                 // the X display, when not DISPLAY
};

// The smallest and the largest size a window asks the window manager for (its normal size
// hints); zeros where it asks for none.
struct SizeLimits {
    int32_t min_width = 0, min_height = 0, max_width = 0, max_height = 0;
};

// Something that happened while the game ran, in the order the harness saw it: the device
// starting to carry sound after silence ("sound"), or a file taking its final name in Data
// ("Options", "High.Score").
struct Happening {
    std::string what;
    Millis at;  // since the game was started
};

class GameProcess {
  public:
    explicit GameProcess(const AppSetup& setup = {});
    // Kills a game that is still running.
    ~GameProcess();
    GameProcess(const GameProcess&) = delete;
    GameProcess& operator=(const GameProcess&) = delete;

    // Waits until the game's window is on the screen (inside its frame where a window manager
    // runs); false when the game exits first or after `timeout`.
    bool WaitForWindow(Millis timeout = kPatience);
    // Grabs the window's pixels until `predicate` holds for one grab, and returns that grab.
    // When `timeout` passes first, the test fails with a message that names what was awaited
    // (`awaited`, e.g. "the 2x cursor on the title"), the size of the last grab and the file
    // it is kept in (a PPM under the build tree's e2e-seen/), and the game's standard error;
    // the last grab is returned then.
    Picture WaitFor(const std::string& awaited,
                    const std::function<bool(const Picture&)>& predicate,
                    Millis timeout = kPatience);
    Picture Grab();
    // The window's title and its class as "instance.Class", as a desktop sees them.
    std::string WindowTitle();
    std::string WindowClass();
    // Where the window is on the screen and how large, as it is now.
    Area Placement();
    SizeLimits SizeHints();

    // Input in window coordinates. Each waits a few frames after sending, so that the game
    // usually takes every input in a frame of its own; on a loaded machine a test that
    // moves after a click waits for the click's effect first.
    void MoveTo(int32_t x, int32_t y);
    void Click(unsigned int button = 1);
    void Tap(unsigned long keysym);
    // Types Latin-1 text key by key, with Shift where the keyboard map wants it; a character
    // the server's keyboard map lacks is put on a spare key code while it is typed.
    void Type(const std::string& latin1);
    // What a window manager sends when the window's close button is pressed.
    void RequestClose();
    void Signal(int signal_number);

    // The exit status, or -1 when the game did not exit within `timeout` (it is killed then)
    // or was ended by a signal.
    int WaitForExit(Millis timeout = kPatience);
    // Time from the start of WaitForExit until the game's main thread ended.
    Millis ExitDelay() const { return exit_delay_; }

    std::string Stderr();
    std::vector<Happening> Happenings();
    // Waits until `what` has happened `count` times in all; false after `timeout`.
    bool WaitForHappening(const std::string& what, size_t count = 1, Millis timeout = kPatience);
    // Every byte the game wrote to its sound device so far.
    Bytes Audio();
    std::optional<Bytes> File(const std::string& relative) const;
    const std::string& Folder() const { return folder_.path(); }

  private:
    void Monitor();
    void Settle();
    unsigned long FindWindow();  // an X window id, 0 when none

    vexel::testing::TempDir folder_;
    _XDisplay* display_ = nullptr;
    // Whether the server repeated held keys before this game turned that off.
    bool server_repeated_keys_ = false;
    unsigned long window_ = 0;
    int32_t window_x_ = 0, window_y_ = 0;
    pid_t pid_ = -1;
    int exit_status_ = -2;
    Millis exit_delay_{0};
    int fifo_ = -1, inotify_ = -1, stderr_ = -1, stop_[2] = {-1, -1};
    std::chrono::steady_clock::time_point started_;
    std::atomic<bool> exited_{false}, drained_{false};
    std::thread monitor_;
    std::mutex mutex_;  // guards the three below, written by the monitor thread
    std::string stderr_text_;
    std::vector<Happening> happenings_;
    Bytes audio_;
};

// Waits for the game's window, then for its title screen, where the cursor first shows at
// its starting point; keeps that picture in `title` when one is given. Fails the test
// fatally when either does not come, so call it under ASSERT_NO_FATAL_FAILURE.
void WaitForTitle(GameProcess& game, Picture* title = nullptr);

}  // namespace morvelle::e2e
