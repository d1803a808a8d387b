// Shared between the resource-stream reader/writer and the picture and wave codecs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"

// Largest picture side accepted from a file or written to one.
constexpr int MaxPictureSide = 16384;

// Both decoders throw EGameError "<sourceName>: <problem>" and never allocate more than the
// input can justify.

// A Windows DIB without its 14-byte file header (header size 40 or 12).
TPicture DecodeDib(const uint8_t* data, size_t size, const std::string& sourceName);
// A complete RIFF WAVE image; the result keeps the image in Riff and the PCM data in Samples.
TWave DecodeRiffWave(const uint8_t* data, size_t size, const std::string& sourceName);

[[noreturn]] void ThrowResError(const std::string& sourceName, const std::string& problem);
