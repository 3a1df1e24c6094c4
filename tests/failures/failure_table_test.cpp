// Calls of every module that fail for a reason outside the program (a file missing,
// unreadable or malformed, a null object, no X server, no context): each returns its
// documented failure value, records one message naming the call, the resource and the cause,
// echoes it once, and nothing crashes (the sanitizers watch).

#include <gtest/gtest.h>
#include <stdlib.h>

#include <functional>
#include <string>
#include <vector>

#include "audio/audio_driver.h"
#include "font/font.h"
#include "graphics/graphics.h"
#include "graphics/image.h"
#include "graphics/vex2d.h"
#include "pixmap/pixmap.h"
#include "pixmap/pixmap_loader.h"
#include "pixmap/png_loader.h"
#include "runtime/last_error.h"
#include "stream/stream_factory.h"
#include "support/test_support.h"

namespace vexel {
namespace {

// Before main: no X server for the window calls, and no sound device for the mixer.
const bool environment_set = [] {
    unsetenv("DISPLAY");
    setenv("AUDIODEV", "/nonexistent/dsp", 1);
    return true;
}();

String Source(const std::string& relative) {
    return FromUtf8(testing::SourcePath(relative));
}
const String kText = Source("tests/failures/failure_table_test.cpp");  // exists, is no image
const String kMissing = Source("tests/failures/missing.ogg");
const String kUnderAFile = kText + u"/inside";
const String kTooWide = Source("tests/pixmap/data/malformed/png_too_wide.png");
const String kCutPng = Source("tests/pixmap/data/malformed/png_cut_in_idat.png");
const String kBmp = Source("tests/pixmap/data/rgb24.bmp");

String Quoted(const String& path) {
    return u"\"" + path + u"\"";
}

struct FailingCall {
    const char* name;
    // Makes the call; true when it returned the documented failure value.
    std::function<bool()> call;
    String message;
};

void PrintTo(const FailingCall& failing, std::ostream* out) {
    *out << failing.name;
}

const std::vector<FailingCall>& Table() {
    static const std::vector<FailingCall> table = {
        // Missing and unreadable files.
        {"OpenFileReadMissing", [] { return !OpenFileRead(kMissing); },
         u"OpenFileRead: " + Quoted(kMissing) + u": No such file or directory"},
        {"OpenFileReadUnderAFile", [] { return !OpenFileRead(kUnderAFile); },
         u"OpenFileRead: " + Quoted(kUnderAFile) + u": Not a directory"},
        {"OpenFileReadUnknownProtocol", [] { return !OpenFileRead(u"nosuch::x"); },
         u"OpenFileRead: \"nosuch::x\": no stream factory opens \"nosuch::\" urls"},
        {"LoadPixmapMissing", [] { return !LoadPixmapFrom(kMissing); },
         u"LoadPixmapFrom: " + Quoted(kMissing) + u": No such file or directory"},
        {"LoadSoundMissing", [] { return !LoadSoundFile(kMissing, 0); },
         u"LoadSoundFile: " + Quoted(kMissing) + u": No such file or directory"},
        {"LoadFontMissing", [] { return !LoadFontFrom(kMissing, 16, 0); },
         u"LoadFontFrom: " + Quoted(kMissing) + u": No such file or directory"},
        {"LoadImageMissing", [] { return !LoadImageFrom(kMissing, -1); },
         u"LoadImageFrom: " + Quoted(kMissing) + u": No such file or directory"},
        // Malformed files: the check that failed.
        {"LoadPixmapTooWide", [] { return !LoadPixmapFrom(kTooWide); },
         u"LoadPixmapFrom: " + Quoted(kTooWide) +
             u": PNG: image 20000×20000 exceeds the limit of 16384"},
        {"LoadPixmapCutShort", [] { return !LoadPixmapFrom(kCutPng); },
         u"LoadPixmapFrom: " + Quoted(kCutPng) + u": PNG: the file ends inside the pixel data"},
        {"LoadPixmapNotAnImage", [] { return !LoadPixmapFrom(kText); },
         u"LoadPixmapFrom: " + Quoted(kText) +
             u": not an image file of a kind Vexel reads (PNG, BMP, JPEG, TGA)"},
        {"LoadPNGOfABmp", [] { return !LoadPNGPixmap(kBmp); },
         u"LoadPNGPixmap: " + Quoted(kBmp) + u": PNG: not a PNG file"},
        {"LoadSoundNotASound", [] { return !LoadSoundFile(kText, 0); },
         u"LoadSoundFile: " + Quoted(kText) +
             u": not a sound file of a kind Vexel reads (WAV, Ogg Vorbis)"},
        {"LoadFontNotAFont", [] { return !LoadFontFrom(kText, 16, 0); },
         u"LoadFontFrom: " + Quoted(kText) + u": not a font file FreeType reads"},
        {"LoadImageStripCellsOutside",
         [] { return !LoadImageStrip(NewPixmap(10, 10, PIXEL_RGBA32, 4), 4, 4, 0, 5, 0); },
         u"LoadImageStrip: a picture of 10×10 holds no cells 0 to 4 of 4×4"},
        // Null objects.
        {"OpenNullStream", [] { return !OpenFileRead(StreamPtr{}); },
         u"OpenFileRead: the stream is null"},
        {"LoadSoundOfNullSample", [] { return !LoadSoundFile(AudioSamplePtr{}, 0); },
         u"LoadSoundFile: the sample is null"},
        {"StartNullSound", [] { return !StartSound(nullptr, nullptr); },
         u"StartSound: the sound is null"},
        {"PrepareNullSound", [] { return !PrepareSound(nullptr, nullptr); },
         u"PrepareSound: the sound is null"},
        {"PlayingOfNullChannel", [] { return ChannelIsPlaying(nullptr) == 0; },
         u"ChannelIsPlaying: the channel is null"},
        {"HaltNullChannel",
         [] {
             HaltChannel(nullptr);
             return true;
         },
         u"HaltChannel: the channel is null"},
        {"LoadImageOfNullPixmap", [] { return !LoadImageFrom(PixmapPtr{}, 0); },
         u"LoadImageFrom: the pixmap is null (or the path empty)"},
        {"DrawNullPixmap",
         [] {
             DrawPixmapAt(nullptr, 0, 0);
             return true;
         },
         u"DrawPixmapAt: the pixmap is null"},
        {"CloseNullContext",
         [] {
             CloseGraphicsContext(nullptr);
             return true;
         },
         u"CloseGraphicsContext: the graphics context is null"},
        // Devices and servers that are not there; drawing with no context.
        {"SelectSonmixWithoutDevice", [] { return SelectAudioDriver(u"Sonmix") == 0; },
         u"SelectAudioDriver: \"/nonexistent/dsp\": cannot open the OSS sound device: No such "
         u"file or directory"},
        {"SelectUnknownDriver", [] { return SelectAudioDriver(u"Nosuch") == 0; },
         u"SelectAudioDriver: \"Nosuch\": no audio driver has this name"},
        {"OpenGraphicsWithoutXServer", [] { return !OpenGraphics(320, 240, 0, 60, 0); },
         u"OpenGraphics: cannot connect to the X server (is DISPLAY right?)"},
        {"DrawWithoutContext",
         [] {
             DrawRectangle(0, 0, 10, 10);
             return true;
         },
         u"DrawRectangle: no graphics context is open (call OpenGraphics)"},
        {"DrawImageWithoutContext",
         [] {
             const ImagePtr image = LoadImageFrom(NewPixmap(2, 2, PIXEL_RGBA32, 4), 0);
             DrawImageFrame(*image, 0, 0, 0);
             return true;
         },
         u"DrawImageFrame: no graphics context is open (call OpenGraphics)"},
        {"FlipWithoutContext",
         [] {
             FlipGraphics(0);
             return true;
         },
         u"FlipGraphics: no graphics context is open (call OpenGraphics)"},
    };
    return table;
}

class FailureTable : public ::testing::TestWithParam<FailingCall> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(environment_set);
        SelectAudioDriver(u"Null");
        ClearLastError();
        SetErrorEcho([this](const String& message) { echoed_.push_back(message); });
    }
    void TearDown() override { SetErrorEcho(EchoErrorToStandardError); }

    std::vector<String> echoed_;
};

TEST_P(FailureTable, ReturnsTheFailureValueAndSaysWhyOnce) {
    const FailingCall& failing = GetParam();
    EXPECT_TRUE(failing.call());
    EXPECT_EQ(ToUtf8(LastError()), ToUtf8(failing.message));
    EXPECT_EQ(echoed_, std::vector<String>{failing.message});
}

INSTANTIATE_TEST_SUITE_P(EveryModule, FailureTable, ::testing::ValuesIn(Table()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vexel
