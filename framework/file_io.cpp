#include "framework/file_io.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

// The thin layer over the C runtime's descriptor calls, which differ in name only.
#ifdef _WIN32
fs::path NativePath(const CString& path) {
  return fs::path(std::wstring(path.Str().begin(), path.Str().end()));
}
int OpenForReading(const fs::path& p) {
  return _wopen(p.c_str(), _O_RDONLY | _O_BINARY);
}
int CreateNew(const fs::path& p) {
  return _wopen(p.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int OpenExisting(const fs::path& p) {
  return _wopen(p.c_str(), _O_WRONLY | _O_TRUNC | _O_BINARY);
}
long ReadSome(int fd, uint8_t* buf, size_t n) {
  return _read(fd, buf, static_cast<unsigned>(n > 0x10000000 ? 0x10000000 : n));
}
long WriteSome(int fd, const uint8_t* buf, size_t n) {
  return _write(fd, buf, static_cast<unsigned>(n > 0x10000000 ? 0x10000000 : n));
}
int FlushToDisk(int fd) {
  return _commit(fd);
}
int CloseFile(int fd) {
  return _close(fd);
}
void FlushFolder(const fs::path&) {}  // NTFS journals the rename itself
#else
fs::path NativePath(const CString& path) {
  return fs::path(path.ToUtf8());
}
int OpenForReading(const fs::path& p) {
  return open(p.c_str(), O_RDONLY | O_CLOEXEC);
}
int CreateNew(const fs::path& p) {
  return open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}
int OpenExisting(const fs::path& p) {
  return open(p.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
}
long ReadSome(int fd, uint8_t* buf, size_t n) {
  return static_cast<long>(read(fd, buf, n));
}
long WriteSome(int fd, const uint8_t* buf, size_t n) {
  return static_cast<long>(write(fd, buf, n));
}
int FlushToDisk(int fd) {
  return fsync(fd);
}
int CloseFile(int fd) {
  return close(fd);
}
// Makes the rename itself durable. Too late to report a failure here: the new file
// is already in place.
void FlushFolder(const fs::path& folder) {
  int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    (void)fsync(fd);
    (void)close(fd);
  }
}
#endif

// The runtime's words for a cause, without a trailing period or line break (Windows
// system messages end in ".\r\n"), so callers can put it into their own sentence.
CString CauseText(const std::error_code& ec) {
  std::string text = ec.message();
  while (!text.empty() &&
         (text.back() == '.' || text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  if (text.empty()) text = "error " + std::to_string(ec.value());
  return CString::FromUtf8(text);
}
CString CauseText(int err) {
  return CauseText(std::error_code(err, std::generic_category()));
}

// A name for the temporary file that no other writer picks at the same moment.
fs::path TemporarySibling(const fs::path& target, unsigned attempt) {
  static unsigned counter = 0;
  uint64_t seed =
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      (static_cast<uint64_t>(++counter) << 40) ^ attempt;
  static const char kHex[] = "0123456789abcdef";
  std::string suffix = ".tmp-";
  for (int i = 0; i < 6; ++i) suffix += kHex[(seed >> (4 * i + 8)) & 0xF];
  fs::path name = target.filename();
  name += suffix;
  return target.parent_path() / name;
}

// Writes every byte, going on after partial writes; false with errno set otherwise.
bool WriteAll(int fd, std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    long n = WriteSome(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) {  // nothing accepted and no error given: the device is full
      errno = ENOSPC;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

FileReadResult ReadFilePrefix(const CString& path, size_t maxBytes) {
  FileReadResult result;
  int fd = OpenForReading(NativePath(path));
  if (fd < 0) {
    result.cause = CauseText(errno);
    return result;
  }
  result.bytes.resize(maxBytes);
  size_t got = 0;
  while (got < maxBytes) {
    long n = ReadSome(fd, result.bytes.data() + got, maxBytes - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      result.cause = CauseText(errno);
      result.bytes.clear();
      (void)CloseFile(fd);
      return result;
    }
    if (n == 0) break;  // end of the file
    got += static_cast<size_t>(n);
  }
  result.bytes.resize(got);
  (void)CloseFile(fd);  // read-only: nothing can be lost at close
  result.ok = true;
  return result;
}

FileWriteResult WriteFileAtomically(const CString& path, std::span<const uint8_t> bytes) {
  FileWriteResult result;
  fs::path target = NativePath(path);
  std::error_code ec;
  // Saving through a symbolic link replaces the file it points to, not the link.
  if (fs::is_symlink(fs::symlink_status(target, ec))) {
    fs::path real = fs::weakly_canonical(target, ec);
    if (!ec) target = real;
  }

  // A device or a pipe cannot be replaced by a rename (that would put a plain file
  // in its place): it is written directly, and its errors reported the same way.
  fs::file_status st = fs::status(target, ec);
  if (!ec && fs::exists(st) && !fs::is_regular_file(st) && !fs::is_directory(st)) {
    int dev = OpenExisting(target);
    int err = dev < 0 ? errno : 0;
    if (err == 0 && !WriteAll(dev, bytes)) err = errno;
    if (dev >= 0 && CloseFile(dev) != 0 && err == 0) err = errno;
    result.ok = err == 0;
    if (err != 0) result.cause = CauseText(err);
    return result;
  }

  fs::path temp;
  int fd = -1;
  for (unsigned attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    temp = TemporarySibling(target, attempt);
    fd = CreateNew(temp);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    result.cause = CauseText(errno);
    return result;
  }

  // From here on the temporary file exists and goes away again on any failure.
  int err = 0;
  if (!WriteAll(fd, bytes)) err = errno;
  if (err == 0 && FlushToDisk(fd) != 0) err = errno;
  if (CloseFile(fd) != 0 && err == 0) err = errno;
  if (err != 0) {
    fs::remove(temp, ec);
    result.cause = CauseText(err);
    return result;
  }

  // Keep the permissions of the file being replaced (a file only its owner may read
  // stays that way).
  fs::file_status old = fs::status(target, ec);
  if (!ec && fs::is_regular_file(old)) fs::permissions(temp, old.permissions(), ec);

  fs::rename(temp, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    result.cause = CauseText(ec);
    return result;
  }
  FlushFolder(target.parent_path());
  result.ok = true;
  return result;
}
