// Image-list and sound-list files: a resource header, then a "TPF0" object stream holding one
// collection component whose "List" property is the collection of items.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string_view>

#include "platform/resfile_local.h"

namespace {

constexpr std::string_view ImageListClass = "TPictureCollectionComponent";
constexpr std::string_view WaveListClass = "TWaveCollectionComponent";
constexpr std::string_view DibClass = "TDIB";
constexpr uint16_t ResourceFlags = 0x1030;  // moveable, pure, discardable
constexpr size_t ColorTableSize = 1024;
constexpr int MaxNesting = 32;                        // lists inside lists when skipping values
constexpr int32_t MaxPatternValue = MaxPictureSide;   // pattern sizes and skips
constexpr size_t MaxFileSize = size_t{1} << 30;

// Value tags of the object stream.
enum TValueType : uint8_t {
  vaNull = 0, vaList = 1, vaInt8 = 2, vaInt16 = 3, vaInt32 = 4, vaExtended = 5, vaString = 6,
  vaIdent = 7, vaFalse = 8, vaTrue = 9, vaBinary = 10, vaSet = 11, vaLString = 12, vaNil = 13,
  vaCollection = 14, vaSingle = 15, vaCurrency = 16, vaDate = 17, vaWString = 18, vaInt64 = 19,
  vaUTF8String = 20, vaDouble = 21,
};

struct ColorName {
  std::string_view Name;
  uint32_t Value;  // 0x00BBGGRR; system colours 0xFF0000nn
};
constexpr ColorName ColorNames[] = {
    {"clBlack", 0x000000},       {"clMaroon", 0x000080},     {"clGreen", 0x008000},
    {"clOlive", 0x008080},       {"clNavy", 0x800000},       {"clPurple", 0x800080},
    {"clTeal", 0x808000},        {"clGray", 0x808080},       {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},         {"clLime", 0x00FF00},       {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},        {"clFuchsia", 0xFF00FF},    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},       {"clMoneyGreen", 0xC0DCC0}, {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},       {"clMedGray", 0xA4A0A0},    {"clNone", 0x1FFFFFFF},
    {"clDefault", 0x20000000},   {"clLtGray", 0xC0C0C0},     {"clDkGray", 0x808080},
    {"clScrollBar", 0xFF000000}, {"clBackground", 0xFF000001}, {"clActiveCaption", 0xFF000002},
    {"clInactiveCaption", 0xFF000003}, {"clMenu", 0xFF000004}, {"clWindow", 0xFF000005},
    {"clWindowFrame", 0xFF000006}, {"clMenuText", 0xFF000007}, {"clWindowText", 0xFF000008},
    {"clCaptionText", 0xFF000009}, {"clActiveBorder", 0xFF00000A}, {"clInactiveBorder", 0xFF00000B},
    {"clAppWorkSpace", 0xFF00000C}, {"clHighlight", 0xFF00000D}, {"clHighlightText", 0xFF00000E},
    {"clBtnFace", 0xFF00000F},   {"clBtnShadow", 0xFF000010}, {"clGrayText", 0xFF000011},
    {"clBtnText", 0xFF000012},   {"clInactiveCaptionText", 0xFF000013}, {"clBtnHighlight", 0xFF000014},
    {"cl3DDkShadow", 0xFF000015}, {"cl3DLight", 0xFF000016}, {"clInfoText", 0xFF000017},
    {"clInfoBk", 0xFF000018},    {"clHotLight", 0xFF00001A}, {"clGradientActiveCaption", 0xFF00001B},
    {"clGradientInactiveCaption", 0xFF00001C}, {"clMenuHighlight", 0xFF00001D}, {"clMenuBar", 0xFF00001E},
};

// Identifiers and property names compare without regard to case, as the stream's readers do.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

const ColorName* FindColorByName(std::string_view name) {
  for (const ColorName& c : ColorNames) {
    if (SameName(c.Name, name)) return &c;
  }
  return nullptr;
}

