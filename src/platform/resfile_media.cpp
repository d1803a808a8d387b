// Pictures and waves inside resource streams: decoding through SDL's BMP and WAVE loaders (after
// checking every size against the data present), and encoding for the writer.
#include <SDL.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>

#include "platform/resfile_local.h"

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void PutLe16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}
void PutTag(std::vector<uint8_t>& out, const char (&tag)[5]) { out.insert(out.end(), tag, tag + 4); }

struct SurfaceDeleter {
  void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

// A read-only SDL stream over two pieces of memory one after the other, so that a header can be
// put in front of data without copying the data. The stream must not outlive the pieces.
class TwoPieceStream {
public:
  struct Piece {
    const uint8_t* Data;
    size_t Size;
  };
  TwoPieceStream(Piece first, Piece second) : first_(first), second_(second) {}

  // An SDL_RWops reading this stream; closing it frees only the SDL_RWops.
  SDL_RWops* Open() {
    SDL_RWops* rw = SDL_AllocRW();
    if (rw == nullptr) return nullptr;
    rw->type = SDL_RWOPS_UNKNOWN;
    rw->hidden.unknown.data1 = this;
    rw->size = [](SDL_RWops* c) { return static_cast<Sint64>(Of(c).Total()); };
    rw->seek = [](SDL_RWops* c, Sint64 offset, int whence) { return Of(c).Seek(offset, whence); };
    rw->read = [](SDL_RWops* c, void* ptr, size_t size, size_t count) { return Of(c).Read(ptr, size, count); };
    rw->write = [](SDL_RWops*, const void*, size_t, size_t) { return size_t{0}; };
    rw->close = [](SDL_RWops* c) {
      SDL_FreeRW(c);
      return 0;
    };
    return rw;
  }

private:
  static TwoPieceStream& Of(SDL_RWops* rw) { return *static_cast<TwoPieceStream*>(rw->hidden.unknown.data1); }
  size_t Total() const { return first_.Size + second_.Size; }

  Sint64 Seek(Sint64 offset, int whence) {
    const Sint64 base = whence == RW_SEEK_SET ? 0 : whence == RW_SEEK_CUR ? static_cast<Sint64>(pos_)
                                                                           : static_cast<Sint64>(Total());
    if (offset < -base || offset > static_cast<Sint64>(Total()) - base) return SDL_SetError("seek outside the data");
    pos_ = static_cast<size_t>(base + offset);
    return static_cast<Sint64>(pos_);
  }

  size_t Read(void* ptr, size_t size, size_t count) {
    if (size == 0 || count == 0 || pos_ >= Total()) return 0;
    const size_t items = std::min(count, (Total() - pos_) / size);
    uint8_t* out = static_cast<uint8_t*>(ptr);
    for (size_t left = items * size; left > 0;) {
      const bool inFirst = pos_ < first_.Size;
      const Piece& piece = inFirst ? first_ : second_;
      const size_t at = inFirst ? pos_ : pos_ - first_.Size;
      const size_t n = std::min(left, piece.Size - at);
      std::memcpy(out, piece.Data + at, n);
      out += n;
      pos_ += n;
      left -= n;
    }
    return items;
  }

