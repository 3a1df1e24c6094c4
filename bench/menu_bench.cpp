// The game's start-up and its menu frames.
//
// StartUp: the process CPU time from exec to the first presented frame of the real start-up,
// against the CPU time of only decoding the game's files and opening its window with one
// presented frame; both run as fresh processes of the probe program, alternating, and the
// counters give the medians and the median ratio with its spread over the rounds.
//
// StartUpAtScale3: the same start-up at scale 3 against scale 1, alternating, with the
// median ratio and its spread.
//
// SharpAtScale3: the time from exec until every picture of the scale has been decoded and
// the start view drawn with them, at scale 3 and at scale 2, alternating: wall-clock and
// process CPU medians with their spreads.
//
// TitleFrame, HighscoreFrame: one whole frame of each screen through the real OpenGL
// driver (needs DISPLAY), with every allocation made during the frames counted.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "allocation_counter.h"
#include "bench_support.h"
#include "game/game_state.h"
#include "game/highscore.h"
#include "game/main_loop.h"
#include "game/resources.h"
#include "graphics/graphics.h"
#include "graphics/image.h"
#include "graphics/vex2d.h"

extern char** environ;

namespace {

struct ProbeResult {
    double cpu_seconds = -1;   // process CPU time from exec to the first presented frame
    double wall_seconds = -1;  // from the spawn to the probe's report
};

// Runs the probe in `mode`, with VEXEL_SCALE set to `scale` unless it is null; negative
// figures when it failed.
ProbeResult RunProbe(const char* mode, const char* scale = nullptr) {
    const auto spawn_time = std::chrono::steady_clock::now();
    int out[2];
    if (pipe(out) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    // Without a sound output the game falls back to its silent driver, in both modes.
    setenv("VEXEL_AUDIO", "none", 1);
    if (scale) {
        setenv("VEXEL_SCALE", scale, 1);
    } else {
        unsetenv("VEXEL_SCALE");
    }
    const char* argv[] = {MORVELLE_STARTUP_PROBE, mode, nullptr};
    pid_t child = -1;
    const int spawned = posix_spawn(&child, MORVELLE_STARTUP_PROBE, &actions, nullptr,
                                    const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    char buffer[64];
    double wall = -1;
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, size_t(n));
        if (wall < 0 && text.find('\n') != std::string::npos) {
            wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - spawn_time)
                       .count();
        }
    }
    close(out[0]);
    int status = 0;
    if (spawned != 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0 || text.empty()) {
        return {};
    }
    return {std::strtod(text.c_str(), nullptr) / 1e6, wall};
}

// Runs `ours` and `peer` once an iteration, in turn first, and times the iteration by ours;
// false (the benchmark skipped) when a run failed.
bool AlternateProbes(benchmark::State& state, const std::function<ProbeResult()>& ours,
                     const std::function<ProbeResult()>& peer, std::vector<ProbeResult>& our_runs,
                     std::vector<ProbeResult>& peer_runs) {
    bool ours_first = true;
    for (auto _ : state) {
        ProbeResult a, b;
        if (ours_first) {
            a = ours();
            b = peer();
        } else {
            b = peer();
            a = ours();
        }
        ours_first = !ours_first;
        if (a.cpu_seconds < 0 || b.cpu_seconds < 0) {
            state.SkipWithError("the probe failed (no display, or the game's data is not built)");
            return false;
        }
        state.SetIterationTime(a.cpu_seconds);
        our_runs.push_back(a);
        peer_runs.push_back(b);
    }
    return true;
}

// The median of one figure of the runs, in milliseconds.
double MedianMs(const std::vector<ProbeResult>& runs, double ProbeResult::*figure) {
    std::vector<double> values;
    for (const ProbeResult& run : runs)
        values.push_back(run.*figure * 1e3);
    return vexel::bench::Median(values);
}

// The counters ratio, ratio_low and ratio_high: ours / peer in CPU time, run by run.
void CountRatio(benchmark::State& state, const std::vector<ProbeResult>& ours,
                const std::vector<ProbeResult>& peer) {
    std::vector<double> ratio;
    for (size_t i = 0; i < ours.size(); ++i)
        ratio.push_back(ours[i].cpu_seconds / peer[i].cpu_seconds);
    const vexel::bench::Summary ratios = vexel::bench::Summarise(ratio);
    state.counters["ratio"] = ratios.median;
    state.counters["ratio_low"] = ratios.low;
    state.counters["ratio_high"] = ratios.high;
}

