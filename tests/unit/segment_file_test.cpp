#include "file/segment_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "framework/file_io.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

SegmentTable FreshSheet() {
  SegmentTable t;
  t.fTotal = 120.0f;
  t.fDelay = 0.0f;
  for (int r = 0; r < kSegmentRows; ++r) {
    t.nEndMin[r] = t.nEndSec[r] = t.nStartMin[r] = t.nStartSec[r] = -1;
    t.nLoops[r] = 1;
  }
  return t;
}

int32_t Int32At(const std::array<uint8_t, kSegmentFileSize>& b, size_t off) {
  return static_cast<int32_t>(b[off] | b[off + 1] << 8 | b[off + 2] << 16 |
                              static_cast<uint32_t>(b[off + 3]) << 24);
}

// Every value of the table compared by bit pattern, so NaN payloads and -0.0 count.
void ExpectSameBits(const SegmentTable& a, const SegmentTable& b) {
  EXPECT_EQ(std::bit_cast<uint32_t>(a.fTotal), std::bit_cast<uint32_t>(b.fTotal));
  EXPECT_EQ(std::bit_cast<uint32_t>(a.fDelay), std::bit_cast<uint32_t>(b.fDelay));
  for (int r = 0; r < kSegmentRows; ++r) {
    SCOPED_TRACE("row index " + std::to_string(r));
    EXPECT_EQ(a.nEndMin[r], b.nEndMin[r]);
    EXPECT_EQ(a.nEndSec[r], b.nEndSec[r]);
    EXPECT_EQ(a.nStartMin[r], b.nStartMin[r]);
    EXPECT_EQ(a.nStartSec[r], b.nStartSec[r]);
    EXPECT_EQ(a.nLoops[r], b.nLoops[r]);
  }
}

CString PathText(const fs::path& p) {
  const std::u8string u8 = p.u8string();
  return CString::FromUtf8(std::string_view(reinterpret_cast<const char*>(u8.data()), u8.size()));
}

std::vector<uint8_t> PatternBytes(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 37 + 11);
  return v;
}

// ---- The byte layout ----

TEST(SegmentFileCodec, FreshSheetIsTheDocumentedBytes) {
  std::vector<uint8_t> expected = {0x00, 0x00, 0xF0, 0x42, 0x00, 0x00, 0x00, 0x00};
  for (int r = 0; r < kSegmentRows; ++r) {
    expected.insert(expected.end(), 16, 0xFF);
    expected.insert(expected.end(), {0x01, 0x00, 0x00, 0x00});
  }
  ASSERT_EQ(expected.size(), 408u);
  const auto bytes = EncodeSegmentFile(FreshSheet());
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.end()), expected);
}

TEST(SegmentFileCodec, RecordHoldsEndBeforeStartThenLoops) {
  SegmentTable t = FreshSheet();
  t.nStartMin[0] = 1;
  t.nStartSec[0] = 5;
  t.nEndMin[0] = 2;
  t.nEndSec[0] = 30;
  t.nLoops[0] = 3;
  const auto bytes = EncodeSegmentFile(t);
  const std::vector<uint8_t> row1(bytes.begin() + 8, bytes.begin() + 28);
  EXPECT_EQ(row1,
            (std::vector<uint8_t>{2, 0, 0, 0, 30, 0, 0, 0, 1, 0, 0, 0, 5, 0, 0, 0, 3, 0, 0, 0}));
  // Row 2 starts right after and is still empty.
  EXPECT_EQ(Int32At(bytes, 28), -1);
}

TEST(SegmentFileCodec, EveryFieldOfEveryRowHasItsOwnOffset) {
  SegmentTable t;
  for (int r = 0; r < kSegmentRows; ++r) {
    t.nEndMin[r] = 1000 * r + 1;
    t.nEndSec[r] = 1000 * r + 2;
    t.nStartMin[r] = 1000 * r + 3;
    t.nStartSec[r] = 1000 * r + 4;
    t.nLoops[r] = 1000 * r + 5;
  }
  const auto bytes = EncodeSegmentFile(t);
  for (int r = 0; r < kSegmentRows; ++r)
    for (int k = 0; k < 5; ++k)
      EXPECT_EQ(Int32At(bytes, 8 + 20 * r + 4 * k), 1000 * r + k + 1) << "row " << r + 1;
}