const ColorName* FindColorByValue(uint32_t value) {
  for (const ColorName& c : ColorNames) {
    if (c.Value == value) return &c;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------------------------

struct ByteSpan {
  const uint8_t* Data = nullptr;
  size_t Size = 0;
};

class StreamReader {
public:
  StreamReader(const uint8_t* data, size_t size, const std::string& sourceName)
      : data_(data), size_(size), source_(sourceName) {}

  const std::string& Source() const { return source_; }
  size_t Remaining() const { return size_ - pos_; }

  [[noreturn]] void Fail(const std::string& problem) const { ThrowResError(source_, problem); }
  [[noreturn]] void FailFormat(const std::string& detail) const {
    Fail("Invalid stream format (" + detail + ")");
  }
  [[noreturn]] void FailValue(std::string_view property, uint8_t tag) const {
    Fail("Invalid property value \"" + std::string(property) + "\" (value tag " + std::to_string(tag) + ")");
  }

  const uint8_t* Take(size_t n) {
    if (n > Remaining()) {
      Fail("Stream read error (" + std::to_string(n) + " bytes needed at offset " + std::to_string(pos_) +
           ", " + std::to_string(Remaining()) + " left)");
    }
    const uint8_t* p = data_ + pos_;
    pos_ += n;
    return p;
  }
  uint8_t U8() { return *Take(1); }
  uint8_t PeekU8() {
    const uint8_t v = *Take(1);
    pos_--;
    return v;
  }
  uint16_t U16() {
    const uint8_t* p = Take(2);
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
  }
  uint32_t U32() {
    const uint8_t* p = Take(4);
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
  }
  std::string Text(size_t length) {
    const uint8_t* p = Take(length);
    return std::string(reinterpret_cast<const char*>(p), length);
  }
  std::string ShortText() { return Text(U8()); }

  // Typed property values. Each takes the value's tag, already read.
  int32_t Integer(std::string_view property, uint8_t tag) {
    switch (tag) {
      case vaInt8: return static_cast<int8_t>(U8());
      case vaInt16: return static_cast<int16_t>(U16());
      case vaInt32: return static_cast<int32_t>(U32());
      default: FailValue(property, tag);
    }
  }
  int32_t BoundedInteger(std::string_view property, uint8_t tag, int32_t lowest, int32_t highest) {
    const int32_t v = Integer(property, tag);
    if (v < lowest || v > highest) {
      Fail("Invalid property value \"" + std::string(property) + "\" (" + std::to_string(v) + ")");
    }
    return v;
  }
  bool Boolean(std::string_view property, uint8_t tag) {
    if (tag == vaFalse || tag == vaTrue) return tag == vaTrue;
    if (tag == vaIdent) {
      const std::string ident = ShortText();
      if (SameName(ident, "False") || SameName(ident, "True")) return SameName(ident, "True");
    }
    FailValue(property, tag);
  }
  std::string String(std::string_view property, uint8_t tag) {
    if (tag == vaString) return ShortText();
    if (tag == vaLString) return Text(U32());
    FailValue(property, tag);
  }
  uint32_t Color(std::string_view property, uint8_t tag) {
    if (tag != vaIdent) return static_cast<uint32_t>(Integer(property, tag));
    const std::string ident = ShortText();
    const ColorName* c = FindColorByName(ident);
    if (c == nullptr) Fail("Invalid property value \"" + std::string(property) + "\" (" + ident + ")");
    return c->Value;
  }
  // A binary block; nil reads as an empty one.
  ByteSpan Binary(std::string_view property, uint8_t tag) {
    if (tag == vaNil) return {};
    if (tag != vaBinary) FailValue(property, tag);
    const uint32_t length = U32();
    return ByteSpan{Take(length), length};
  }

  // Steps over a value of a property this reader does not use.
  void SkipValue(uint8_t tag, int depth = 0) {
    if (depth > MaxNesting) FailFormat("values nested too deeply");
    switch (tag) {
      case vaList:
        for (uint8_t t = U8(); t != vaNull; t = U8()) SkipValue(t, depth + 1);
        return;
      case vaInt8: Take(1); return;
      case vaInt16: Take(2); return;
      case vaInt32: case vaSingle: Take(4); return;
      case vaCurrency: case vaDate: case vaInt64: case vaDouble: Take(8); return;
      case vaExtended: Take(10); return;
      case vaString: case vaIdent: Take(U8()); return;
      case vaFalse: case vaTrue: case vaNil: return;
      case vaBinary: case vaLString: case vaUTF8String: Take(U32()); return;
      case vaWString: Take(static_cast<size_t>(U32()) * 2); return;
      case vaSet:
        for (uint8_t length = U8(); length != 0; length = U8()) Take(length);  // names until an empty one
        return;
      case vaCollection:
        ReadCollection("", [&] { SkipProperties(depth + 1); });
        return;
      default: FailValue("", tag);
    }
  }
  void SkipProperties(int depth) {
    for (std::string name = ShortText(); !name.empty(); name = ShortText()) SkipValue(U8(), depth);
  }

  // Reads property names and their tags until the list's end, handing each to `onProperty`.
  void ReadProperties(const std::function<void(const std::string& name, uint8_t tag)>& onProperty) {
    for (std::string name = ShortText(); !name.empty(); name = ShortText()) onProperty(name, U8());
  }

  // Collection items until tag 0: an optional order index, tag 1, the item's properties.
  void ReadCollection(std::string_view property, const std::function<void()>& readItem) {
    for (uint8_t tag = U8(); tag != vaNull; tag = U8()) {
      if (tag == vaInt8 || tag == vaInt16 || tag == vaInt32) {
        Integer(property, tag);  // order index, not used
        tag = U8();
      }
      if (tag != vaList) FailValue(property, tag);
      readItem();
    }
  }

private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  const std::string& source_;
};

// The resource header, the signature and the root object's class; returns after the root's
// object name, where its properties start.
void ReadRootHeader(StreamReader& in, std::string_view expectedClass) {
  if (in.Remaining() < 3 || in.U8() != 0xFF || in.U16() != 10) in.Fail("Invalid stream format");
  while (in.U8() != 0) {
  }
  in.U16();  // flags
  in.U32();  // size
  if (in.Remaining() < 4 || std::memcmp(in.Take(4), "TPF0", 4) != 0) in.Fail("Invalid stream format");
  if ((in.PeekU8() & 0xF0) == 0xF0) {
    const uint8_t flags = in.U8() & 0x0F;
    if (flags & 2) in.Integer("child position", in.U8());
  }
  const std::string className = in.ShortText();
  if (!SameName(className, expectedClass)) {
    in.FailFormat("root class \"" + className + "\", expected " + std::string(expectedClass));
  }
  in.ShortText();  // object name
}

void ReadRootEnd(StreamReader& in) {
  if (in.U8() != 0) in.FailFormat("child objects in a collection component");
}

// The DIB inside a "Picture.Data" block; empty when the block holds no picture.
ByteSpan DibOf(StreamReader& in, ByteSpan block) {
  if (block.Size == 0) return {};
  const size_t classLength = block.Data[0];
  if (classLength + 1 > block.Size) in.Fail("Invalid property value \"Picture.Data\" (class name cut off)");
  const std::string_view className(reinterpret_cast<const char*>(block.Data + 1), classLength);
  if (className.empty()) return {};
  if (!SameName(className, DibClass)) {
    in.Fail("Invalid property value \"Picture.Data\" (picture class " + std::string(className) + " not supported)");
  }
  return ByteSpan{block.Data + 1 + classLength, block.Size - 1 - classLength};
}

// Reads an item's properties. For the surface, a 24-bit picture goes straight to the surface
// format, any other is decoded and prepared; either way the decoded source is not kept.
void ReadPictureItem(StreamReader& in, TPictureCollectionItem& item, TPictureKeeping keeping) {
  TPixels565 direct;
  in.ReadProperties([&](const std::string& name, uint8_t tag) {
    if (SameName(name, "Name")) item.Name = in.String(name, tag);
    else if (SameName(name, "PatternWidth")) item.PatternWidth = in.BoundedInteger(name, tag, INT32_MIN, MaxPatternValue);
    else if (SameName(name, "PatternHeight")) item.PatternHeight = in.BoundedInteger(name, tag, INT32_MIN, MaxPatternValue);
    else if (SameName(name, "SkipWidth")) item.SkipWidth = in.BoundedInteger(name, tag, 0, MaxPatternValue);
    else if (SameName(name, "SkipHeight")) item.SkipHeight = in.BoundedInteger(name, tag, 0, MaxPatternValue);
    else if (SameName(name, "SystemMemory")) item.SystemMemory = in.Boolean(name, tag);
    else if (SameName(name, "Transparent")) item.Transparent = in.Boolean(name, tag);
    else if (SameName(name, "TransparentColor")) item.TransparentColor = in.Color(name, tag);
    else if (SameName(name, "Picture.Data")) {
      const ByteSpan dib = DibOf(in, in.Binary(name, tag));
      direct = {};
      if (dib.Size == 0) item.Picture = {};
      else if (keeping == TPictureKeeping::Source || !DecodeDib24To565(dib.Data, dib.Size, in.Source(), item.Picture, direct))
        item.Picture = DecodeDib(dib.Data, dib.Size, in.Source());
    } else {
      in.SkipValue(tag);
    }
  });
  if (keeping == TPictureKeeping::Source) return;
  if (!direct.empty()) {
    item.PrepareFrom565(std::move(direct));
  } else {
    item.Prepare();
    item.ReleaseSource();
  }
}

void ReadWaveItem(StreamReader& in, TWaveCollectionItem& item) {
  in.ReadProperties([&](const std::string& name, uint8_t tag) {
    if (SameName(name, "Name")) item.Name = in.String(name, tag);
    else if (SameName(name, "Looped")) item.Looped = in.Boolean(name, tag);
    else if (SameName(name, "MaxPlayingCount")) item.MaxPlayingCount = in.Integer(name, tag);
    else if (SameName(name, "Wave.WAVE")) {
      const ByteSpan block = in.Binary(name, tag);
      item.Wave = block.Size == 0 ? TWave{} : DecodeRiffWave(block.Data, block.Size, in.Source());
    } else {
      in.SkipValue(tag);
    }
  });
}

// The root's "List": reading it first empties the list.
template <typename Item, typename ReadItem>
void ReadItemList(StreamReader& in, std::string_view property, uint8_t tag, std::vector<Item>& items,
                  const ReadItem& readItem) {
  if (tag != vaCollection) in.FailValue(property, tag);
  items.clear();
  in.ReadCollection(property, [&] { readItem(in, items.emplace_back()); });
}

// ---------------------------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------------------------

class StreamWriter {
public:
  std::vector<uint8_t> Bytes;

  void U8(uint8_t v) { Bytes.push_back(v); }
  void U16(uint32_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void Raw(const void* data, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    Bytes.insert(Bytes.end(), p, p + n);
  }
  void ShortText(std::string_view s) {
    U8(static_cast<uint8_t>(s.size()));
    Raw(s.data(), s.size());
  }

  void IntegerValue(int32_t v) {
    if (v >= INT8_MIN && v <= INT8_MAX) {
      U8(vaInt8);
      U8(static_cast<uint8_t>(v));
    } else if (v >= INT16_MIN && v <= INT16_MAX) {
      U8(vaInt16);
      U16(static_cast<uint16_t>(v));
    } else {
      U8(vaInt32);
      U32(static_cast<uint32_t>(v));
    }
  }
  void Integer(std::string_view name, int32_t v) {
    ShortText(name);
    IntegerValue(v);
  }
  void Boolean(std::string_view name, bool v) {
    ShortText(name);
    U8(v ? vaTrue : vaFalse);
  }
  void String(std::string_view name, std::string_view v) {
    ShortText(name);
    if (v.size() <= 255) {
      U8(vaString);
      ShortText(v);
    } else {
      U8(vaLString);
      U32(static_cast<uint32_t>(v.size()));
      Raw(v.data(), v.size());
    }
  }
  void Color(std::string_view name, uint32_t v) {
    if (const ColorName* c = FindColorByValue(v)) {
      ShortText(name);
      U8(vaIdent);
      ShortText(c->Name);
    } else {
      Integer(name, static_cast<int32_t>(v));
    }
  }
  void Binary(std::string_view name, const std::vector<uint8_t>& v) {
    ShortText(name);
    U8(vaBinary);
    U32(static_cast<uint32_t>(v.size()));
    Raw(v.data(), v.size());
  }
  void Binary(std::string_view name, const std::vector<uint8_t>& head, const std::vector<uint8_t>& body) {
    ShortText(name);
    U8(vaBinary);
    U32(static_cast<uint32_t>(head.size() + body.size()));
    Raw(head.data(), head.size());
    Raw(body.data(), body.size());
  }
};

// The resource header in front of the object stream, then the root object around `writeBody`.
std::vector<uint8_t> WriteResource(std::string_view rootClass, const std::function<void(StreamWriter&)>& writeBody) {
  StreamWriter stream;
  stream.Raw("TPF0", 4);
  stream.ShortText(rootClass);
  stream.ShortText("");  // object name
  writeBody(stream);
  stream.U8(0);  // end of the root's properties
  stream.U8(0);  // no child objects
  if (stream.Bytes.size() > UINT32_MAX) throw EGameError("resource stream larger than 4 GiB");

  StreamWriter out;
  out.U8(0xFF);
  out.U16(10);
  for (const char c : rootClass) out.U8(static_cast<uint8_t>((c >= 'a' && c <= 'z') ? c - 32 : c));
  out.U8(0);
  out.U16(ResourceFlags);
  out.U32(static_cast<uint32_t>(stream.Bytes.size()));
  out.Raw(stream.Bytes.data(), stream.Bytes.size());
  return std::move(out.Bytes);
}

void WritePictureItem(StreamWriter& out, const TPictureCollectionItem& item) {
  out.String("Name", item.Name);
  out.Integer("PatternHeight", item.PatternHeight);
  out.Integer("PatternWidth", item.PatternWidth);
  if (item.SourceReleased()) {
    throw EGameError("image list item \"" + item.Name + "\": its picture was freed after preparation");
  }
  if (!item.Picture.Empty()) {
    std::vector<uint8_t> className;
    className.push_back(static_cast<uint8_t>(DibClass.size()));
    className.insert(className.end(), DibClass.begin(), DibClass.end());
    out.Binary("Picture.Data", className, EncodeDib24(item.Picture));
  }
  out.Integer("SkipHeight", item.SkipHeight);
  out.Integer("SkipWidth", item.SkipWidth);
  out.Boolean("SystemMemory", item.SystemMemory);
  out.Boolean("Transparent", item.Transparent);
  out.Color("TransparentColor", item.TransparentColor);
}

void WriteWaveItem(StreamWriter& out, const TWaveCollectionItem& item) {
  out.Boolean("Looped", item.Looped);
  out.Integer("MaxPlayingCount", item.MaxPlayingCount);
  out.String("Name", item.Name);
  const TWave& w = item.Wave;
  if (!w.Riff.empty()) {
    out.Binary("Wave.WAVE", w.Riff);
  } else if (!w.Samples.empty()) {
    out.Binary("Wave.WAVE", MakeRiffWave(w.Channels, w.Rate, w.Bits, w.Samples));
  }
}

template <typename Item>
void WriteItemList(StreamWriter& out, const std::vector<Item>& items, void (*writeItem)(StreamWriter&, const Item&)) {
  out.ShortText("List");
  out.U8(vaCollection);
  for (const Item& item : items) {
    out.U8(vaList);
    writeItem(out, item);
    out.U8(0);
  }
  out.U8(vaNull);
}

std::string ErrnoText() { return std::strerror(errno); }

// A regular file opened for reading; throws EGameError naming it otherwise.
class TOpenFile {
public:
  explicit TOpenFile(const std::string& path) {
    // Without blocking: a FIFO or a device by the file's name is refused below, not waited on.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) ThrowResError(path, "cannot open file (" + ErrnoText() + ")");
    struct stat st {};
    if (::fstat(fd_, &st) != 0) Fail(path, "cannot read file (" + ErrnoText() + ")");
    if (!S_ISREG(st.st_mode)) Fail(path, "not a regular file");
    if (static_cast<uint64_t>(st.st_size) > MaxFileSize) Fail(path, "file too large");
    size_ = static_cast<size_t>(st.st_size);
  }
  ~TOpenFile() { ::close(fd_); }
  TOpenFile(const TOpenFile&) = delete;
  TOpenFile& operator=(const TOpenFile&) = delete;
  int Descriptor() const { return fd_; }
  size_t Size() const { return size_; }

private:
  [[noreturn]] void Fail(const std::string& path, const std::string& problem) {
    ::close(fd_);
    ThrowResError(path, problem);
  }
  int fd_ = -1;
  size_t size_ = 0;
};

// A file's bytes mapped read-only, so that they are read from the page cache without a copy.
class TMappedFile {
public:
  explicit TMappedFile(const std::string& path) {
    const TOpenFile file(path);
    size_ = file.Size();
    if (size_ == 0) return;
    void* const bytes = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, file.Descriptor(), 0);
    if (bytes == MAP_FAILED) ThrowResError(path, "cannot read file (" + ErrnoText() + ")");
    data_ = static_cast<const uint8_t*>(bytes);
  }
  ~TMappedFile() {
    if (data_ != nullptr) ::munmap(const_cast<uint8_t*>(data_), size_);
  }
  TMappedFile(const TMappedFile&) = delete;
  TMappedFile& operator=(const TMappedFile&) = delete;
  const uint8_t* Data() const { return data_; }
  size_t Size() const { return size_; }

private:
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace

void ThrowResError(const std::string& sourceName, const std::string& problem) {
  throw EGameError(sourceName + ": " + problem);
}

void ReadImageList(const uint8_t* data, size_t size, const std::string& sourceName, TPictureCollection& out,
                   TPictureKeeping keeping) {
  StreamReader in(data, size, sourceName);
  TPictureCollection list;
  ReadRootHeader(in, ImageListClass);
  in.ReadProperties([&](const std::string& name, uint8_t tag) {
    if (SameName(name, "List.ColorTable")) {
      const ByteSpan table = in.Binary(name, tag);
      if (table.Size != ColorTableSize) {
        in.Fail("Invalid property value \"List.ColorTable\" (" + std::to_string(table.Size) + " bytes)");
      }
      std::memcpy(list.ColorTable.data(), table.Data, ColorTableSize);
      list.HasColorTable = true;
    } else if (SameName(name, "List")) {
      ReadItemList(in, name, tag, list.Items,
                   [keeping](StreamReader& r, TPictureCollectionItem& item) { ReadPictureItem(r, item, keeping); });
    } else {
      in.SkipValue(tag);
    }
  });
  ReadRootEnd(in);
  out = std::move(list);
}

void ReadWaveList(const uint8_t* data, size_t size, const std::string& sourceName, TWaveCollection& out) {
  StreamReader in(data, size, sourceName);
  TWaveCollection list;
  ReadRootHeader(in, WaveListClass);
  in.ReadProperties([&](const std::string& name, uint8_t tag) {
    if (SameName(name, "List")) {
      ReadItemList(in, name, tag, list.Items, &ReadWaveItem);
    } else {
      in.SkipValue(tag);
    }
  });
  ReadRootEnd(in);
  out = std::move(list);
}

void ReadImageListFile(const std::string& path, TPictureCollection& out, TPictureKeeping keeping) {
  const TMappedFile file(path);
  ReadImageList(file.Data(), file.Size(), path, out, keeping);
}

void ReadWaveListFile(const std::string& path, TWaveCollection& out) {
  const TMappedFile file(path);
  ReadWaveList(file.Data(), file.Size(), path, out);
}

std::vector<uint8_t> WriteImageList(const TPictureCollection& list) {
  return WriteResource(ImageListClass, [&](StreamWriter& out) {
    out.Binary("List.ColorTable", std::vector<uint8_t>(list.ColorTable.begin(), list.ColorTable.end()));
    WriteItemList(out, list.Items, &WritePictureItem);
  });
}

std::vector<uint8_t> WriteWaveList(const TWaveCollection& list) {
  return WriteResource(WaveListClass, [&](StreamWriter& out) { WriteItemList(out, list.Items, &WriteWaveItem); });
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  const TOpenFile file(path);
  std::vector<uint8_t> bytes(file.Size());
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::read(file.Descriptor(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowResError(path, "cannot read file (" + ErrnoText() + ")");
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

void WriteFileAtomic(const std::string& path, const std::vector<uint8_t>& bytes) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  std::string temp = path + ".tmp.XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) ThrowResError(path, "cannot create file (" + ErrnoText() + ")");
  const auto fail = [&](const std::string& what) {
    const std::string reason = ErrnoText();
    ::close(fd);
    ::unlink(temp.c_str());
    ThrowResError(path, what + " (" + reason + ")");
  };
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail("cannot write file");
    done += static_cast<size_t>(n);
  }
  if (::fchmod(fd, 0644) != 0) fail("cannot write file");
  if (::fsync(fd) != 0) fail("cannot write file");
  if (::close(fd) != 0) {
    const std::string reason = ErrnoText();
    ::unlink(temp.c_str());
    ThrowResError(path, "cannot write file (" + reason + ")");
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const std::string reason = ErrnoText();
    ::unlink(temp.c_str());
    ThrowResError(path, "cannot replace file (" + reason + ")");
  }
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}
