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
// A 24-bit uncompressed DIB straight into the surface format: `pixels` gets the rows top first and
// one spare pixel, `picture` only the size and depth. Returns false, touching neither, for other
// kinds of DIB (DecodeDib reads them); throws as DecodeDib for a damaged one.
bool DecodeDib24To565(const uint8_t* data, size_t size, const std::string& sourceName, TPicture& picture,
                      TPixels565& pixels);
// A complete RIFF WAVE image; the result keeps the image in Riff and the PCM data in Samples.
TWave DecodeRiffWave(const uint8_t* data, size_t size, const std::string& sourceName);

[[noreturn]] void ThrowResError(const std::string& sourceName, const std::string& problem);