// ---- Round trips ----

TEST(SegmentFileCodec, OddValuesComeBackBitForBit) {
  SegmentTable t;
  t.fTotal = std::bit_cast<float>(uint32_t{0x7FC12345});  // quiet NaN with a payload
  t.fDelay = std::bit_cast<float>(uint32_t{0xFF80ABCD});  // signalling NaN, sign set
  const int32_t odd[] = {std::numeric_limits<int32_t>::min(),
                         std::numeric_limits<int32_t>::max(),
                         -1,
                         -61,
                         0,
                         9999,
                         -123456};
  for (int r = 0; r < kSegmentRows; ++r) {
    t.nEndMin[r] = odd[r % 7];
    t.nEndSec[r] = odd[(r + 1) % 7];
    t.nStartMin[r] = odd[(r + 2) % 7];
    t.nStartSec[r] = odd[(r + 3) % 7];
    t.nLoops[r] = odd[(r + 4) % 7];
  }
  const auto decoded = DecodeSegmentFile(EncodeSegmentFile(t));
  ASSERT_TRUE(decoded);
  ExpectSameBits(*decoded, t);

  for (uint32_t bits : {0x80000000u, 0x00000001u, 0xFF800000u, 0x7F7FFFFFu}) {
    t.fTotal = std::bit_cast<float>(bits);  // -0, smallest subnormal, -inf, largest
    EXPECT_EQ(std::bit_cast<uint32_t>(DecodeSegmentFile(EncodeSegmentFile(t))->fTotal), bits);
  }
}

TEST(SegmentFileCodec, AnyFileOf408BytesIsAcceptedAndWrittenBackUnchanged) {
  const std::vector<uint8_t> in = PatternBytes(kSegmentFileSize);
  const auto decoded = DecodeSegmentFile(in);
  ASSERT_TRUE(decoded);
  const auto out = EncodeSegmentFile(*decoded);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.end()), in);
}

TEST(SegmentFileCodec, ShorterBufferIsRefused) {
  for (size_t n : {size_t{0}, size_t{1}, size_t{6}, size_t{407}}) {
    const std::vector<uint8_t> in = PatternBytes(n);
    EXPECT_FALSE(DecodeSegmentFile(in)) << n << " bytes";
  }
}

TEST(SegmentFileCodec, LongerBufferCountsOnlyItsFirst408Bytes) {
  const std::vector<uint8_t> base = PatternBytes(kSegmentFileSize);
  for (size_t extra : {size_t{1}, size_t{592}}) {
    std::vector<uint8_t> in = base;
    in.insert(in.end(), extra, 0xAB);
    const auto decoded = DecodeSegmentFile(in);
    ASSERT_TRUE(decoded) << extra;
    ExpectSameBits(*decoded, *DecodeSegmentFile(base));
  }
}

// ---- The user's messages ----

TEST(SegmentFileMessages, SayWhatFailedAndWhy) {
  const CString path = CString::FromUtf8("/home/ann/set1.txt");
  EXPECT_EQ(CannotSaveMessage(path, "Permission denied").ToUtf8(),
            "Cannot save \"/home/ann/set1.txt\": Permission denied.");
  EXPECT_EQ(CannotOpenMessage(path, "No such file or directory").ToUtf8(),
            "Cannot open \"/home/ann/set1.txt\": No such file or directory.");
  EXPECT_EQ(NotASegmentFileMessage(path, 6).ToUtf8(),
            "\"/home/ann/set1.txt\" is not a segment file: it holds 6 bytes, a segment file "
            "holds 408.");
  EXPECT_EQ(NotASegmentFileMessage(path, 1).ToUtf8(),
            "\"/home/ann/set1.txt\" is not a segment file: it holds 1 byte, a segment file "
            "holds 408.");
}

// ---- Files on disk ----

class SegmentFileOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_dir = fs::temp_directory_path() /
            (std::string("loreth-segment-") + info->name() + "-" + std::to_string(Pid()));
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(m_dir, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_dir, ec);
  }

  static long Pid() {
#ifdef _WIN32
    return 0;
#else
    return static_cast<long>(getpid());
#endif
  }
  // Names are UTF-8 on every system.
  fs::path At(const std::string& name) const {
    return m_dir / fs::path(std::u8string(name.begin(), name.end()));
  }
  CString PathOf(const std::string& name) const {
    return PathText(At(name));
  }
  std::vector<uint8_t> Contents(const std::string& name) const {
    std::ifstream in(At(name), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  void Put(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::ofstream out(At(name), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  // What the folder holds: a failed save must not leave its temporary file behind.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(m_dir)) {
      const std::u8string u8 = e.path().filename().u8string();
      names.insert(std::string(u8.begin(), u8.end()));
    }
    return names;
  }

  fs::path m_dir;
};

std::vector<uint8_t> Bytes(const SegmentTable& t) {
  const auto a = EncodeSegmentFile(t);
  return std::vector<uint8_t>(a.begin(), a.end());
}

TEST_F(SegmentFileOnDisk, SaveThenLoadGivesTheTableBack) {
  SegmentTable t = FreshSheet();
  t.nStartMin[19] = 59;
  t.nLoops[19] = 7;
  t.fDelay = std::bit_cast<float>(uint32_t{0x7FC00001});
  // A name outside ASCII checks the UTF-16 path on its way to the system.
  const std::string name = "s\xC3\xA4tze \xE6\x97\xA5.txt";
  EXPECT_EQ(SaveSegmentFile(PathOf(name), t).ToUtf8(), "");
  EXPECT_EQ(Names(), std::set<std::string>{name});
  EXPECT_EQ(Contents(name), Bytes(t));
  const SegmentFileLoad load = LoadSegmentFile(PathOf(name));
  EXPECT_EQ(load.message.ToUtf8(), "");
  ASSERT_TRUE(load.table);
  ExpectSameBits(*load.table, t);
}

TEST_F(SegmentFileOnDisk, SavingOverALongerFileLeavesExactly408Bytes) {
  Put("set1.txt", std::vector<uint8_t>(5000, 0x5A));
  EXPECT_EQ(SaveSegmentFile(PathOf("set1.txt"), FreshSheet()).ToUtf8(), "");
  EXPECT_EQ(Contents("set1.txt"), Bytes(FreshSheet()));
  EXPECT_EQ(Names(), std::set<std::string>{"set1.txt"});
}

TEST_F(SegmentFileOnDisk, LoadingReadsOnlyTheFirst408Bytes) {
  std::vector<uint8_t> bytes = Bytes(FreshSheet());
  bytes.insert(bytes.end(), 100, 0x00);
  Put("long.txt", bytes);
  const SegmentFileLoad load = LoadSegmentFile(PathOf("long.txt"));
  ASSERT_TRUE(load.table);
  ExpectSameBits(*load.table, FreshSheet());
}

TEST_F(SegmentFileOnDisk, LoadRefusesWhatIsNotASegmentFile) {
  struct Case {
    const char* name;
    size_t size;  // -1: not created
    std::string message;
  };
  const Case cases[] = {
      {"missing.txt", size_t(-1), "Cannot open \"@\": No such file or directory."},
      {"empty.txt", 0, "\"@\" is not a segment file: it holds 0 bytes, a segment file holds 408."},
      {"six.txt", 6, "\"@\" is not a segment file: it holds 6 bytes, a segment file holds 408."},
      {"short.txt", 407,
       "\"@\" is not a segment file: it holds 407 bytes, a segment file holds 408."},
  };
  for (const Case& c : cases) {
    if (c.size != size_t(-1)) Put(c.name, PatternBytes(c.size));
    const CString path = PathOf(c.name);
    std::string expected = c.message;
    expected.replace(expected.find('@'), 1, path.ToUtf8());
    const SegmentFileLoad load = LoadSegmentFile(path);
    EXPECT_FALSE(load.table) << c.name;
    EXPECT_EQ(load.message.ToUtf8(), expected);
  }
}

TEST_F(SegmentFileOnDisk, LoadingAFolderNamesTheCause) {
  fs::create_directory(m_dir / "folder.txt");
  const SegmentFileLoad load = LoadSegmentFile(PathOf("folder.txt"));
  EXPECT_FALSE(load.table);
  EXPECT_EQ(
      load.message.ToUtf8().rfind("Cannot open \"" + PathOf("folder.txt").ToUtf8() + "\": ", 0), 0u)
      << load.message.ToUtf8();
}

// A save that fails, for whatever reason, keeps the previous file and leaves no
// temporary file behind.
TEST_F(SegmentFileOnDisk, FailedSaveIntoAMissingFolderCreatesNothing) {
  const CString path = PathText(m_dir / "gone" / "set1.txt");
  EXPECT_EQ(SaveSegmentFile(path, FreshSheet()).ToUtf8(),
            "Cannot save \"" + path.ToUtf8() + "\": No such file or directory.");
  EXPECT_TRUE(Names().empty());
}

TEST_F(SegmentFileOnDisk, FailedSaveOverAFolderLeavesItAlone) {
  fs::create_directory(m_dir / "set1.txt");
  Put("set1.txt/inside", {1, 2, 3});
  const std::string message = SaveSegmentFile(PathOf("set1.txt"), FreshSheet()).ToUtf8();
  EXPECT_EQ(message.rfind("Cannot save \"" + PathOf("set1.txt").ToUtf8() + "\": ", 0), 0u)
      << message;
  EXPECT_EQ(Names(), std::set<std::string>{"set1.txt"});
  EXPECT_EQ(Contents("set1.txt/inside"), (std::vector<uint8_t>{1, 2, 3}));
}

#ifndef _WIN32
TEST_F(SegmentFileOnDisk, FailedSaveInAReadOnlyFolderKeepsThePreviousFile) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  Put("set1.txt", {9, 8, 7, 6, 5, 4});
  fs::permissions(m_dir, fs::perms(0555));
  EXPECT_EQ(SaveSegmentFile(PathOf("set1.txt"), FreshSheet()).ToUtf8(),
            "Cannot save \"" + PathOf("set1.txt").ToUtf8() + "\": Permission denied.");
  fs::permissions(m_dir, fs::perms(0755));
  EXPECT_EQ(Contents("set1.txt"), (std::vector<uint8_t>{9, 8, 7, 6, 5, 4}));
  EXPECT_EQ(Names(), std::set<std::string>{"set1.txt"});
}

