#include "wav_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>

namespace sfx {
namespace {

void PutLE(std::string& bytes, uint32_t value, int count) {
    for (int i = 0; i < count; ++i)
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

bool WriteMonoWav(const std::string& path, const Stereo& sound) {
    const uint32_t data_bytes = static_cast<uint32_t>(sound.size() * 2);
    std::string bytes = "RIFF";
    PutLE(bytes, 36 + data_bytes, 4);
    bytes += "WAVEfmt ";
    PutLE(bytes, 16, 4);         // size of the format chunk
    PutLE(bytes, 1, 2);          // PCM
    PutLE(bytes, 1, 2);          // one channel
    PutLE(bytes, kRate, 4);      // frames per second
    PutLE(bytes, kRate * 2, 4);  // bytes per second
    PutLE(bytes, 2, 2);          // bytes per frame
    PutLE(bytes, 16, 2);         // bits per sample
    bytes += "data";
    PutLE(bytes, data_bytes, 4);
    for (const float sample : sound.left) {
        const auto value =
            static_cast<int16_t>(std::lround(std::clamp(sample, -1.0f, 1.0f) * 32767.0f));
        PutLE(bytes, static_cast<uint16_t>(value), 2);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace sfx
