#include "game_harness.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "pixmap/pixel_format.h"
#include "pixmap/pixmap.h"
#include "pixmap/pixmap_loader.h"
#include "x_test_support.h"

namespace morvelle::e2e {
namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// The device plays 44100 stereo 16-bit frames a second; the harness reads no faster, plus
// one pipe's worth, so the mixer runs at its real pace.
constexpr double kDeviceBytesPerMilli = 44100.0 * 4 / 1000;
constexpr size_t kPipeBytes = 65536;
// This many silent bytes between two sounds make the next one a new happening.
constexpr size_t kSilenceBetweenSounds = 4096;
// Whether the main thread of process `pid` has ended: the game runs no more of its code
// then, while the kernel may take seconds more to release a sanitized process's memory
// before the process can be reaped.
bool MainThreadEnded(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    // The state follows the command name, which is in parentheses and may hold any byte.
    const size_t name_end = text.rfind(')');
    if (name_end == std::string::npos || name_end + 2 >= text.size()) return false;
    const char state = text[name_end + 2];
    return state == 'Z' || state == 'X';
}

// Keeps a grab that did not show what a test waited for, as a PPM under the build tree, so
// that whoever reads the failure can look at what the game showed instead; says where.
std::string KeepSeen(const Picture& picture) {
    if (picture.pixels.empty()) return "no window to grab";
    static int kept = 0;
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const fs::path folder = fs::path(VEXEL_BINARY_DIR) / "e2e-seen";
    std::error_code error;
    fs::create_directories(folder, error);
    const fs::path path =
        folder / (std::string(test ? test->test_suite_name() : "e2e") + "." +
                  (test ? test->name() : "wait") + "-" + std::to_string(++kept) + ".ppm");
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << picture.width << " " << picture.height << "\n255\n";
    for (const uint32_t pixel : picture.pixels) {
        const char rgb[3] = {char(pixel >> 16 & 0xFF), char(pixel >> 8 & 0xFF), char(pixel & 0xFF)};
        out.write(rgb, 3);
    }
    return out ? "kept in " + path.string() : "could not be kept in " + path.string();
}

// Six frames at the game's pace, with room for a slow machine.
constexpr Millis kInputPause{100};

void Check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

// The game's window goes away when the game ends; requests on it then fail harmlessly.
int IgnoreXErrors(Display*, XErrorEvent*) {
    return 0;
}

}  // namespace

Picture LoadGamePicture(const std::string& name) {
    const auto loaded =
        vexel::LoadPixmapFrom(vexel::FromUtf8(std::string(MORVELLE_DATA) + "/gfx/" + name));
    if (!loaded) throw std::runtime_error("cannot load the game's picture " + name);
    Picture picture{loaded->width, loaded->height, {}};
    picture.pixels.reserve(size_t(picture.width) * size_t(picture.height));
    for (int32_t y = 0; y < picture.height; ++y) {
        for (int32_t x = 0; x < picture.width; ++x)
            picture.pixels.push_back(static_cast<uint32_t>(loaded->ReadPixel(x, y)));
    }
    return picture;
}

Picture Cell(const Picture& strip, int32_t cell_width, int32_t cell_height, int32_t index) {
    const int32_t columns = strip.width / cell_width;
    const int32_t left = index % columns * cell_width, top = index / columns * cell_height;
    Picture cell{cell_width, cell_height, {}};
    for (int32_t y = 0; y < cell_height; ++y) {
        for (int32_t x = 0; x < cell_width; ++x)
            cell.pixels.push_back(strip.At(left + x, top + y));
    }
    return cell;
}

int32_t Mismatches(const Picture& window, const Picture& sprite, int32_t left, int32_t top,
                   Area skip, int32_t tolerance) {
    int32_t wrong = 0;
    for (int32_t y = 0; y < sprite.height; ++y) {
        for (int32_t x = 0; x < sprite.width; ++x) {
            const uint32_t want = sprite.At(x, y);
            if (want >> 24 != 0xFF) continue;
            const int32_t wx = left + x, wy = top + y;
            if (wx < 0 || wy < 0 || wx >= window.width || wy >= window.height) continue;
            if (wx >= skip.x && wx < skip.x + skip.width && wy >= skip.y &&
                wy < skip.y + skip.height) {
                continue;
            }
            const uint32_t got = window.At(wx, wy);
            for (int shift = 0; shift < 24; shift += 8) {
                const int32_t difference =
                    int32_t(want >> shift & 0xFF) - int32_t(got >> shift & 0xFF);
                if (std::abs(difference) > tolerance) {
                    ++wrong;
                    break;
                }
            }
        }
    }
    return wrong;
}

