#include "file/segment_file.h"

#include <bit>

#include "framework/file_io.h"

namespace {

// Writes 4-byte little-endian values one after another.
class LittleEndianWriter {
 public:
  explicit LittleEndianWriter(std::span<uint8_t> out) : m_out(out) {}
  void PutU32(uint32_t v) {
    for (int i = 0; i < 4; ++i) m_out[m_pos++] = static_cast<uint8_t>(v >> (8 * i));
  }
  void PutI32(int32_t v) { PutU32(static_cast<uint32_t>(v)); }
  void PutFloat(float v) { PutU32(std::bit_cast<uint32_t>(v)); }

 private:
  std::span<uint8_t> m_out;
  size_t m_pos = 0;
};

// Reads them back; the caller has checked the length.
class LittleEndianReader {
 public:
  explicit LittleEndianReader(std::span<const uint8_t> in) : m_in(in) {}
  uint32_t GetU32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(m_in[m_pos++]) << (8 * i);
    return v;
  }
  int32_t GetI32() { return static_cast<int32_t>(GetU32()); }  // two's complement (C++20)
  float GetFloat() { return std::bit_cast<float>(GetU32()); }

 private:
  std::span<const uint8_t> m_in;
  size_t m_pos = 0;
};

CString Quoted(const CString& path) {
  return CString(u"\"") + path + CString(u"\"");
}

}  // namespace

std::array<uint8_t, kSegmentFileSize> EncodeSegmentFile(const SegmentTable& table) {
  std::array<uint8_t, kSegmentFileSize> out{};
  LittleEndianWriter w(out);
  w.PutFloat(table.fTotal);
  w.PutFloat(table.fDelay);
  for (int r = 0; r < kSegmentRows; ++r) {
    w.PutI32(table.nEndMin[r]);
    w.PutI32(table.nEndSec[r]);
    w.PutI32(table.nStartMin[r]);
    w.PutI32(table.nStartSec[r]);
    w.PutI32(table.nLoops[r]);
  }
  return out;
}

std::optional<SegmentTable> DecodeSegmentFile(std::span<const uint8_t> bytes) {
  if (bytes.size() < kSegmentFileSize) return std::nullopt;
  LittleEndianReader r(bytes.first(kSegmentFileSize));
  SegmentTable table;
  table.fTotal = r.GetFloat();
  table.fDelay = r.GetFloat();
  for (int row = 0; row < kSegmentRows; ++row) {
    table.nEndMin[row] = r.GetI32();
    table.nEndSec[row] = r.GetI32();
    table.nStartMin[row] = r.GetI32();
    table.nStartSec[row] = r.GetI32();
    table.nLoops[row] = r.GetI32();
  }
  return table;
}

SegmentFileLoad LoadSegmentFile(const CString& path) {
  SegmentFileLoad load;
  FileReadResult read = ReadFilePrefix(path, kSegmentFileSize);
  if (!read.ok) {
    load.message = CannotOpenMessage(path, read.cause);
    return load;
  }
  load.table = DecodeSegmentFile(read.bytes);
  if (!load.table) load.message = NotASegmentFileMessage(path, read.bytes.size());
  return load;
}

CString SaveSegmentFile(const CString& path, const SegmentTable& table) {
  const auto bytes = EncodeSegmentFile(table);
  FileWriteResult written = WriteFileAtomically(path, bytes);
  if (!written.ok) return CannotSaveMessage(path, written.cause);
  return CString();
}

CString CannotOpenMessage(const CString& path, const CString& cause) {
  return CString(u"Cannot open ") + Quoted(path) + CString(u": ") + cause + CString(u".");
}

CString CannotSaveMessage(const CString& path, const CString& cause) {
  return CString(u"Cannot save ") + Quoted(path) + CString(u": ") + cause + CString(u".");
}

CString NotASegmentFileMessage(const CString& path, size_t bytesHeld) {
  const CString unit = bytesHeld == 1 ? CString(u" byte") : CString(u" bytes");
  return Quoted(path) + CString(u" is not a segment file: it holds ") +
         IntToString(static_cast<long long>(bytesHeld)) + unit +
         CString(u", a segment file holds ") +
         IntToString(static_cast<long long>(kSegmentFileSize)) + CString(u".");
}