  Piece first_, second_;
  size_t pos_ = 0;
};

// ---------------------------------------------------------------------------------------------
// DIB
// ---------------------------------------------------------------------------------------------

enum : uint32_t { BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3 };
constexpr uint32_t CoreHeaderSize = 12, InfoHeaderSize = 40, FileHeaderSize = 14;
// A run-length picture may expand at most this many pixels per byte of its data.
constexpr uint64_t MaxRlePixelsPerByte = 256;

struct DibLayout {
  int Width = 0, Height = 0;  // Height > 0; TopDown tells the row order
  bool TopDown = false;
  int BitsPerPixel = 0;
  uint32_t Compression = 0;
  size_t PixelOffset = 0;  // where the pixels start, from the start of the DIB
};

[[noreturn]] void DibInvalid(const std::string& sourceName, const std::string& detail) {
  ThrowResError(sourceName, "DIB is invalid (" + detail + ")");
}

bool IsOneOf(int v, std::initializer_list<int> set) {
  for (const int s : set) {
    if (v == s) return true;
  }
  return false;
}

// Checks the header, palette and pixel sizes against the data present and the picture limits.
DibLayout ParseDibLayout(const uint8_t* data, size_t size, const std::string& src) {
  if (size < 4) DibInvalid(src, "no header");
  const uint32_t headerSize = Le32(data);
  if (headerSize != CoreHeaderSize && headerSize != InfoHeaderSize) {
    DibInvalid(src, "header size " + std::to_string(headerSize));
  }
  if (size < headerSize) DibInvalid(src, "short header");

  DibLayout layout;
  int64_t width = 0, height = 0;
  uint32_t compression = BI_RGB;
  uint64_t paletteBytes = 0, maskBytes = 0;
  if (headerSize == CoreHeaderSize) {
    width = Le16(data + 4);
    height = Le16(data + 6);
    layout.BitsPerPixel = Le16(data + 10);
    if (!IsOneOf(layout.BitsPerPixel, {1, 4, 8, 24})) {
      DibInvalid(src, std::to_string(layout.BitsPerPixel) + " bits per pixel");
    }
    if (layout.BitsPerPixel <= 8) paletteBytes = 3ull << layout.BitsPerPixel;
  } else {
    width = static_cast<int32_t>(Le32(data + 4));
    height = static_cast<int32_t>(Le32(data + 8));
    layout.BitsPerPixel = Le16(data + 14);
    compression = Le32(data + 16);
    const uint32_t colorsUsed = Le32(data + 32);
    const int bpp = layout.BitsPerPixel;
    if (!IsOneOf(bpp, {1, 4, 8, 16, 24, 32})) DibInvalid(src, std::to_string(bpp) + " bits per pixel");
    const bool compressionFits = compression == BI_RGB || (compression == BI_RLE8 && bpp == 8) ||
                                 (compression == BI_RLE4 && bpp == 4) ||
                                 (compression == BI_BITFIELDS && (bpp == 16 || bpp == 32));
    if (!compressionFits) {
      DibInvalid(src, "compression " + std::to_string(compression) + " with " + std::to_string(bpp) +
                          " bits per pixel");
    }
    if (bpp <= 8 && colorsUsed > (1u << bpp)) DibInvalid(src, std::to_string(colorsUsed) + " palette colours");
    const uint64_t colors = colorsUsed != 0 ? colorsUsed : (bpp <= 8 ? (1u << bpp) : 0);
    paletteBytes = colors * 4;
    if (compression == BI_BITFIELDS) maskBytes = 12;
  }

  layout.Compression = compression;
  layout.TopDown = height < 0;
  if (layout.TopDown) height = -height;
  if (width <= 0 || height <= 0 || width > MaxPictureSide || height > MaxPictureSide) {
    DibInvalid(src, "size " + std::to_string(width) + "x" + std::to_string(height));
  }
  layout.Width = static_cast<int>(width);
  layout.Height = static_cast<int>(height);

  const uint64_t pixelOffset = headerSize + maskBytes + paletteBytes;
  if (pixelOffset > size) DibInvalid(src, "palette missing");
  layout.PixelOffset = static_cast<size_t>(pixelOffset);
  const uint64_t present = size - pixelOffset;
  const uint64_t area = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (compression == BI_RLE8 || compression == BI_RLE4) {
    if (layout.TopDown) DibInvalid(src, "top-down run-length pixels");
    if (area > present * MaxRlePixelsPerByte) DibInvalid(src, "pixel data missing");
  } else {
    const uint64_t stride = (static_cast<uint64_t>(width) * layout.BitsPerPixel + 31) / 32 * 4;
    if (stride * static_cast<uint64_t>(height) > present) DibInvalid(src, "pixel data missing");
  }
  return layout;
}

// One colour channel of SDL's decoded pixels, analysed once per picture: where it sits and how
// it widens to 8 bits by repeating its bits (5-bit 4 becomes 33, 31 becomes 255).
class ChannelReader {
public:
  explicit ChannelReader(uint32_t mask) : mask_(mask) {
    if (mask == 0) return;
    shift_ = std::countr_zero(mask);
    bits_ = std::popcount(mask >> shift_);
    const uint32_t top = mask >> shift_;
    if (bits_ >= 8 || (top & (top + 1)) != 0) return;  // wide channels, or gaps in the mask
    wide_.resize(size_t{top} + 1);
    for (uint32_t v = 0; v <= top; ++v) wide_[v] = static_cast<uint8_t>(Widen(v));
  }
  uint32_t operator()(uint32_t pixel) const {
    const uint32_t v = (pixel & mask_) >> shift_;
    return wide_.empty() ? Widen(v) : wide_[v];
  }

private:
  uint32_t Widen(uint32_t v) const {
    if (mask_ == 0) return 0;
    if (bits_ >= 8) return v >> (bits_ - 8);
    uint32_t wide = 0;
    int filled = 0;
    for (; filled < 8; filled += bits_) wide = (wide << bits_) | v;
    return wide >> (filled - 8);
  }

