// Hand-built resource streams for the reader's tests, byte by byte.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

struct Bytes {
  std::vector<uint8_t> b;

  // Every append goes through one resize and copy.
  Bytes& Append(const void* data, size_t size) {
    if (size == 0) return *this;
    const size_t at = b.size();
    b.resize(at + size);
    std::memcpy(b.data() + at, data, size);
    return *this;
  }
  Bytes& U8(uint32_t v) {
    const uint8_t byte = static_cast<uint8_t>(v);
    return Append(&byte, 1);
  }
  Bytes& U16(uint32_t v) { return U8(v).U8(v >> 8); }
  Bytes& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  Bytes& Raw(std::string_view s) { return Append(s.data(), s.size()); }
  Bytes& Raw(const std::vector<uint8_t>& v) { return Append(v.data(), v.size()); }
  Bytes& Short(std::string_view s) { return U8(static_cast<uint32_t>(s.size())).Raw(s); }

  // A property name and its value, for the common value kinds.
  Bytes& Int8(std::string_view name, int v) { return Short(name).U8(2).U8(static_cast<uint32_t>(v)); }
  Bytes& Int16(std::string_view name, int v) { return Short(name).U8(3).U16(static_cast<uint32_t>(v)); }
  Bytes& Int32(std::string_view name, int64_t v) { return Short(name).U8(4).U32(static_cast<uint32_t>(v)); }
  Bytes& Bool(std::string_view name, bool v) { return Short(name).U8(v ? 9 : 8); }
  Bytes& Ident(std::string_view name, std::string_view v) { return Short(name).U8(7).Short(v); }
  Bytes& Str(std::string_view name, std::string_view v) { return Short(name).U8(6).Short(v); }
  Bytes& Binary(std::string_view name, const std::vector<uint8_t>& v) {
    return Short(name).U8(10).U32(static_cast<uint32_t>(v.size())).Raw(v);
  }
};

// The resource header and signature in front of an object stream body (starting at the root's
// optional prefix byte or class name).
inline std::vector<uint8_t> WrapResource(const std::vector<uint8_t>& object) {
  Bytes out;
  out.U8(0xFF).U16(10).Raw("RES").U8(0).U16(0x1030).U32(static_cast<uint32_t>(object.size() + 4));
  out.Raw("TPF0").Raw(object);
  return out.b;
}

// "Picture.Data" content holding a DIB.
inline std::vector<uint8_t> DibPictureData(const std::vector<uint8_t>& dib) {
  Bytes out;
  out.Short("TDIB").Raw(dib);
  return out.b;
}

// An image list whose one item holds `pictureData` (and nothing else).
inline std::vector<uint8_t> ImageListWithPictureData(const std::vector<uint8_t>& pictureData) {
  Bytes obj;
  obj.Short("TPictureCollectionComponent").Short("").Short("List").U8(14);
  obj.U8(1).Binary("Picture.Data", pictureData).U8(0);
  obj.U8(0).U8(0).U8(0);
  return WrapResource(obj.b);
}

inline TPicture ReadSinglePicture(const std::vector<uint8_t>& file, const std::string& name = "test.dxg") {
  TPictureCollection list;
  ReadImageList(file.data(), file.size(), name, list);
  if (list.Count() != 1) throw EGameError("expected one item");
  return list.Items[0].Picture;
}