bool Shows(const Picture& window, const Picture& sprite, int32_t left, int32_t top, Area skip) {
    const auto opaque = std::count_if(sprite.pixels.begin(), sprite.pixels.end(),
                                      [](uint32_t p) { return p >> 24 == 0xFF; });
    return opaque > 0 && !window.pixels.empty() &&
           Mismatches(window, sprite, left, top, skip) * 100 < opaque;
}

GameProcess::GameProcess(const AppSetup& setup) {
    const std::string& folder = folder_.path();
    // The game's executable beside its own Data folder.
    const std::string executable = folder + "/morvelle";
    if (link(MORVELLE_EXECUTABLE, executable.c_str()) != 0) {
        fs::copy_file(MORVELLE_EXECUTABLE, executable);
        fs::permissions(executable, fs::perms::owner_all);
    }
    for (const char* kind : {"gfx", "sfx"}) {
        fs::create_directories(folder + "/Data/" + kind);
        for (const auto& entry : fs::directory_iterator(std::string(MORVELLE_DATA) + "/" + kind)) {
            const std::string relative = std::string(kind) + "/" + entry.path().filename().string();
            if (std::find(setup.left_out.begin(), setup.left_out.end(), relative) !=
                setup.left_out.end()) {
                continue;
            }
            fs::copy_file(entry.path(), folder + "/Data/" + relative);
        }
    }
    if (setup.options) vexel::testing::WriteFileBytes(folder + "/Data/Options", *setup.options);
    if (setup.highscores)
        vexel::testing::WriteFileBytes(folder + "/Data/High.Score", *setup.highscores);
    for (const std::string& name : setup.fifos)
        Check(mkfifo((folder + "/Data/" + name).c_str(), 0600) == 0, "mkfifo");

    const std::string fifo = folder + "/dsp";
    Check(mkfifo(fifo.c_str(), 0600) == 0, "mkfifo");
    // The reader must be there first: the mixer does not wait for one.
    fifo_ = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    Check(fifo_ >= 0, "open the FIFO");
    inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    Check(inotify_ >= 0, "inotify_init1");
    inotify_add_watch(inotify_, (folder + "/Data").c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
    int error_pipe[2];
    Check(pipe2(error_pipe, O_CLOEXEC) == 0, "pipe2");
    Check(pipe2(stop_, O_CLOEXEC) == 0, "pipe2");

    if (setup.with_display) {
        XSetErrorHandler(IgnoreXErrors);
        display_ = XOpenDisplay(setup.display.empty() ? nullptr : setup.display.c_str());
        if (!display_) throw std::runtime_error("the end-to-end tests need an X server (DISPLAY)");
        // Windows get their title and close protocol only when a window manager has made
        // these atoms.
        for (const char* atom : {"_NET_WM_NAME", "UTF8_STRING", "WM_DELETE_WINDOW", "WM_PROTOCOLS"})
            XInternAtom(display_, atom, False);
        // A key is pressed and released by two requests; on a loaded machine the server may
        // see the press long enough before the release to repeat it ("JJürgen"). The games
        // run one at a time under the X server's lock, so the setting is theirs until the
        // destructor puts it back.
        XKeyboardState keyboard{};
        XGetKeyboardControl(display_, &keyboard);
        server_repeated_keys_ = keyboard.global_auto_repeat == AutoRepeatModeOn;
        XAutoRepeatOff(display_);
        XSync(display_, False);
    }

    // Built before the fork: the child only execs.
    std::vector<char*> argv{const_cast<char*>(executable.c_str())};
    for (const std::string& argument : setup.arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    started_ = Clock::now();
    pid_ = fork();
    Check(pid_ >= 0, "fork");
    if (pid_ == 0) {
        dup2(error_pipe[1], 2);
        // The FIFO is an OSS device; a sound server, where one answers, would come first.
        setenv("AUDIODEV", fifo.c_str(), 1);
        setenv("VEXEL_AUDIO", "oss", 1);
        if (!setup.with_display) unsetenv("DISPLAY");
        if (!setup.display.empty()) setenv("DISPLAY", setup.display.c_str(), 1);
        // The login name is the default player name: each test sets the one it wants.
        for (const char* variable : {"USERNAME", "USER", "LOGNAME"})
            unsetenv(variable);
        for (const auto& [name, value] : setup.environment)
            setenv(name.c_str(), value.c_str(), 1);
        // Start from a folder other than the game's: the game moves into its own.
        if (chdir("/") != 0) _exit(126);
        execv(executable.c_str(), argv.data());
        _exit(127);
    }
    close(error_pipe[1]);
    stderr_ = error_pipe[0];
    monitor_ = std::thread(&GameProcess::Monitor, this);
}

GameProcess::~GameProcess() {
    if (exit_status_ == -2) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    const char stop = 0;
    if (write(stop_[1], &stop, 1) != 1) {
        // The monitor also ends when the game's standard error closes.
    }
    monitor_.join();
    for (int fd : {fifo_, inotify_, stderr_, stop_[0], stop_[1]})
        if (fd >= 0) close(fd);
    if (display_) {
        if (server_repeated_keys_) XAutoRepeatOn(display_);
        XCloseDisplay(display_);
    }
}

void GameProcess::Monitor() {
    size_t silent_run = kSilenceBetweenSounds;
    size_t total_audio = 0;
    bool error_open = true, device_quiet = false;
    uint8_t buffer[16384];
    for (;;) {
        // Once the game has ended, whatever it left in the FIFO is taken at once.
        const double allowed =
            exited_.load()
                ? 1e18
                : std::chrono::duration<double, std::milli>(Clock::now() - started_).count() *
                          kDeviceBytesPerMilli +
                      kPipeBytes;
        const bool audio_wanted = !device_quiet && total_audio < allowed;
        pollfd waiting[4] = {{stop_[0], POLLIN, 0},
                             {inotify_, POLLIN, 0},
                             {error_open ? stderr_ : -1, POLLIN, 0},
                             {audio_wanted ? fifo_ : -1, POLLIN, 0}};
        poll(waiting, 4, 5);
        device_quiet = false;
        if (waiting[0].revents) return;
        const Millis now = std::chrono::duration_cast<Millis>(Clock::now() - started_);
        std::lock_guard lock(mutex_);
        if (waiting[1].revents & POLLIN) {
            alignas(inotify_event) char events[4096];
            const ssize_t n = read(inotify_, events, sizeof events);
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                const std::string name = event->len ? event->name : "";
                // New files are written under a hidden name and renamed; the rename counts.
                if (!name.empty() && name[0] != '.') happenings_.push_back({name, now});
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        if (waiting[2].revents) {
            const ssize_t n = read(stderr_, buffer, sizeof buffer);
            if (n > 0) {
                stderr_text_.append(reinterpret_cast<const char*>(buffer), size_t(n));
            } else {
                error_open = false;
            }
        }
        if (waiting[3].revents) {
            const size_t room = std::min(sizeof buffer, size_t(allowed) - total_audio);
            const ssize_t n = read(fifo_, buffer, room);
            // No writer (the game closed its device, maybe to open it again): the next
            // round waits on the other descriptors instead of spinning on this one.
            if (n == 0) device_quiet = true;
            if (n == 0 && exited_.load()) drained_.store(true);
            for (ssize_t i = 0; i < n; ++i) {
                if (buffer[i] == 0) {
                    ++silent_run;
                    continue;
                }
                if (silent_run >= kSilenceBetweenSounds) happenings_.push_back({"sound", now});
                silent_run = 0;
            }
            if (n > 0) {
                audio_.insert(audio_.end(), buffer, buffer + n);
                total_audio += size_t(n);
            }
        }
    }
}

namespace {

// The viewable window titled "Morvelle" among the descendants of `parent`, `depth` levels
// down at most: a child of the root where no window manager runs, a child of the manager's
// frame where one does.
Window FindGameWindow(Display* display, Window parent, Atom net_name, int depth) {
    Window root = 0, grandparent = 0, *children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (!XQueryTree(display, parent, &root, &grandparent, &children, &count)) return 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display, children[i], &attributes) ||
            attributes.map_state != IsViewable) {
            continue;
        }
        if (vexel::testing::WindowProperty(display, children[i], net_name) == "Morvelle") {
            found = children[i];
        } else if (depth > 1) {
            found = FindGameWindow(display, children[i], net_name, depth - 1);
        }
    }
    if (children) XFree(children);
    return found;
}

}  // namespace