  uint32_t mask_ = 0;
  int shift_ = 0, bits_ = 0;
  std::vector<uint8_t> wide_;  // every value of a narrow channel without gaps, widened
};

// Copies SDL's decoded surface to 0x00RRGGBB. Done here rather than with SDL_GetRGB or
// SDL_ConvertSurface because those widen 5- and 6-bit channels as v * 255 / 31 truncated (a 5-bit
// 4 becomes 32), which does not match how other BMP readers widen them. Palette pictures and
// 24-bit pictures (nearly all of the game's) take a direct path.
void CopySurfacePixels(const SDL_Surface* s, TPicture& out) {
  const SDL_PixelFormat* f = s->format;
  const int bpp = f->BytesPerPixel;
  out.Pixels.resize(static_cast<size_t>(out.Width) * out.Height);
  uint32_t* dst = out.Pixels.data();
  const auto rowOf = [s](int y) { return static_cast<const uint8_t*>(s->pixels) + static_cast<size_t>(y) * s->pitch; };

  const bool indexed = f->palette != nullptr;
  std::array<uint32_t, 256> colors{};  // indexes beyond the palette read as black
  for (int i = 0; indexed && i < f->palette->ncolors && i < 256; ++i) {
    const SDL_Color c = f->palette->colors[i];
    colors[i] = (static_cast<uint32_t>(c.r) << 16) | (static_cast<uint32_t>(c.g) << 8) | c.b;
  }
  if (indexed && bpp == 1) {
    for (int y = 0; y < out.Height; y++) {
      const uint8_t* row = rowOf(y);
      for (int x = 0; x < out.Width; x++) *dst++ = colors[row[x]];
    }
    return;
  }
  if (!indexed && bpp == 3 && f->Rmask == 0xFF0000 && f->Gmask == 0xFF00 && f->Bmask == 0xFF) {
    for (int y = 0; y < out.Height; y++) {
      const uint8_t* p = rowOf(y);
      for (int x = 0; x < out.Width; x++, p += 3) {
        *dst++ = (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[0];
      }
    }
    return;
  }
  const ChannelReader red(f->Rmask), green(f->Gmask), blue(f->Bmask);
  for (int y = 0; y < out.Height; y++) {
    const uint8_t* p = rowOf(y);
    for (int x = 0; x < out.Width; x++, p += bpp) {
      uint32_t v = 0;
      for (int i = 0; i < bpp; i++) v |= static_cast<uint32_t>(p[i]) << (8 * i);
      if (indexed) *dst++ = v < colors.size() ? colors[v] : 0;
      else *dst++ = (red(v) << 16) | (green(v) << 8) | blue(v);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// WAVE
// ---------------------------------------------------------------------------------------------

[[noreturn]] void WaveInvalid(const std::string& sourceName, const std::string& detail) {
  ThrowResError(sourceName, "Wave is invalid (" + detail + ")");
}

// Walks the chunks so that SDL never meets a size larger than the data present.
void CheckRiffChunks(const uint8_t* data, size_t size, const std::string& src) {
  if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) {
    WaveInvalid(src, "no RIFF WAVE header");
  }
  const uint64_t riffEnd = 8ull + Le32(data + 4);
  if (riffEnd > size || riffEnd < 12) WaveInvalid(src, "RIFF size does not match the data");
  bool haveFormat = false, haveData = false;
  uint64_t pos = 12;
  while (pos + 8 <= riffEnd) {
    const uint8_t* chunk = data + pos;
    const uint64_t length = Le32(chunk + 4);
    pos += 8;
    if (length > riffEnd - pos) {
      WaveInvalid(src, "chunk \"" + std::string(reinterpret_cast<const char*>(chunk), 4) + "\" runs past the end");
    }
    haveFormat |= std::memcmp(chunk, "fmt ", 4) == 0;
    haveData |= std::memcmp(chunk, "data", 4) == 0;
    pos += length + (length & 1);
  }
  if (!haveFormat || !haveData) WaveInvalid(src, "no format or no data chunk");
}

}  // namespace

TPicture DecodeDib(const uint8_t* data, size_t size, const std::string& sourceName) {
  const DibLayout layout = ParseDibLayout(data, size, sourceName);
  if (size > static_cast<size_t>(INT32_MAX) - FileHeaderSize) DibInvalid(sourceName, "too large");

  // SDL reads BMP files: it is shown the file header, with the pixel offset worked out above,
  // in front of the DIB.
  std::vector<uint8_t> header;
  header.push_back('B');
  header.push_back('M');
  PutLe32(header, static_cast<uint32_t>(FileHeaderSize + size));
  PutLe32(header, 0);
  PutLe32(header, static_cast<uint32_t>(FileHeaderSize + layout.PixelOffset));
  TwoPieceStream stream{{header.data(), header.size()}, {data, size}};
  SDL_RWops* rw = stream.Open();
  if (rw == nullptr) DibInvalid(sourceName, SDL_GetError());
  const SurfacePtr surface(SDL_LoadBMP_RW(rw, 1));
  if (!surface) DibInvalid(sourceName, SDL_GetError());
  if (surface->w != layout.Width || surface->h != layout.Height) DibInvalid(sourceName, "size changed in decoding");

  TPicture picture;
  picture.Width = layout.Width;
  picture.Height = layout.Height;
  picture.BitsPerPixel = layout.BitsPerPixel;
  CopySurfacePixels(surface.get(), picture);
  return picture;
}

bool DecodeDib24To565(const uint8_t* data, size_t size, const std::string& sourceName, TPicture& picture,
                      TPixels565& pixels) {
  const DibLayout layout = ParseDibLayout(data, size, sourceName);
  if (layout.BitsPerPixel != 24 || layout.Compression != BI_RGB) return false;
  const int w = layout.Width, h = layout.Height;
  const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
  pixels.resize(static_cast<size_t>(w) * h + 1);
  for (int y = 0; y < h; ++y) {
    const uint8_t* p = data + layout.PixelOffset + stride * static_cast<size_t>(layout.TopDown ? y : h - 1 - y);
    uint16_t* out = pixels.data() + static_cast<size_t>(y) * w;
    for (int x = 0; x < w; ++x, p += 3) out[x] = RGB565(p[2], p[1], p[0]);
  }
  pixels.back() = 0;
  picture = TPicture{};
  picture.Width = w;
  picture.Height = h;
  picture.BitsPerPixel = 24;
  return true;
}

TWave DecodeRiffWave(const uint8_t* data, size_t size, const std::string& sourceName) {
  CheckRiffChunks(data, size, sourceName);
  if (size > static_cast<size_t>(INT32_MAX)) WaveInvalid(sourceName, "too large");
  SDL_RWops* rw = SDL_RWFromConstMem(data, static_cast<int>(size));
  if (rw == nullptr) WaveInvalid(sourceName, SDL_GetError());
  SDL_AudioSpec format{};
  uint8_t* buffer = nullptr;
  uint32_t length = 0;
  if (SDL_LoadWAV_RW(rw, 1, &format, &buffer, &length) == nullptr) WaveInvalid(sourceName, SDL_GetError());
  TWave wave;
  wave.Channels = format.channels;
  wave.Rate = format.freq;
  wave.Bits = SDL_AUDIO_BITSIZE(format.format);
  wave.Riff.assign(data, data + size);
  wave.Samples.assign(buffer, buffer + length);
  SDL_FreeWAV(buffer);
  return wave;
}

std::vector<uint8_t> EncodeDib24(const TPicture& picture) {
  const int w = picture.Width, h = picture.Height;
  if (w <= 0 || h <= 0 || w > MaxPictureSide || h > MaxPictureSide ||
      picture.Pixels.size() != static_cast<size_t>(w) * h) {
    throw EGameError("EncodeDib24: picture of " + std::to_string(w) + "x" + std::to_string(h) + " with " +
                     std::to_string(picture.Pixels.size()) + " pixels");
  }
  const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~static_cast<size_t>(3);
  std::vector<uint8_t> out;
  out.reserve(InfoHeaderSize + stride * h);
  PutLe32(out, InfoHeaderSize);
  PutLe32(out, static_cast<uint32_t>(w));
  PutLe32(out, static_cast<uint32_t>(h));
  PutLe16(out, 1);   // planes
  PutLe16(out, 24);  // bits per pixel
  PutLe32(out, BI_RGB);
  PutLe32(out, static_cast<uint32_t>(stride * h));
  PutLe32(out, 0);  // pixels per metre, x and y
  PutLe32(out, 0);
  PutLe32(out, 0);  // colours used, important
  PutLe32(out, 0);
  for (int y = h - 1; y >= 0; y--) {
    const uint32_t* row = picture.Pixels.data() + static_cast<size_t>(y) * w;
    for (int x = 0; x < w; x++) {
      out.push_back(static_cast<uint8_t>(row[x]));
      out.push_back(static_cast<uint8_t>(row[x] >> 8));
      out.push_back(static_cast<uint8_t>(row[x] >> 16));
    }
    out.resize(out.size() + (stride - static_cast<size_t>(w) * 3), 0);
  }
  return out;
}

std::vector<uint8_t> MakeRiffWave(int channels, int rate, int bits, const std::vector<uint8_t>& samples) {
  const uint32_t blockAlign = static_cast<uint32_t>(channels) * static_cast<uint32_t>(bits / 8);
  if ((bits != 8 && bits != 16) || channels < 1 || channels > 8 || rate < 1 || rate > 384000 ||
      samples.size() % blockAlign != 0 || samples.size() > UINT32_MAX - 64) {
    throw EGameError("MakeRiffWave: " + std::to_string(channels) + " channels, " + std::to_string(rate) + " Hz, " +
                     std::to_string(bits) + " bits, " + std::to_string(samples.size()) + " bytes");
  }
  const uint32_t dataSize = static_cast<uint32_t>(samples.size());
  const uint32_t pad = dataSize & 1;
  std::vector<uint8_t> out;
  out.reserve(44 + dataSize + pad);
  PutTag(out, "RIFF");
  PutLe32(out, 36 + dataSize + pad);
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  PutLe32(out, 16);
  PutLe16(out, 1);  // PCM
  PutLe16(out, static_cast<uint32_t>(channels));
  PutLe32(out, static_cast<uint32_t>(rate));
  PutLe32(out, static_cast<uint32_t>(rate) * blockAlign);
  PutLe16(out, blockAlign);
  PutLe16(out, static_cast<uint32_t>(bits));
  PutTag(out, "data");
  PutLe32(out, dataSize);
  out.insert(out.end(), samples.begin(), samples.end());
  if (pad != 0) out.push_back(0);
  return out;
}
