#include "runtime/last_error.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace vexel {
namespace {

class LastErrorTest : public ::testing::Test {
  protected:
    void TearDown() override {
        SetErrorEcho(EchoErrorToStandardError);
        ClearLastError();
    }
};

TEST_F(LastErrorTest, EchoGoesToStandardErrorUntilSilencedOrRedirected) {
    ::testing::internal::CaptureStderr();
    RecordFailure(u"LoadThing", u"a b.png", u"No such file or directory");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              std::string(program_invocation_short_name) +
                  ": LoadThing: \"a b.png\": No such file or directory\n");
    EXPECT_EQ(LastError(), u"LoadThing: \"a b.png\": No such file or directory");

    SetErrorEcho({});
    ::testing::internal::CaptureStderr();
    RecordFailure(u"StartSound", u"", u"the sound is null");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(LastError(), u"StartSound: the sound is null");

    std::vector<String> echoed;
    SetErrorEcho([&echoed](const String& message) { echoed.push_back(message); });
    ::testing::internal::CaptureStderr();
    RecordFailure(u"OpenGraphics", u":9", u"cannot connect to the X server");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    RecordFailure(u"OpenGraphics", u":9", u"cannot connect to the X server");
    EXPECT_EQ(echoed, std::vector<String>{u"OpenGraphics: \":9\": cannot connect to the X server"})
        << "the same failure again is not echoed again";
}

TEST_F(LastErrorTest, NestedCallsReportTheFirstCauseOnceUnderTheOutermostName) {
    std::vector<String> echoed;
    SetErrorEcho([&echoed](const String& message) { echoed.push_back(message); });
    {
        FailureScope outer(u"LoadImage");
        {
            FailureScope inner(u"LoadPixmapFrom");
            RecordFailure(u"LoadPNGPixmap", u"", u"PNG: not a PNG file");
            RecordFailure(u"LoadPixmapFrom", u"x.png", u"no image loader recognises it");
        }
        EXPECT_TRUE(echoed.empty());
    }
    EXPECT_EQ(echoed, std::vector<String>{u"LoadImage: \"x.png\": PNG: not a PNG file"});
    EXPECT_EQ(LastError(), echoed[0]);

    // A fallback that succeeds drops what the first attempt recorded.
    echoed.clear();
    {
        FailureScope scope(u"LoadPixmapFrom");
        RecordFailure(u"LoadPNGPixmap", u"", u"PNG: truncated");
        DiscardFailure();
    }
    EXPECT_TRUE(echoed.empty());
    EXPECT_EQ(LastError(), u"LoadImage: \"x.png\": PNG: not a PNG file");
}

TEST_F(LastErrorTest, EachThreadKeepsItsOwnMessage) {
    SetErrorEcho({});
    RecordFailure(u"Main", u"", u"here");
    String other;
    std::thread([&other] {
        other = LastError();
        RecordFailure(u"Worker", u"", u"there");
    }).join();
    EXPECT_EQ(other, u"");
    EXPECT_EQ(LastError(), u"Main: here");
    ClearLastError();
    EXPECT_EQ(LastError(), u"");
}

}  // namespace
}  // namespace vexel