Window GameProcess::FindWindow() {
    return FindGameWindow(display_, DefaultRootWindow(display_),
                          XInternAtom(display_, "_NET_WM_NAME", False), 2);
}

bool GameProcess::WaitForWindow(Millis timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        window_ = FindWindow();
        if (window_) {
            Window child = 0;
            XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), 0, 0, &window_x_,
                                  &window_y_, &child);
            return true;
        }
        if (waitpid(pid_, &exit_status_, WNOHANG) == pid_) {
            exit_status_ = WIFEXITED(exit_status_) ? WEXITSTATUS(exit_status_) : -1;
            return false;
        }
        std::this_thread::sleep_for(Millis(20));
    }
    return false;
}

std::string GameProcess::WindowTitle() {
    char* name = nullptr;
    if (!XFetchName(display_, window_, &name) || !name) return {};
    const std::string title = name;
    XFree(name);
    return title;
}

std::string GameProcess::WindowClass() {
    XClassHint hint{};
    if (!XGetClassHint(display_, window_, &hint)) return {};
    const std::string both = std::string(hint.res_name) + "." + hint.res_class;
    XFree(hint.res_name);
    XFree(hint.res_class);
    return both;
}

Area GameProcess::Placement() {
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display_, window_, &attributes)) return {};
    Area area{0, 0, attributes.width, attributes.height};
    Window child = 0;
    XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), 0, 0, &area.x, &area.y,
                          &child);
    return area;
}

