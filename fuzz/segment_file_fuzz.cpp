// Decodes arbitrary bytes as a segment file. Anything of 408 bytes or more must decode,
// anything shorter must be refused, and writing the table back must give the same
// 408 bytes, so that decode(encode(decode(x))) equals decode(x) bit for bit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "file/segment_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> in(data, size);
  const std::optional<SegmentTable> table = DecodeSegmentFile(in);
  if (table.has_value() != (size >= kSegmentFileSize)) std::abort();
  if (!table) return 0;

  const auto bytes = EncodeSegmentFile(*table);
  if (std::memcmp(bytes.data(), data, kSegmentFileSize) != 0) std::abort();

  const std::optional<SegmentTable> again = DecodeSegmentFile(bytes);
  if (!again) std::abort();
  const auto bytesAgain = EncodeSegmentFile(*again);
  if (bytesAgain != bytes) std::abort();
  return 0;
}
