#include <gtest/gtest.h>

#include "stream/incbin.h"
#include "stream/memory_stream.h"
#include "stream/stream_factory.h"
#include "support/test_support.h"

namespace vexel {
namespace {

// Records what it was asked and serves "echo::" urls with their path as content.
class EchoFactory : public TStreamFactory {
  public:
    StreamPtr CreateStream(const Url& url, const String& proto, const String& path, bool,
                           bool) override {
        ++calls;
        last_proto = proto;
        last_path = path;
        last_was_stream = url.IsStream();
        if (proto != u"echo") return nullptr;
        const std::string bytes = ToBytes(path);
        return TMemoryStream::Create(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    }
    int calls = 0;
    String last_proto;
    String last_path;
    bool last_was_stream = false;
};

std::shared_ptr<EchoFactory> Echo() {
    static auto factory = [] {
        auto f = std::make_shared<EchoFactory>();
        RegisterStreamFactory(f);
        return f;
    }();
    return factory;
}

TEST(Factories, ProtocolIsLowerCasedAndSplitAtTheFirstDoubleColon) {
    auto echo = Echo();
    auto stream = OpenFileRead(u"ECHO::a::b");
    ASSERT_TRUE(stream);
    EXPECT_EQ(echo->last_proto, u"echo");
    EXPECT_EQ(echo->last_path, u"a::b");
    EXPECT_EQ(stream->ReadString(4), u"a::b");
}

TEST(Factories, UnknownProtocolGivesNullAndPlainPathsNeverReachAFactory) {
    auto echo = Echo();
    EXPECT_EQ(OpenFileRead(u"nosuch::thing"), nullptr);
    const int before = echo->calls;
    EXPECT_EQ(OpenFileRead(u"/nonexistent/plain/path"), nullptr);
    EXPECT_EQ(echo->calls, before);
}

TEST(Factories, EmptyUrlAsksFactoriesWithEmptyProtocol) {
    auto echo = Echo();
    const int before = echo->calls;
    EXPECT_EQ(OpenFileRead(u""), nullptr);
    EXPECT_EQ(echo->calls, before + 1);
    EXPECT_EQ(echo->last_proto, u"");
    EXPECT_EQ(echo->last_path, u"");
}

TEST(Factories, NewestFactoryIsAskedFirst) {
    class Shadow : public TStreamFactory {
      public:
        StreamPtr CreateStream(const Url&, const String& proto, const String&, bool,
                               bool) override {
            if (proto != u"echo") return nullptr;
            return TMemoryStream::Create({'S'});
        }
    };
    Echo();
    auto before = OpenFileRead(u"echo::E");
    EXPECT_EQ(before->ReadByte(), 'E');
    RegisterStreamFactory(std::make_shared<Shadow>());
    auto after = OpenFileRead(u"echo::E");
    EXPECT_EQ(after->ReadByte(), 'S');
}

TEST(Factories, StreamUrlIsWrappedAndClosingTheWrapperLeavesItOpen) {
    auto inner = TMemoryStream::Create({1, 2, 3});
    auto wrapper = OpenFileRead(inner);
    ASSERT_TRUE(wrapper);
    EXPECT_NE(wrapper, inner);
    EXPECT_EQ(wrapper->ReadByte(), 1);
    wrapper->Close();
    EXPECT_EQ(inner->ReadByte(), 2);
}

TEST(Incbin, RegisteredResourcesOpenThroughTheirProtocol) {
    static const uint8_t kData[] = {0xCA, 0xFE};
    RegisterIncbin(u"test.bin", kData);
    auto stream = OpenFileRead(u"incbin::test.bin");
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->Size(), 2);
    EXPECT_EQ(stream->ReadShort(), 0xFECA);
    EXPECT_EQ(OpenFileRead(u"incbin::missing.bin"), nullptr);
    EXPECT_EQ(OpenFileWrite(u"incbin::test.bin"), nullptr);
}

}  // namespace
}  // namespace vexel