// A disk that fills up in the middle of the write: the file size limit makes the
// kernel accept only the first 100 bytes, as a full disk would, even for root.
TEST_F(SegmentFileOnDisk, SaveThatRunsOutOfSpaceKeepsThePreviousFile) {
  const std::vector<uint8_t> previous = Bytes(FreshSheet());
  Put("set1.txt", previous);
  SegmentTable t = FreshSheet();
  t.fTotal = 90.0f;

  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct sigaction ignore {
  }, old{};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &old), 0);
  rlimit small = saved;
  small.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string message = SaveSegmentFile(PathOf("set1.txt"), t).ToUtf8();
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &old, nullptr);

  EXPECT_EQ(message, "Cannot save \"" + PathOf("set1.txt").ToUtf8() + "\": File too large.");
  EXPECT_EQ(Contents("set1.txt"), previous);
  EXPECT_EQ(Names(), std::set<std::string>{"set1.txt"});
}

TEST_F(SegmentFileOnDisk, SaveKeepsTheFilesPermissionsAndItsLink) {
  Put("real.txt", {1});
  fs::permissions(m_dir / "real.txt", fs::perms(0600));
  fs::create_symlink("real.txt", m_dir / "link.txt");
  EXPECT_EQ(SaveSegmentFile(PathOf("link.txt"), FreshSheet()).ToUtf8(), "");
  EXPECT_TRUE(fs::is_symlink(m_dir / "link.txt"));
  EXPECT_EQ(Contents("real.txt"), Bytes(FreshSheet()));
  EXPECT_EQ(fs::status(m_dir / "real.txt").permissions() & fs::perms::all, fs::perms(0600));
  EXPECT_EQ(Names(), (std::set<std::string>{"link.txt", "real.txt"}));
}
#endif

TEST(FileIo, ReadFilePrefixStopsAtTheLimit) {
  const fs::path p = fs::temp_directory_path() / "loreth-file-io-prefix.bin";
  {
    std::ofstream out(p, std::ios::binary);
    out << "abcdefghij";
  }
  const FileReadResult r = ReadFilePrefix(PathText(p), 4);
  fs::remove(p);
  ASSERT_TRUE(r.ok) << r.cause.ToUtf8();
  EXPECT_EQ(std::string(r.bytes.begin(), r.bytes.end()), "abcd");
}

}  // namespace
