// Text decoding over arbitrary bytes: LoadTextFile with its byte-order-mark detection, and
// ReadLine, ReadChar, the hex Read and the number reads of a text stream in every encoding.
// Encodings without lossy steps must write back exactly the bytes they decoded.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "stream/bank_stream.h"
#include "stream/memory_stream.h"
#include "stream/text_stream.h"

namespace {

using vexel::TTextStream;

std::shared_ptr<vexel::TMemoryStream> Over(std::span<const uint8_t> bytes) {
    return vexel::TMemoryStream::CreateBorrowed(bytes, nullptr);
}

// Runs `read` until end of data; a short character or a malformed hex line end is the
// expected way for malformed input to stop.
template <typename Read>
void UntilEnd(TTextStream& stream, Read read) {
    try {
        while (!stream.Eof())
            read();
    } catch (const vexel::TStreamReadException&) {
    } catch (const vexel::StringException& e) {
        if (e.ToString() != u"Malformed line terminator") std::abort();
    }
}

void LoadWholeText(std::span<const uint8_t> bytes) {
    vexel::String text;
    try {
        text = vexel::LoadTextFile(Over(bytes));
    } catch (const vexel::TStreamReadException&) {
        return;  // a UTF-16 text with an odd byte at the end
    }
    const bool marked =
        bytes.size() >= 2 &&
        ((bytes[0] == 0xFE && bytes[1] == 0xFF) || (bytes[0] == 0xFF && bytes[1] == 0xFE) ||
         (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF));
    // Unmarked text is Latin-1, one character per byte.
    if (!marked &&
        text != vexel::FromBytes({reinterpret_cast<const char*>(bytes.data()), bytes.size()})) {
        std::abort();
    }
}

// Decoding every character and encoding it again gives the same bytes in the encodings
// that map bytes to code units one to one.
void RoundTrip(std::span<const uint8_t> bytes, int32_t encoding) {
    const bool wide = encoding == TTextStream::UTF16BE || encoding == TTextStream::UTF16LE;
    if (wide && bytes.size() % 2 != 0) return;
    const vexel::String text = TTextStream::Create(Over(bytes), encoding)->ReadFile();
    auto bank = vexel::TBankStream::Create();
    TTextStream::Create(bank, encoding)->WriteString(text);
    if (!std::equal(bytes.begin(), bytes.end(), bank->Bytes().begin(), bank->Bytes().end())) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    LoadWholeText(bytes);
    for (int32_t encoding = TTextStream::LATIN1; encoding <= TTextStream::UTF16LE; ++encoding) {
        auto lines = TTextStream::Create(Over(bytes), encoding);
        UntilEnd(*lines, [&] { lines->ReadLine(); });
        auto chars = TTextStream::Create(Over(bytes), encoding);
        UntilEnd(*chars, [&] { chars->ReadChar(); });
        auto hex = TTextStream::Create(Over(bytes), encoding);
        uint8_t raw[40];
        UntilEnd(*hex, [&] { hex->Read(raw, sizeof raw); });
        // Mixed: hex lines followed by text force the line-end checks between them.
        auto mixed = TTextStream::Create(Over(bytes), encoding);
        int step = 0;
        UntilEnd(*mixed, [&] {
            switch (step++ % 5) {
                case 0:
                    mixed->Read(raw, 1 + step % 37);
                    break;
                case 1:
                    mixed->ReadLine();
                    break;
                case 2:
                    mixed->ReadInt();
                    break;
                case 3:
                    mixed->ReadDouble();
                    break;
                default:
                    mixed->ReadChar();
                    break;
            }
        });
        if (encoding != TTextStream::UTF8) RoundTrip(bytes, encoding);
    }
    return 0;
}
