// Sound with Vexel: load a sound file, play it on several channels of the software mixer at
// once with its own volume, pan and rate each, watch the channels play, and stop one.
//
// The mixer (the audio driver "Sonmix") mixes 44100 Hz stereo on a thread of its own and
// plays it through the desktop's sound server, or else writes it to the OSS device /dev/dsp
// (or to the file named in AUDIODEV). Without either the silent "Null" driver takes over and
// everything else runs the same.
//
// Keys 1 to 3 play the chime on the left, in the middle and on the right, each at its own
// rate; 4 starts it looping quietly and S stops the loop; Escape ends. The first three also
// start by themselves at the beginning. With two arguments, N and a path, the program saves
// frame N as a PNG file there and ends.

#include <vexel/audio/audio_driver.h>
#include <vexel/audio/mixer/sonmix_driver.h>
#include <vexel/graphics/graphics.h>
#include <vexel/graphics/vex2d.h>
#include <vexel/pixmap/png_loader.h>
#include <vexel/runtime/startup.h>
#include <vexel/system/polled_input.h>
#include <vexel/system/timer.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

// What one row of the screen plays, and the channel it plays on once started.
struct Voice {
    const char16_t* label;
    int32_t key;
    float volume;  // 0 silent .. 1 full
    float pan;     // -1 left .. 0 centre .. 1 right
    float rate;    // 1 as recorded, 2 an octave up
    bool loop;
    vexel::ChannelPtr channel;
};

vexel::String Text(const std::string& text) {
    return vexel::String(text.begin(), text.end());
}

}  // namespace

int main(int argc, char** argv) {
    vexel::RunProgram(argc, argv, [argc, argv] {
        const int save_frame = argc > 2 ? std::atoi(argv[1]) : -1;
        const std::string save_path = argc > 2 ? argv[2] : "";
        vexel::SetAppTitle(u"Vexel – Klang");
        if (!vexel::OpenGraphics(640, 300, 0, 60, 0)) {
            std::fputs("cannot open display\n", stderr);
            std::exit(1);
        }

        // The first audio call chooses the driver: the mixer if the device opens, else Null.
        const vexel::String driver = vexel::CurrentAudioDriver()->Name();

        // WAV and Ogg Vorbis files load into sounds of the current driver. Start-up made the
        // program's folder the working folder, and the build put chime.wav beside it.
        const vexel::SoundPtr chime = vexel::LoadSoundFile(u"chime.wav", 0);
        const vexel::SoundPtr looped = vexel::LoadSoundFile(u"chime.wav", vexel::SOUND_LOOP);
        if (!chime || !looped) {
            std::fputs("cannot load chime.wav\n", stderr);
            std::exit(1);
        }

        Voice voices[] = {
            {u"1  links, hoch", '1', 1.0f, -1.0f, 1.5f, false, nullptr},
            {u"2  Mitte", '2', 0.8f, 0.0f, 1.0f, false, nullptr},
            {u"3  rechts, tief", '3', 1.0f, 1.0f, 0.6f, false, nullptr},
            {u"4  Schleife, leise", '4', 0.3f, 0.0f, 1.25f, true, nullptr},
        };

        const vexel::TimerPtr timer = vexel::StartTimer(60, nullptr);
        for (int frame = 0; !vexel::KeyWasHit(vexel::KEY_ESCAPE); ++frame) {
            if (vexel::AppTerminateRequested()) break;
            for (int i = 0; i < 4; ++i) {
                Voice& voice = voices[i];
                if (!vexel::KeyWasHit(voice.key) && frame != 1 + 30 * i) continue;
                if (voice.loop && voice.channel) vexel::HaltChannel(voice.channel);
                // PrepareSound gives a paused channel, so the settings hold from the first
                // sample on; ContinueChannel lets it play.
                voice.channel = vexel::PrepareSound(voice.loop ? looped : chime, nullptr);
                if (!voice.channel) continue;  // every voice of the mixer busy
                vexel::SetVolumeOf(voice.channel, voice.volume);
                vexel::SetPanOf(voice.channel, voice.pan);
                vexel::SetRateOf(voice.channel, voice.rate);
                vexel::ContinueChannel(voice.channel);
            }
            if ((vexel::KeyWasHit(vexel::KEY_S) || frame == 240) && voices[3].channel)
                vexel::HaltChannel(voices[3].channel);

            vexel::SetClearColor(16, 20, 32);
            vexel::ClearScreen();
            vexel::SetDrawColor(255, 255, 255);
            vexel::DrawString(u"Treiber: " + driver, 16, 12);
            vexel::DrawString(u"Tasten 1-4 spielen, S stoppt die Schleife", 16, 32);
            for (int i = 0; i < 4; ++i) {
                const Voice& voice = voices[i];
                const float y = 70.0f + 55.0f * static_cast<float>(i);
                const bool playing = voice.channel && vexel::ChannelIsPlaying(voice.channel);
                vexel::SetDrawColor(playing ? 120 : 90, playing ? 230 : 90, playing ? 140 : 100);
                vexel::DrawString(voice.label, 16, y);
                // Volume as a bar, pan as a marker on a line from left to right.
                vexel::DrawRectangle(200, y, 100 * voice.volume, 14);
                vexel::DrawLineSegment(330, y + 7, 430, y + 7, 1);
                vexel::DrawRectangle(377 + 50 * voice.pan, y, 6, 14);
                vexel::DrawString(Text("x" + std::to_string(voice.rate).substr(0, 4)), 450, y);
                // The mixer's own channel type also tells how far the voice has played.
                const auto mixed = std::dynamic_pointer_cast<vexel::TSonmixChannel>(voice.channel);
                if (mixed && playing) {
                    const int64_t frames = mixed->Position();
                    vexel::DrawString(Text(std::to_string(frames) + " Frames"), 200, y + 20);
                }
            }
            if (frame == save_frame) {
                vexel::SavePNGPixmap(*vexel::GrabPixmapRect(0, 0, 640, 300), Text(save_path), 6);
                break;
            }
            vexel::FlipGraphics(0);
            timer->Wait();
        }
        // Ending the program shuts the driver down; HaltChannel stops a voice earlier.
        vexel::EndProgram();
    });
}
