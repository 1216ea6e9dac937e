// The segment file: 408 bytes, little-endian, no header. The total and the delay as
// IEEE 754 single-precision values, then 20 records of five int32 (end minute, end
// second, start minute, start second, plays). Values are stored bit for bit: nothing
// is range-checked, converted or rounded in either direction.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "framework/afx.h"

constexpr int kSegmentRows = 20;
constexpr size_t kSegmentRecordSize = 5 * 4;
constexpr size_t kSegmentFileSize = 2 * 4 + kSegmentRows * kSegmentRecordSize;  // 408
static_assert(kSegmentFileSize == 408);

// What the file holds, in the dialog's terms; the dialog copies its members in and out.
struct SegmentTable {
  float fTotal = 0.0f;
  float fDelay = 0.0f;
  int32_t nEndMin[kSegmentRows] = {};
  int32_t nEndSec[kSegmentRows] = {};
  int32_t nStartMin[kSegmentRows] = {};
  int32_t nStartSec[kSegmentRows] = {};
  int32_t nLoops[kSegmentRows] = {};
};

std::array<uint8_t, kSegmentFileSize> EncodeSegmentFile(const SegmentTable& table);

// Refuses a buffer shorter than 408 bytes; of a longer one only the first 408 count.
std::optional<SegmentTable> DecodeSegmentFile(std::span<const uint8_t> bytes);

// Reading and writing a segment file on disk. Each returns the text to show the user
// when something went wrong, and an empty text on success.
struct SegmentFileLoad {
  std::optional<SegmentTable> table;  // set on success
  CString message;                    // set on failure
};
SegmentFileLoad LoadSegmentFile(const CString& path);
// Replaces the file as a whole: after a failure the previous file is still intact.
CString SaveSegmentFile(const CString& path, const SegmentTable& table);

// The texts the user sees, kept together here.
// "Cannot open "<path>": <cause>."
CString CannotOpenMessage(const CString& path, const CString& cause);
// "Cannot save "<path>": <cause>."
CString CannotSaveMessage(const CString& path, const CString& cause);
// ""<path>" is not a segment file: it holds 6 bytes, a segment file holds 408."
CString NotASegmentFileMessage(const CString& path, size_t bytesHeld);