SizeLimits GameProcess::SizeHints() {
    XSizeHints hints{};
    long supplied = 0;
    SizeLimits limits;
    if (!XGetWMNormalHints(display_, window_, &hints, &supplied)) return limits;
    if (hints.flags & PMinSize)
        limits.min_width = hints.min_width, limits.min_height = hints.min_height;
    if (hints.flags & PMaxSize)
        limits.max_width = hints.max_width, limits.max_height = hints.max_height;
    return limits;
}

Picture GameProcess::Grab() {
    Picture picture;
    // The window's size as it is now: a scaled or full-screen game is larger than 1024×512.
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display_, window_, &attributes)) return picture;
    const int width = attributes.width, height = attributes.height;
    XImage* image = XGetImage(display_, window_, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!image) return picture;  // the window is gone
    picture.width = width;
    picture.height = height;
    picture.pixels.reserve(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            picture.pixels.push_back(static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFF);
    }
    XDestroyImage(image);
    return picture;
}

Picture GameProcess::WaitFor(const std::string& awaited,
                             const std::function<bool(const Picture&)>& predicate, Millis timeout) {
    const auto start = Clock::now();
    Picture picture = Grab();
    int grabs = 1;
    while (!predicate(picture)) {
        if (Clock::now() - start >= timeout) {
            ADD_FAILURE() << "waited " << timeout.count() << " ms for " << awaited << "; saw "
                          << grabs << " grabs, the last " << picture.width << "x" << picture.height
                          << " (" << KeepSeen(picture)
                          << "); the game's standard error: " << Stderr();
            break;
        }
        std::this_thread::sleep_for(Millis(30));
        picture = Grab();
        ++grabs;
    }
    return picture;
}

// The game samples its input once a frame; a pause after each input lets it see every input
// in a frame of its own (a click and a move sent together would be one click at the new
// place).
void GameProcess::Settle() {
    XSync(display_, False);
    std::this_thread::sleep_for(kInputPause);
}

void GameProcess::MoveTo(int32_t x, int32_t y) {
    // Asked again each time: a window that went full screen has moved.
    Window child = 0;
    XTranslateCoordinates(display_, window_, DefaultRootWindow(display_), 0, 0, &window_x_,
                          &window_y_, &child);
    XTestFakeMotionEvent(display_, DefaultScreen(display_), window_x_ + x, window_y_ + y,
                         CurrentTime);
    Settle();
}

void GameProcess::Click(unsigned int button) {
    XTestFakeButtonEvent(display_, button, True, CurrentTime);
    XTestFakeButtonEvent(display_, button, False, CurrentTime);
    Settle();
}

void GameProcess::Tap(unsigned long keysym) {
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    Settle();
}