void StartUp(benchmark::State& state) {
    std::vector<ProbeResult> game, peer;
    if (!AlternateProbes(
            state, [] { return RunProbe("game"); }, [] { return RunProbe("decode"); }, game,
            peer)) {
        return;
    }
    state.counters["game_ms"] = MedianMs(game, &ProbeResult::cpu_seconds);
    state.counters["decode_and_window_ms"] = MedianMs(peer, &ProbeResult::cpu_seconds);
    CountRatio(state, game, peer);
    state.counters["game_wall_ms"] = MedianMs(game, &ProbeResult::wall_seconds);
    state.counters["decode_and_window_wall_ms"] = MedianMs(peer, &ProbeResult::wall_seconds);
}
BENCHMARK(StartUp)->UseManualTime()->Iterations(9)->Unit(benchmark::kMillisecond);

// The real start-up at scale 3 (the 3x pictures decoded in the background after the first
// frame, the font rasterised at 72 pixels, a 3072×1536 window) against the same at scale 1,
// alternating.
void StartUpAtScale3(benchmark::State& state) {
    std::vector<ProbeResult> three, one;
    if (!AlternateProbes(
            state, [] { return RunProbe("game", "3"); }, [] { return RunProbe("game", "1"); },
            three, one)) {
        return;
    }
    state.counters["scale1_ms"] = MedianMs(one, &ProbeResult::cpu_seconds);
    state.counters["scale3_ms"] = MedianMs(three, &ProbeResult::cpu_seconds);
    CountRatio(state, three, one);
}
BENCHMARK(StartUpAtScale3)->UseManualTime()->Iterations(9)->Unit(benchmark::kMillisecond);

// The wall-clock and CPU medians of runs, with their lowest and highest, as counters.
void CountTimes(benchmark::State& state, const std::string& name,
                const std::vector<ProbeResult>& runs) {
    for (const auto& [figure, suffix] :
         {std::pair{&ProbeResult::wall_seconds, "_wall_ms"}, {&ProbeResult::cpu_seconds, "_ms"}}) {
        std::vector<double> values;
        for (const ProbeResult& run : runs)
            values.push_back(run.*figure * 1e3);
        const vexel::bench::Summary s = vexel::bench::Summarise(values);
        state.counters[name + suffix] = s.median;
        state.counters[name + suffix + "_low"] = s.low;
        state.counters[name + suffix + "_high"] = s.high;
    }
}

void SharpAtScale3(benchmark::State& state) {
    std::vector<ProbeResult> three, two;
    if (!AlternateProbes(
            state, [] { return RunProbe("sharp", "3"); }, [] { return RunProbe("sharp", "2"); },
            three, two)) {
        return;
    }
    CountTimes(state, "scale3", three);
    CountTimes(state, "scale2", two);
}
BENCHMARK(SharpAtScale3)->UseManualTime()->Iterations(9)->Unit(benchmark::kMillisecond);

// The game's window and resources, made once for the frame benchmarks.
bool PrepareGame() {
    static const bool ready = [] {
        if (chdir(MORVELLE_GAME_DIR) != 0) return false;
        setenv("VEXEL_AUDIO", "none", 1);
        morvelle::GameState& game = morvelle::Game();
        vexel::SetAutoMidHandle(1);
        morvelle::LoadedAssets loaded = morvelle::LoadResources();
        if (!loaded.missing.empty()) return false;
        game.Assets = std::move(loaded.assets);
        if (!vexel::OpenGraphics(game.ScreenWidth, game.ScreenHeight, 0, 60, 0)) return false;
        vexel::SetDrawFont(game.Assets.Font);
        game.LayerScale = {0.25f, 0.5f, 1.0f};
        morvelle::THighscore::Fill();
        morvelle::THighscore::Add(u"Jürgen", 500);
        vexel::SetDrawColor(255, 255, 255);
        vexel::SetClearColor(0, 0, 0);
        vexel::SetDrawBlend(vexel::BlendAlpha);
        return true;
    }();
    return ready;
}

void MenuFrames(benchmark::State& state, morvelle::Screen screen) {
    if (!PrepareGame()) {
        state.SkipWithError("no display, or the game's data is not built");
        return;
    }
    morvelle::Game().ScreenState = screen;
    // The first frames upload the textures and render the glyphs.
    for (int i = 0; i < 5; ++i)
        morvelle::DrawFrame();
    vexel::bench::ResetAllocationCount();
    int64_t frames = 0;
    for (auto _ : state) {
        vexel::bench::StartCountingAllocations();
        morvelle::DrawFrame();
        vexel::bench::StopCountingAllocations();
        ++frames;
    }
    const vexel::bench::AllocationCount counted = vexel::bench::CountedAllocations();
    state.counters["allocations_per_frame"] = double(counted.allocations) / double(frames);
    state.counters["bytes_per_frame"] = double(counted.bytes) / double(frames);
}
BENCHMARK_CAPTURE(MenuFrames, Title, morvelle::SCREEN_TITLE)
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(MenuFrames, Highscores, morvelle::SCREEN_HIGHSCORES)
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime();

}  // namespace
