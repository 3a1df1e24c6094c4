#include "pixmap/pixmap_loader.h"

#include <gtest/gtest.h>

#include "stream/memory_stream.h"

namespace vexel {
namespace {

// A loader at the head of the list that the test steers: it records where the stream stood
// and then declines, fails with a stream error, fails otherwise, or answers a 1x1 pixmap.
class ScriptedLoader : public TPixmapLoader {
  public:
    enum class Answer { kDecline, kStreamError, kOtherError, kPixmap };

    PixmapPtr LoadPixmap(TStream& stream) override {
        ++calls;
        seen_position = stream.Pos();
        stream.SkipBytes(1);  // leaves the stream elsewhere for the next loader
        switch (answer) {
            case Answer::kDecline:
                return nullptr;
            case Answer::kStreamError:
                throw TStreamReadException();
            case Answer::kOtherError:
                throw RuntimeError(u"broken loader");
            case Answer::kPixmap:
                return NewPixmap(1, 1, PIXEL_GREY8, 4);
        }
        return nullptr;
    }

    void Reset() {
        answer = Answer::kDecline;
        calls = 0;
        seen_position = -1;
    }

    Answer answer = Answer::kDecline;
    int calls = 0;
    int64_t seen_position = -1;
};

// Two scripted loaders linked once for the whole test program: `first` heads the list.
struct Chain {
    Chain() {
        RegisterPixmapLoader(second);
        RegisterPixmapLoader(first);
    }
    void Reset() {
        first->Reset();
        second->Reset();
    }
    std::shared_ptr<ScriptedLoader> first = std::make_shared<ScriptedLoader>();
    std::shared_ptr<ScriptedLoader> second = std::make_shared<ScriptedLoader>();
};

// Every test starts and ends with both loaders declining, so other tests in this program
// that use the real loaders see them pass straight through.
class LoaderChain : public ::testing::Test {
  protected:
    LoaderChain() : chain(Shared()) { chain.Reset(); }
    ~LoaderChain() override { chain.Reset(); }
    static Chain& Shared() {
        static Chain shared;
        return shared;
    }
    Chain& chain;
};

// A stream that cannot tell its position.
class UnseekableStream : public TStream {
  public:
    int64_t Read(void*, int64_t) override { return 0; }
    int Close() override {
        closed = true;
        return 0;
    }
    bool closed = false;
};

std::shared_ptr<TMemoryStream> SomeBytes() {
    auto stream = TMemoryStream::Create(std::vector<uint8_t>(16, 0x42));
    stream->Seek(3);
    return stream;
}

TEST_F(LoaderChain, NewestLoaderHeadsTheList) {
    EXPECT_EQ(PixmapLoaders(), chain.first);
    EXPECT_EQ(PixmapLoaders()->_succ, chain.second);
}

TEST_F(LoaderChain, EveryLoaderStartsWhereTheStreamStood) {
    chain.second->answer = ScriptedLoader::Answer::kPixmap;
    PixmapPtr pixmap = LoadPixmapFrom(SomeBytes());
    ASSERT_NE(pixmap, nullptr);
    EXPECT_EQ(pixmap->width, 1);
    EXPECT_EQ(chain.first->seen_position, 3);
    EXPECT_EQ(chain.second->seen_position, 3);
}

TEST_F(LoaderChain, FirstAnswerEndsTheSearch) {
    chain.first->answer = ScriptedLoader::Answer::kPixmap;
    EXPECT_NE(LoadPixmapFrom(SomeBytes()), nullptr);
    EXPECT_EQ(chain.second->calls, 0);
}

TEST_F(LoaderChain, StreamErrorsCountAsDeclining) {
    chain.first->answer = ScriptedLoader::Answer::kStreamError;
    chain.second->answer = ScriptedLoader::Answer::kPixmap;
    EXPECT_NE(LoadPixmapFrom(SomeBytes()), nullptr);
    EXPECT_EQ(chain.second->seen_position, 3);
}

TEST_F(LoaderChain, OtherErrorsReachTheCaller) {
    chain.first->answer = ScriptedLoader::Answer::kOtherError;
    EXPECT_THROW(LoadPixmapFrom(SomeBytes()), RuntimeError);
    EXPECT_EQ(chain.second->calls, 0);
}

TEST_F(LoaderChain, NothingToOpenOrSeekIsNull) {
    chain.first->answer = ScriptedLoader::Answer::kPixmap;
    EXPECT_EQ(LoadPixmapFrom(u"/nonexistent/picture.png"), nullptr);
    auto unseekable = std::make_shared<UnseekableStream>();
    EXPECT_EQ(LoadPixmapFrom(unseekable), nullptr);
    EXPECT_EQ(chain.first->calls, 0);
    EXPECT_FALSE(unseekable->closed);  // the caller's stream stays open
}

}  // namespace
}  // namespace vexel
