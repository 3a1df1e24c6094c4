#pragma once

#include <cstdint>
#include <vector>

#include "stream/stream.h"
#include "stream/url.h"

namespace vexel {

// Every byte of the url until end of data. TStreamReadException when it cannot be opened.
std::vector<uint8_t> LoadBytesFrom(const Url& url);
// Writes all bytes, then closes. TStreamWriteException when it cannot be opened, when a write
// fails, or when closing shows that bytes did not reach the file (a full disk); the save
// helpers below report failures the same way. A file path is replaced all or nothing (see
// durable_save.h): while the save runs, and after it fails, a reader sees the old file. A
// link durable_save.h refuses, or a FIFO that nobody reads, fails at the open, without
// waiting.
void SaveBytesTo(const std::vector<uint8_t>& bytes, const Url& url);
// As LoadBytesFrom / SaveBytesTo with one character per byte.
// @{
String LoadByteString(const Url& url);
void SaveByteString(const String& text, const Url& url);
// @}
// An object read with the stream's ReadObject, or written with WriteObject, then closed.
// @{
ObjectPtr LoadObjectFrom(const Url& url);
void SaveObjectTo(const ObjectPtr& object, const Url& url);
// @}

// Copies until `from` is at end of data, `buffer_size` bytes per Read at most.
void CopyStreamData(TStream& from, TStream& to, int64_t buffer_size = 4096);
// Copies exactly `count` bytes (short reads throw).
void CopyStreamBytes(TStream& from, TStream& to, int64_t count, int64_t buffer_size = 4096);

}  // namespace vexel
