// Whole-file reading and writing with the cause of a failure in words, for paths
// given as the framework's UTF-16 strings. Standard library and C runtime only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "framework/afx.h"

struct FileReadResult {
  bool ok = false;
  std::vector<uint8_t> bytes;  // on success: the file's first bytes, up to the limit
  CString cause;               // on failure: e.g. "No such file or directory"
};

struct FileWriteResult {
  bool ok = false;
  CString cause;  // on failure: e.g. "Permission denied"
};

// Reads at most maxBytes from the start of the file; a shorter file gives all it holds.
FileReadResult ReadFilePrefix(const CString& path, size_t maxBytes);

// Writes the bytes to "<name>.tmp-XXXXXX" in the target's folder, flushes it to disk,
// then renames it over the target. On any failure the temporary file is removed and the
// previous target file, if any, is left as it was.
FileWriteResult WriteFileAtomically(const CString& path, std::span<const uint8_t> bytes);