void GameProcess::Type(const std::string& latin1) {
    int first = 0, last = 0;
    XDisplayKeycodes(display_, &first, &last);
    int per_code = 0;
    KeySym* map = XGetKeyboardMapping(display_, KeyCode(first), last - first + 1, &per_code);
    const auto symbol = [&](int code, int index) {
        return index < per_code ? map[(code - first) * per_code + index] : KeySym(NoSymbol);
    };
    int spare = 0;
    for (int code = last; code >= first && spare == 0; --code) {
        if (symbol(code, 0) == NoSymbol && symbol(code, 1) == NoSymbol) spare = code;
    }
    const KeyCode shift = XKeysymToKeycode(display_, XK_Shift_L);
    for (const char c : latin1) {
        // Latin-1 characters are their own keysyms.
        const KeySym keysym = static_cast<unsigned char>(c);
        KeyCode code = XKeysymToKeycode(display_, keysym);
        bool shifted = code != 0 && symbol(code, 0) != keysym && symbol(code, 1) == keysym;
        if (code == 0 && spare != 0) {
            KeySym both[2] = {keysym, keysym};
            XChangeKeyboardMapping(display_, spare, 2, both, 1);
            XSync(display_, False);
            code = KeyCode(spare);
            shifted = false;
        }
        if (shifted) XTestFakeKeyEvent(display_, shift, True, CurrentTime);
        XTestFakeKeyEvent(display_, code, True, CurrentTime);
        XTestFakeKeyEvent(display_, code, False, CurrentTime);
        if (shifted) XTestFakeKeyEvent(display_, shift, False, CurrentTime);
        Settle();
    }
    if (spare != 0) {
        KeySym none[2] = {NoSymbol, NoSymbol};
        XChangeKeyboardMapping(display_, spare, 2, none, 1);
        XSync(display_, False);
    }
    XFree(map);
}

void GameProcess::RequestClose() {
    vexel::testing::SendCloseRequest(display_, window_);
}

void GameProcess::Signal(int signal_number) {
    kill(pid_, signal_number);
}

int GameProcess::WaitForExit(Millis timeout) {
    const auto start = Clock::now();
    if (exit_status_ != -2) return exit_status_;
    int status = 0;
    bool ended = false;
    while (waitpid(pid_, &status, WNOHANG) != pid_) {
        if (!ended && MainThreadEnded(pid_)) {
            ended = true;
            exit_delay_ = std::chrono::duration_cast<Millis>(Clock::now() - start);
        }
        if (Clock::now() - start > timeout) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            exit_status_ = -1;
            return exit_status_;
        }
        std::this_thread::sleep_for(Millis(5));
    }
    if (!ended) exit_delay_ = std::chrono::duration_cast<Millis>(Clock::now() - start);
    exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    // Let the monitor take what the game wrote last: the rest of the sound in the FIFO and
    // the last file events.
    exited_.store(true);
    const auto drain_deadline = Clock::now() + Millis(2000);
    while (!drained_.load() && Clock::now() < drain_deadline)
        std::this_thread::sleep_for(Millis(5));
    std::this_thread::sleep_for(Millis(20));
    return exit_status_;
}

std::string GameProcess::Stderr() {
    std::lock_guard lock(mutex_);
    return stderr_text_;
}

std::vector<Happening> GameProcess::Happenings() {
    std::lock_guard lock(mutex_);
    return happenings_;
}

bool GameProcess::WaitForHappening(const std::string& what, size_t count, Millis timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto happenings = Happenings();
        if (size_t(std::count_if(happenings.begin(), happenings.end(),
                                 [&](const Happening& h) { return h.what == what; })) >= count) {
            return true;
        }
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(Millis(10));
    }
}

Bytes GameProcess::Audio() {
    std::lock_guard lock(mutex_);
    return audio_;
}

std::optional<Bytes> GameProcess::File(const std::string& relative) const {
    const std::string path = folder_.path() + "/" + relative;
    if (!fs::exists(path)) return std::nullopt;
    return vexel::testing::ReadFileBytes(path);
}

void WaitForTitle(GameProcess& game, Picture* title) {
    ASSERT_TRUE(game.WaitForWindow()) << game.Stderr();
    const Picture cursor = LoadGamePicture("cur.png");
    const Picture shown =
        game.WaitFor("the cursor at its starting point on the title",
                     [&](const Picture& window) { return Shows(window, cursor, 512, 281); });
    ASSERT_TRUE(Shows(shown, cursor, 512, 281)) << "no title screen; " << game.Stderr();
    if (title) *title = shown;
}

}  // namespace morvelle::e2e
