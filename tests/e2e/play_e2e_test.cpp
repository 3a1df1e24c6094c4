// One whole game through the real program: from the title into play, shots at targets whose
// places the landscape fixes, the magazine emptied and reloaded, the clock run out, a name
// with an umlaut typed, the table shown and saved; and every sound of it on the device, in
// order and at its moment.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_sample.h"
#include "game_harness.h"
#include "support/game_file_bytes.h"

namespace morvelle::e2e {
namespace {

using Clock = std::chrono::steady_clock;

using morvelle::testing::OptionsBytes;
using morvelle::testing::ScoreRecord;

// Two carrots of the middle layer, drawn at half their 64-pixel size around the centres
// (1024 × 0.39, 512 × 0.83) and (1024 × 0.28, 512 × 0.84) while the landscape is not
// scrolled. The shot points lie inside their footprints and below every place a chicken of
// any layer can cover (near chickens reach down to row 440), and the near terrain is clear
// there, so a shot hits the carrot and nothing else.
struct Carrot {
    int32_t shot_x, shot_y;
    Area footprint;
};
constexpr Carrot kCarrots[] = {{399, 439, {384, 409, 31, 31}}, {286, 443, {271, 415, 31, 31}}};
constexpr int32_t kCarrotPoints = 40;  // 20 × 2 in the middle layer
// A resting place for the pointer that neither scrolls nor covers a carrot.
constexpr int32_t kRestX = 600, kRestY = 200;

// The pixels in an area of the window whose colour (r, g, b) `wanted` accepts.
int32_t PixelsWhere(const Picture& window, Area area,
                    const std::function<bool(uint32_t, uint32_t, uint32_t)>& wanted) {
    int32_t count = 0;
    for (int32_t y = area.y; y < area.y + area.height; ++y) {
        for (int32_t x = area.x; x < area.x + area.width; ++x) {
            const uint32_t p = window.At(x, y);
            count += wanted(p >> 16 & 0xFF, p >> 8 & 0xFF, p & 0xFF);
        }
    }
    return count;
}

// Pixels in an area of the window that differ from their right neighbour by more than `step`
// in a colour channel: edges that no filtering has softened.
int32_t SharpSteps(const Picture& window, Area area, uint32_t step) {
    int32_t count = 0;
    for (int32_t y = area.y; y < area.y + area.height; ++y) {
        for (int32_t x = area.x; x + 1 < area.x + area.width; ++x) {
            const uint32_t a = window.At(x, y), b = window.At(x + 1, y);
            for (int shift = 0; shift < 24; shift += 8) {
                const uint32_t p = a >> shift & 0xFF, q = b >> shift & 0xFF;
                if ((p > q ? p - q : q - p) > step) {
                    ++count;
                    break;
                }
            }
        }
    }
    return count;
}

// Carrot-orange pixels in an area of the window.
int32_t OrangePixels(const Picture& window, Area area) {
    return PixelsWhere(window, area, [](uint32_t r, uint32_t g, uint32_t b) {
        return r > 200 && g > 100 && g < 170 && b < 80;
    });
}

// The width of the score's white text, left-aligned at x 20 on the sky: the columns of
// x 15..79, y 40..63 that hold a near-white pixel, from the first to the last.
int32_t ScoreInkWidth(const Picture& window) {
    int32_t first = -1, last = -1;
    for (int32_t x = 15; x < 80; ++x) {
        for (int32_t y = 40; y < 64; ++y) {
            const uint32_t p = window.At(x, y);
            if ((p >> 16 & 0xFF) > 230 && (p >> 8 & 0xFF) > 230 && (p & 0xFF) > 230) {
                if (first < 0) first = x;
                last = x;
                break;
            }
        }
    }
    return first < 0 ? 0 : last - first + 1;
}

bool CarrotShows(const Picture& window, const Carrot& carrot) {
    return OrangePixels(window, carrot.footprint) >= 60;
}

// The magazine's icons: the cherry picture centred on (1024 - 32 (i + 1), 512 - 32).
bool MagazineShows(const Picture& window, const Picture& cherry) {
    return Shows(window, cherry, 1024 - 32 - 16, 512 - 32 - 16);
}

// The shots left: the magazine's icons shown in full colour, from the right.
int32_t ShotsShown(const Picture& window, const Picture& cherry) {
    int32_t shown = 0;
    while (shown < 8 && Shows(window, cherry, 1024 - 32 * (shown + 1) - 16, 512 - 32 - 16))
        ++shown;
    return shown;
}

// When an input was sent, and when its effect was first seen: the game took it in between.
// Every input waits for its effect before the next is sent, so that a slow game never takes
// two of them in one frame (a click and the move after it would be one click at the new
// place; two Backspaces one deleted character).
struct Input {
    Clock::time_point sent, seen;
};

// A stretch of sound on the device: where it starts (in frames) and which of the game's
// sounds it is.
struct Heard {
    std::string sound;
    int64_t start;
};

// The left channel of a stereo 16-bit recording.
std::vector<float> LeftChannel(const Bytes& bytes, size_t first_frame, size_t frames) {
    std::vector<float> left;
    for (size_t f = first_frame; f < first_frame + frames && (f + 1) * 4 <= bytes.size(); ++f)
        left.push_back(
            static_cast<float>(static_cast<int16_t>(bytes[f * 4] | bytes[f * 4 + 1] << 8)));
    return left;
}

// Correlation of two signals, the second shifted by up to 64 frames either way, 1 for the
// same shape at any volume. The shift absorbs a volume ramp at a sound's start.
double Likeness(const std::vector<float>& a, const std::vector<float>& b) {
    double best = 0;
    for (int lag = -64; lag <= 64; ++lag) {
        double ab = 0, aa = 0, bb = 0;
        for (size_t i = 64; i + 64 < std::min(a.size(), b.size()); ++i) {
            const float x = a[i], y = b[size_t(int(i) + lag)];
            ab += double(x) * y;
            aa += double(x) * x;
            bb += double(y) * y;
        }
        if (aa > 0 && bb > 0) best = std::max(best, ab / std::sqrt(aa * bb));
    }
    return best;
}

// Splits the device's bytes into sounds (runs parted by at least 20 ms of exact silence) and
// names each after the game's sound whose opening 50 ms it matches best.
std::vector<Heard> Sounds(const Bytes& audio, const std::string& data_folder) {
    constexpr size_t kCompared = 2205;
    std::vector<std::pair<std::string, std::vector<float>>> known;
    for (const char* name : {"klick", "noshot", "peng", "reload", "high", "vote"}) {
        const auto sample =
            vexel::LoadAudioSampleFile(vexel::FromUtf8(data_folder + "/Data/sfx/" + name + ".ogg"));
        if (!sample) continue;
        const auto stereo = sample->Convert(vexel::SF_STEREO16LE);
        const Bytes bytes(stereo->samples, stereo->samples + stereo->ByteCount());
        // From its first sound on, as the device shows it.
        size_t first = 0;
        while ((first + 1) * 4 <= bytes.size() && bytes[first * 4] == 0 &&
               bytes[first * 4 + 1] == 0)
            ++first;
        known.emplace_back(name, LeftChannel(bytes, first, kCompared));
    }
    std::vector<Heard> heard;
    const size_t frames = audio.size() / 4;
    size_t quiet = 882;  // frames of silence seen; the device starts silent
    for (size_t f = 0; f < frames; ++f) {
        const bool silent =
            std::all_of(&audio[f * 4], &audio[f * 4] + 4, [](uint8_t b) { return b == 0; });
        if (silent) {
            ++quiet;
            continue;
        }
        if (quiet >= 882) {
            const auto opening = LeftChannel(audio, f, kCompared);
            std::string best = "?";
            double best_likeness = 0.9;
            for (const auto& [name, samples] : known) {
                const double likeness = Likeness(opening, samples);
                if (likeness > best_likeness) best = name, best_likeness = likeness;
            }
            heard.push_back({best, static_cast<int64_t>(f)});
        }
        quiet = 0;
    }
    return heard;
}

TEST(WholeGame, FromTheTitleThroughShotsAndNameEntryToTheSavedTable) {
    const Picture cherry = LoadGamePicture("Cherry.png");
    // The shots pass the near terrain (centred on the screen, so window x is picture x - 256):
    // it must be clear where they go.
    const Picture near_terrain = Cell(LoadGamePicture("Terrain.png"), 1536, 512, 2);
    for (const Carrot& carrot : kCarrots)
        ASSERT_LT(near_terrain.At(carrot.shot_x + 256, carrot.shot_y) >> 24, 128u)
            << "the near terrain covers the shot at " << carrot.shot_x << ',' << carrot.shot_y;
    // Sound on, and the name of the last player, which the name entry offers again.
    GameProcess game({.options = OptionsBytes("Jo", 1)});
    ASSERT_NO_FATAL_FAILURE(WaitForTitle(game));

    // The play button starts the game; its first frame shows the full magazine and both
    // carrots.
    const Picture play_hovered = Cell(LoadGamePicture("MenuButtons.png"), 256, 64, 1);
    game.MoveTo(512, 128);
    game.WaitFor("the play button lit under the cursor", [&](const Picture& w) {
        return Shows(w, play_hovered, 384, 96, {512, 128, 32, 32});
    });
    game.Click();
    const auto started = Clock::now();
    game.WaitFor(
        "the magazine's eight cherries", [&](const Picture& w) { return MagazineShows(w, cherry); },
        Millis(30000));
    game.MoveTo(kRestX, kRestY);
    const Picture first = game.WaitFor(
        "the magazine and both carrots at the start",
        [&](const Picture& w) {
            return MagazineShows(w, cherry) && CarrotShows(w, kCarrots[0]) &&
                   CarrotShows(w, kCarrots[1]);
        },
        Millis(30000));
    ASSERT_TRUE(MagazineShows(first, cherry));
    // The score starts at "0", one digit of the 24-pixel font.
    const int32_t one_digit = ScoreInkWidth(first);
    EXPECT_GE(one_digit, 8);
    EXPECT_LE(one_digit, 18);

    // Three rounds: each carrot is shot, vanishes, and comes back within 30 s.
    const Picture crosshair = Cell(LoadGamePicture("Cross.png"), 64, 64, 2);
    std::vector<Input> shots;
    const auto shoot = [&](int32_t x, int32_t y) {
        game.MoveTo(x, y);
        const Picture aimed =
            game.WaitFor("the crosshair at the aimed point",
                         [&](const Picture& w) { return Shows(w, crosshair, x - 32, y - 32); });
        const int32_t left = ShotsShown(aimed, cherry);
        const auto sent = Clock::now();
        game.Click();
        game.WaitFor("one cherry fewer in the magazine after the shot",
                     [&](const Picture& w) { return ShotsShown(w, cherry) == left - 1; });
        shots.push_back({sent, Clock::now()});
        game.MoveTo(kRestX, kRestY);
        std::this_thread::sleep_for(Millis(500));  // the shot sound plays out
    };
    for (int round = 0; round < 3; ++round) {
        for (const Carrot& carrot : kCarrots) {
            const Picture before = game.WaitFor(
                "the carrot grown back", [&](const Picture& w) { return CarrotShows(w, carrot); },
                Millis(31000));
            ASSERT_TRUE(CarrotShows(before, carrot)) << "round " << round;
            shoot(carrot.shot_x, carrot.shot_y);
            EXPECT_LE(OrangePixels(game.Grab(), carrot.footprint), 5) << "round " << round;
        }
        // 80 after the first round: two digits; 160 and 240 after the others: three.
        const int32_t width = ScoreInkWidth(game.Grab());
        EXPECT_GE(width, round == 0 ? 2 * one_digit - 3 : 3 * one_digit - 6) << "round " << round;
        EXPECT_LE(width, round == 0 ? 2 * one_digit + 6 : 3 * one_digit + 8) << "round " << round;
    }
    // Two shots into the open sky empty the magazine: no icon is lit any more.
    shoot(512, 20);
    shoot(512, 20);
    EXPECT_FALSE(MagazineShows(game.Grab(), cherry));
    // A click on an empty magazine only clicks (seen when its sound reaches the device); the
    // right button reloads.
    size_t sounds_so_far = 0;
    for (const Happening& happening : game.Happenings())
        sounds_so_far += happening.what == "sound";
    const auto empty_click_sent = Clock::now();
    game.Click();
    EXPECT_TRUE(game.WaitForHappening("sound", sounds_so_far + 1, Millis(10000)));
    const Input empty_click{empty_click_sent, Clock::now()};
    std::this_thread::sleep_for(Millis(400));
    const auto reload_sent = Clock::now();
    game.Click(3);
    EXPECT_TRUE(
        MagazineShows(game.WaitFor("the magazine refilled after the reload",
                                   [&](const Picture& w) { return MagazineShows(w, cherry); }),
                      cherry));
    const Input reload{reload_sent, Clock::now()};

    // The clock runs out 90.5 s after the start; name entry has no magazine.
    const Picture over = game.WaitFor(
        "the name entry after the clock ran out (no magazine)",
        [&](const Picture& w) { return !MagazineShows(w, cherry); }, Millis(100000));
    ASSERT_FALSE(MagazineShows(over, cherry));
    const auto game_length = Clock::now() - started;
    EXPECT_GE(game_length, Millis(90000));
    EXPECT_LT(game_length, Millis(93000));

    // The name entry shows nothing but the landscape and the name: each Backspace changes it.
    for (int i = 0; i < 2; ++i) {
        const Picture before = game.Grab();
        game.Tap(XK_BackSpace);
        game.WaitFor("the name changed by Backspace",
                     [&](const Picture& w) { return w.pixels != before.pixels; });
    }
    game.Type("J\xFCrgen");
    // The game takes one typed character per frame: wait until the name stops changing, so
    // that Enter does not overtake its last letters on a slow machine.
    for (Picture last = game.Grab();;) {
        std::this_thread::sleep_for(Millis(300));
        Picture now = game.Grab();
        if (now.pixels == last.pixels) break;
        last = std::move(now);
    }
    game.Tap(XK_Return);
    // Six carrots at 40 points: rank 7 of the default table, on the green bar (row 7 at
    // y 263, the bar from x 204.8 over 614.4 pixels).
    const Picture table = game.WaitFor("rank 7 on the table's green bar",
                                       [](const Picture& w) { return w.At(215, 263) == 0x40C840; });
    EXPECT_EQ(table.At(215, 263), 0x40C840u);
    EXPECT_NE(table.At(215, 227), 0x40C840u);
    EXPECT_NE(table.At(215, 299), 0x40C840u);
    std::this_thread::sleep_for(Millis(1600));  // the fanfare plays out before the farewell
    game.Tap(XK_Escape);
    ASSERT_EQ(game.WaitForExit(), 0) << game.Stderr();

    Bytes expected;
    for (const auto& [name, points] :
         std::vector<std::pair<std::string, int32_t>>{{"Orlan", 1315},
                                                      {"Orlan", 1050},
                                                      {"Orlan", 815},
                                                      {"Orlan", 610},
                                                      {"Orlan", 435},
                                                      {"Orlan", 290},
                                                      {"J\xFCrgen", 6 * kCarrotPoints},
                                                      {"Orlan", 175},
                                                      {"Orlan", 90},
                                                      {"Orlan", 35}}) {
        const Bytes record = ScoreRecord(name, points);
        expected.insert(expected.end(), record.begin(), record.end());
    }
    EXPECT_EQ(game.File("Data/High.Score"), expected);
    EXPECT_EQ(game.File("Data/Options"), OptionsBytes("J\xFCrgen", 1));

    // The sounds: the play button's click, eight shots, the empty click, the reload, the
    // table's fanfare and the farewell, in this order.
    const auto heard = Sounds(game.Audio(), game.Folder());
    std::vector<std::string> names;
    for (const Heard& h : heard)
        names.push_back(h.sound);
    std::vector<std::string> expected_names = {"klick"};
    expected_names.insert(expected_names.end(), 8, "peng");
    expected_names.insert(expected_names.end(), {"noshot", "reload", "high", "vote"});
    ASSERT_EQ(names, expected_names);
    // Each at its moment: the gaps between the sounds are the gaps between the inputs, give
    // or take a few frames of a game slowed by sanitizers on a busy machine.
    const auto gap_ms = [&](size_t a, size_t b) {
        return double(heard[b].start - heard[a].start) / 44.1;
    };
    // The game took input a between a.sent and a.seen, so the gap to b lies between
    // b.sent - a.seen and b.seen - a.sent.
    const auto expect_gap = [&](size_t sound, const Input& a, const Input& b) {
        const auto ms = [](Clock::duration d) {
            return double(std::chrono::duration_cast<Millis>(d).count());
        };
        const double gap = gap_ms(sound - 1, sound);
        // The device's time is counted in samples: a mixer that a loaded machine starves
        // now and then loses a little of it (180 ms in 21 s at a load of 18 on 2 cores).
        const double slack = 150 + gap / 100;
        EXPECT_GE(gap, ms(b.sent - a.seen) - slack) << "sound " << sound;
        EXPECT_LE(gap, ms(b.seen - a.sent) + slack) << "sound " << sound;
    };
    for (size_t i = 1; i < shots.size(); ++i)
        expect_gap(i + 1, shots[i - 1], shots[i]);
    expect_gap(9, shots.back(), empty_click);
    expect_gap(10, empty_click, reload);
}

// The game at twice its size on a 3840×2160 screen (VEXEL_BIG_DISPLAY): a 2048×1024 window
// that draws the 2x pictures, where a click on a carrot's place, at twice its logical
// position in window pixels, shoots it.
TEST(ScaledGame, StartsHitsACarrotAndEndsAtScaleTwo) {
    const char* big = std::getenv("VEXEL_BIG_DISPLAY");
    if (!big) GTEST_SKIP() << "no 3840x2160 X server (set VEXEL_BIG_DISPLAY)";
    GameProcess game({.arguments = {"--scale", "2"}, .display = big});
    ASSERT_TRUE(game.WaitForWindow()) << game.Stderr();
    const Picture cursor = LoadGamePicture("cur@2x.png");
    const Picture title = game.WaitFor(
        "the 2x title with the 2x cursor in a 2048x1024 window", [&](const Picture& w) {
            return w.width == 2048 && w.height == 1024 && Shows(w, cursor, 2 * 512, 2 * 281);
        });
    ASSERT_EQ(title.width, 2048);
    ASSERT_EQ(title.height, 1024);
    ASSERT_TRUE(Shows(title, cursor, 2 * 512, 2 * 281)) << game.Stderr();

    // Each input waits for its effect on the screen, so that a slow machine never takes a
    // move, a click and the next move in one frame.
    game.MoveTo(2 * 512, 2 * 128);
    game.WaitFor("the 2x cursor over the play button",
                 [&](const Picture& w) { return Shows(w, cursor, 2 * 512, 2 * 128); });
    game.Click();
    const Picture cherry = LoadGamePicture("Cherry@2x.png");
    game.WaitFor(
        "the 2x magazine",
        [&](const Picture& w) {
            return Shows(w, cherry, 2 * (1024 - 32 - 16), 2 * (512 - 32 - 16));
        },
        Millis(30000));
    game.MoveTo(2 * kRestX, 2 * kRestY);
    const Carrot& carrot = kCarrots[0];
    const auto doubled = [](Area a) { return Area{2 * a.x, 2 * a.y, 2 * a.width, 2 * a.height}; };
    const Area footprint = doubled(carrot.footprint);
    const Area other_footprint = doubled(kCarrots[1].footprint);
    const Picture before = game.WaitFor(
        "the 2x carrot", [&](const Picture& w) { return OrangePixels(w, footprint) >= 4 * 60; },
        Millis(31000));
    ASSERT_GE(OrangePixels(before, footprint), 4 * 60);
    const Picture crosshair = Cell(LoadGamePicture("Cross@2x.png"), 128, 128, 2);
    game.MoveTo(2 * carrot.shot_x, 2 * carrot.shot_y);
    game.WaitFor("the 2x crosshair on the carrot", [&](const Picture& w) {
        return Shows(w, crosshair, 2 * carrot.shot_x - 64, 2 * carrot.shot_y - 64);
    });
    game.Click();
    const Picture shot = game.WaitFor("the 2x carrot shot away", [&](const Picture& w) {
        return OrangePixels(w, footprint) <= 4 * 5;
    });
    EXPECT_LE(OrangePixels(shot, footprint), 4 * 5);
    game.MoveTo(2 * kRestX, 2 * kRestY);

    // F11 fills the 3840×2160 screen with the game letterboxed at 3.75 (bars of 120 rows)
    // and gives the window back, where the other carrot still shows.
    game.Tap(XK_F11);
    // (The first full-screen frame may still be the black one of the switch.)
    const Picture full =
        game.WaitFor("the full screen frame of 3840x2160 with a picture in it",
                     [](const Picture& w) { return w.width == 3840 && w.At(1920, 200) != 0; });
    ASSERT_EQ(full.width, 3840);
    ASSERT_EQ(full.height, 2160);
    EXPECT_EQ(full.At(1920, 60), 0u) << "the bar above";
    EXPECT_EQ(full.At(1920, 2100), 0u) << "the bar below";
    EXPECT_NE(full.At(1920, 200), 0u);
    game.Tap(XK_F11);
    const Picture back =
        game.WaitFor("the 2048x1024 window again with the other carrot", [&](const Picture& w) {
            return w.width == 2048 && OrangePixels(w, other_footprint) >= 4 * 60;
        });
    EXPECT_EQ(back.width, 2048);
    EXPECT_GE(OrangePixels(back, other_footprint), 4 * 60);
    game.Tap(XK_Escape);
    ASSERT_EQ(game.WaitForExit(), 0) << game.Stderr();
}

// The game started full screen under a window manager (VEXEL_WM_DISPLAY: 1920×1080, run by
// one that follows the extended hints): the manager gives it the whole screen, where the
// 1024×512 frame shows at 1.875 (1920 / 1024 fits before 1080 / 512), 1920×960 between black
// bars of 60 rows; the pointer reaches the menu through that scale, and F11 gives back the
// window at its fixed 1024×512.
TEST(ScaledGame, StartsFullScreenUnderAWindowManagerAndF11GivesTheWindowBack) {
    const char* managed = std::getenv("VEXEL_WM_DISPLAY");
    if (!managed) GTEST_SKIP() << "no X server with a window manager (set VEXEL_WM_DISPLAY)";
    GameProcess game({.arguments = {"--fullscreen"}, .display = managed});
    ASSERT_TRUE(game.WaitForWindow()) << game.Stderr();
    // Screen pixels of a logical point or length: 15 / 8 is 1.875.
    constexpr int32_t kBar = 60;
    const auto enlarged = [](int32_t logical) { return logical * 15 / 8; };
    const auto black = [](uint32_t r, uint32_t g, uint32_t b) { return r + g + b == 0; };
    const auto lit = [](uint32_t r, uint32_t g, uint32_t b) { return r + g + b != 0; };
    // Nothing but black in the bars, and the frame reaching them on all four sides (the
    // game's pictures have no pure black at their edges).
    const auto letterboxed = [&](const Picture& w) {
        return w.width == 1920 && w.height == 1080 &&
               PixelsWhere(w, {0, 0, 1920, kBar}, lit) == 0 &&
               PixelsWhere(w, {0, 1080 - kBar, 1920, kBar}, lit) == 0 &&
               PixelsWhere(w, {0, kBar, 1920, 1}, black) == 0 &&
               PixelsWhere(w, {0, 1080 - kBar - 1, 1920, 1}, black) == 0 &&
               PixelsWhere(w, {0, kBar, 1, 960}, black) == 0 &&
               PixelsWhere(w, {1919, kBar, 1, 960}, black) == 0;
    };
    // The play button's face (the 256×64 cell at (384, 96)): cream, and yellow while the
    // pointer is over it.
    const Area play_button{enlarged(384), kBar + enlarged(96), enlarged(256), enlarged(64)};
    const auto cream = [](uint32_t r, uint32_t g, uint32_t b) {
        return r > 240 && g > 220 && b > 180;
    };
    const auto yellow = [](uint32_t r, uint32_t g, uint32_t b) {
        return r > 240 && g > 180 && b < 150;
    };
    // The pictures are made for the full-screen view, from their 2x files (decoded after the
    // first frames): the lettering of the title gets steps that a 1x picture enlarged 1.875
    // times with filtering has none of.
    const Area lettering{enlarged(256), kBar, enlarged(512), enlarged(96)};
    const Picture title = game.WaitFor(
        "the title letterboxed at 1.875 and sharp from its 2x pictures",
        [&](const Picture& w) {
            return letterboxed(w) && PixelsWhere(w, play_button, cream) >= 10000 &&
                   SharpSteps(w, lettering, 130) >= 500;
        },
        Millis(20000));
    ASSERT_TRUE(letterboxed(title)) << game.Stderr();
    ASSERT_GE(PixelsWhere(title, play_button, cream), 10000);
    EXPECT_GE(SharpSteps(title, lettering, 130), 500);
    EXPECT_EQ(PixelsWhere(title, play_button, yellow), 0);
    const Area full = game.Placement();
    EXPECT_EQ(full.x, 0);
    EXPECT_EQ(full.y, 0);
    EXPECT_EQ(full.width, 1920);
    EXPECT_EQ(full.height, 1080);

    // The button's centre (512, 128) is (960, 300) on the screen.
    game.MoveTo(enlarged(512), kBar + enlarged(128));
    const Picture pointed =
        game.WaitFor("the play button lit under the cursor at 1.875",
                     [&](const Picture& w) { return PixelsWhere(w, play_button, yellow) >= 8000; });
    ASSERT_GE(PixelsWhere(pointed, play_button, yellow), 8000);
    game.Click();
    // The game starts: the magazine's eight cherries light up at the bottom right, where the
    // title has none.
    const Area magazine_icons{752, 464, 256, 32};
    const Area magazine{enlarged(magazine_icons.x), kBar + enlarged(magazine_icons.y),
                        enlarged(magazine_icons.width), enlarged(magazine_icons.height)};
    const auto cherry_red = [](uint32_t r, uint32_t g, uint32_t b) {
        return r > 180 && g < 70 && b < 70;
    };
    EXPECT_EQ(PixelsWhere(title, magazine, cherry_red), 0);
    const Picture playing = game.WaitFor(
        "the magazine in the letterboxed play screen",
        [&](const Picture& w) {
            return letterboxed(w) && PixelsWhere(w, magazine, cherry_red) >= 1500;
        },
        Millis(30000));
    ASSERT_GE(PixelsWhere(playing, magazine, cherry_red), 1500);
    EXPECT_TRUE(letterboxed(playing));

    // F11: the window again, 1024×512 at scale 1 with the magazine in its place, and the
    // size hints fixed at that size.
    game.Tap(XK_F11);
    const Picture back =
        game.WaitFor("the 1024x512 window again with the magazine", [&](const Picture& w) {
            return w.width == 1024 && w.height == 512 &&
                   PixelsWhere(w, magazine_icons, cherry_red) >= 600;
        });
    EXPECT_EQ(back.width, 1024);
    EXPECT_EQ(back.height, 512);
    EXPECT_GE(PixelsWhere(back, magazine_icons, cherry_red), 600);
    const Area window = game.Placement();
    EXPECT_EQ(window.width, 1024);
    EXPECT_EQ(window.height, 512);
    const SizeLimits hints = game.SizeHints();
    EXPECT_EQ(hints.min_width, 1024);
    EXPECT_EQ(hints.max_width, 1024);
    EXPECT_EQ(hints.min_height, 512);
    EXPECT_EQ(hints.max_height, 512);
    game.Tap(XK_Escape);
    ASSERT_EQ(game.WaitForExit(), 0) << game.Stderr();
}

}  // namespace
}  // namespace morvelle::e2e
