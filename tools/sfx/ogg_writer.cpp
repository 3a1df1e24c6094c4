#include "ogg_writer.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdio>

namespace sfx {

namespace {

// The libvorbis and libogg encoder state, cleared in the reverse order of setting up.
class Encoder {
  public:
    Encoder() {
        vorbis_info_init(&info_);
        vorbis_comment_init(&comment_);
    }
    ~Encoder() {
        if (stream_ready_) ogg_stream_clear(&stream_);
        if (block_ready_) vorbis_block_clear(&block_);
        if (dsp_ready_) vorbis_dsp_clear(&dsp_);
        vorbis_comment_clear(&comment_);
        vorbis_info_clear(&info_);
    }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    bool Start(float quality, std::FILE* out) {
        if (vorbis_encode_init_vbr(&info_, 2, kRate, quality) != 0) return false;
        vorbis_comment_add_tag(&comment_, "ENCODER", "morvelle_sfx");
        if (vorbis_analysis_init(&dsp_, &info_) != 0) return false;
        dsp_ready_ = true;
        if (vorbis_block_init(&dsp_, &block_) != 0) return false;
        block_ready_ = true;
        if (ogg_stream_init(&stream_, 0x4d6f7276) != 0) return false;
        stream_ready_ = true;
        ogg_packet header, comment, codebooks;
        vorbis_analysis_headerout(&dsp_, &comment_, &header, &comment, &codebooks);
        ogg_stream_packetin(&stream_, &header);
        ogg_stream_packetin(&stream_, &comment);
        ogg_stream_packetin(&stream_, &codebooks);
        // The headers end on a page of their own, as decoders expect.
        ogg_page page;
        while (ogg_stream_flush(&stream_, &page) != 0)
            if (!WritePage(page, out)) return false;
        return true;
    }

    // Hands `count` frames to the encoder (0 marks the end) and writes the pages it yields.
    bool Feed(const Stereo& sound, size_t first, size_t count, std::FILE* out) {
        float** buffer = vorbis_analysis_buffer(&dsp_, static_cast<int>(count));
        for (size_t i = 0; i < count; ++i) {
            buffer[0][i] = std::clamp(sound.left[first + i], -1.0f, 1.0f);
            buffer[1][i] = std::clamp(sound.right[first + i], -1.0f, 1.0f);
        }
        vorbis_analysis_wrote(&dsp_, static_cast<int>(count));
        while (vorbis_analysis_blockout(&dsp_, &block_) == 1) {
            vorbis_analysis(&block_, nullptr);
            vorbis_bitrate_addblock(&block_);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp_, &packet) == 1) {
                ogg_stream_packetin(&stream_, &packet);
                ogg_page page;
                while (ogg_stream_pageout(&stream_, &page) != 0)
                    if (!WritePage(page, out)) return false;
            }
        }
        return true;
    }

    bool Finish(std::FILE* out) {
        ogg_page page;
        while (ogg_stream_flush(&stream_, &page) != 0)
            if (!WritePage(page, out)) return false;
        return true;
    }

  private:
    static bool WritePage(const ogg_page& page, std::FILE* out) {
        return std::fwrite(page.header, 1, static_cast<size_t>(page.header_len), out) ==
                   static_cast<size_t>(page.header_len) &&
               std::fwrite(page.body, 1, static_cast<size_t>(page.body_len), out) ==
                   static_cast<size_t>(page.body_len);
    }

    vorbis_info info_;
    vorbis_comment comment_;
    vorbis_dsp_state dsp_;
    vorbis_block block_;
    ogg_stream_state stream_;
    bool dsp_ready_ = false, block_ready_ = false, stream_ready_ = false;
};

// Encodes `sound` into `out`. False, with a message on standard error, when the encoder
// refuses its settings or a write fails.
bool Encode(const std::string& path, const Stereo& sound, float quality, std::FILE* out) {
    Encoder encoder;
    if (!encoder.Start(quality, out)) {
        std::fprintf(stderr, "%s: the Vorbis encoder refused its settings\n", path.c_str());
        return false;
    }
    constexpr size_t kChunk = 4096;
    bool written = true;
    for (size_t first = 0; written && first < sound.size(); first += kChunk)
        written = encoder.Feed(sound, first, std::min(kChunk, sound.size() - first), out);
    written = written && encoder.Feed(sound, 0, 0, out) && encoder.Finish(out);
    if (!written) std::fprintf(stderr, "%s: write failed\n", path.c_str());
    return written;
}

}  // namespace

bool WriteOggVorbis(const std::string& path, const Stereo& sound, float quality) {
    std::FILE* const out = std::fopen(path.c_str(), "wb");
    if (!out) {
        std::perror(path.c_str());
        return false;
    }
    const bool encoded = Encode(path, sound, quality, out);
    // Buffered bytes that do not fit on the disk are refused only when the file is closed.
    const bool closed = std::fclose(out) == 0;
    if (encoded && !closed) std::fprintf(stderr, "%s: write failed\n", path.c_str());
    if (encoded && closed) return true;
    // A partial file would look like a finished one to the build.
    std::remove(path.c_str());
    return false;
}

}  // namespace sfx
