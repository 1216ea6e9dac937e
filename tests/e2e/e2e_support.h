// Small helpers for the tests that run in a real X session: child processes,
// a private temporary folder, bounded waiting, a timed tail of a log file,
// input ports that watch what passes through them, and mpv as a player (its
// test video, its key bindings, its JSON IPC socket).
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/input_port.h"
#include "playback/seek_planner.h"

extern char** environ;

namespace loreth::e2e {

// Polls `done` every few milliseconds until it is true or `limit` has passed.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// True when `name` is an executable on PATH.
inline bool OnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  std::string dirs = path;
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string file = dirs.substr(start, end - start) + "/" + name;
    if (end > start && ::access(file.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// A folder of its own under TMPDIR, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string templ = std::filesystem::temp_directory_path() / "loreth-e2e.XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (::mkdtemp(buf.data()) != nullptr) m_path = buf.data();
  }
  ~TempDir() {
    std::error_code ec;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

// A child process, ended (SIGTERM, then SIGKILL) and reaped with this object.
// Its stdout can be read line by line.
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() { Stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Start(const std::vector<std::string>& argv, bool quiet = false) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    if (quiet) posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int rc = ::posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
      m_pid = 0;
      ::close(out[0]);
      return false;
    }
    m_out = out[0];
    return true;
  }

  // The next line of the child's stdout, or "" when none came within `limit`.
  std::string ReadLine(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
      size_t nl = m_buf.find('\n');
      if (nl != std::string::npos) {
        std::string line = m_buf.substr(0, nl);
        m_buf.erase(0, nl + 1);
        return line;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (m_out < 0 || left.count() <= 0) return std::string();
      pollfd p{m_out, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char chunk[512];
      ssize_t n = ::read(m_out, chunk, sizeof chunk);
      if (n <= 0) {
        ::close(m_out);
        m_out = -1;
        continue;
      }
      m_buf.append(chunk, static_cast<size_t>(n));
    }
  }

  bool Running() {
    if (m_pid <= 0) return false;
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
      m_pid = 0;
      return false;
    }
    return true;
  }

  void Stop() {
    if (m_pid > 0) {
      ::kill(m_pid, SIGTERM);
      bool gone = WaitUntil(
          [this] {
            int status = 0;
            return ::waitpid(m_pid, &status, WNOHANG) == m_pid;
          },
          std::chrono::seconds(5));
      if (!gone) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
      }
      m_pid = 0;
    }
    if (m_out >= 0) {
      ::close(m_out);
      m_out = -1;
    }
  }

 private:
  pid_t m_pid = 0;
  int m_out = -1;
  std::string m_buf;
};

// The lines of a text file (none when it cannot be read).
inline std::vector<std::string> ReadLines(const std::filesystem::path& file) {
  std::vector<std::string> lines;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The median of a sample (0 for none).
inline double Median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  return (v[v.size() / 2] + v[(v.size() - 1) / 2]) / 2;
}

// Follows a growing text file from another thread, noting when each line was
// first seen (polled every half millisecond, so a time is at most that late).
class LogTail {
 public:
  using Clock = std::chrono::steady_clock;
  struct Line {
    Clock::time_point seen;
    std::string text;
  };

  explicit LogTail(std::filesystem::path file)
      : m_file(std::move(file)), m_thread([this] { Run(); }) {}
  ~LogTail() {
    m_stop = true;
    m_thread.join();
  }
  LogTail(const LogTail&) = delete;
  LogTail& operator=(const LogTail&) = delete;

  std::vector<Line> Lines() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lines;
  }

 private:
  void Run() {
    std::ifstream in;
    std::string partial;
    while (!m_stop) {
      if (!in.is_open()) in.open(m_file);
      if (in.is_open()) {
        char chunk[4096];
        for (;;) {
          in.read(chunk, sizeof chunk);
          std::streamsize n = in.gcount();
          if (n <= 0) break;
          partial.append(chunk, static_cast<size_t>(n));
        }
        in.clear();  // past the end for now: the writer may add more
        const auto now = Clock::now();
        size_t nl;
        while ((nl = partial.find('\n')) != std::string::npos) {
          std::lock_guard<std::mutex> lock(m_mutex);
          m_lines.push_back({now, partial.substr(0, nl)});
          partial.erase(0, nl + 1);
        }
      }
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
  }

  std::filesystem::path m_file;
  std::mutex m_mutex;
  std::vector<Line> m_lines;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;  // last: starts once everything above exists
};

// Splits timed lines into bursts: a new burst begins after a quiet gap.
inline std::vector<std::vector<LogTail::Line>> Bursts(const std::vector<LogTail::Line>& lines,
                                                      std::chrono::milliseconds gap) {
  std::vector<std::vector<LogTail::Line>> out;
  for (const LogTail::Line& l : lines) {
    if (out.empty() || l.seen - out.back().back().seen > gap) out.emplace_back();
    out.back().push_back(l);
  }
  return out;
}

// ---- ports that watch the real one ----

// Passes every call on to `real`; a test overrides the calls it watches.
class ForwardingPort : public IInputPort {
 public:
  explicit ForwardingPort(IInputPort& real) : m_real(real) {}

  void KeyDown(unsigned vk) override { m_real.KeyDown(vk); }
  void KeyUp(unsigned vk) override { m_real.KeyUp(vk); }
  void Sleep(unsigned ms) override { m_real.Sleep(ms); }
  WindowId FindWindowByTitle(const CString& t) override { return m_real.FindWindowByTitle(t); }
  bool BringToFront(WindowId w) override { return m_real.BringToFront(w); }
  WindowId ForegroundWindow() override { return m_real.ForegroundWindow(); }
  CString WindowTitle(WindowId w) override { return m_real.WindowTitle(w); }
  bool IsOwnWindow(WindowId w) override { return m_real.IsOwnWindow(w); }
  bool IsCtrlHeld() override { return m_real.IsCtrlHeld(); }
  CTime Now() override { return m_real.Now(); }

 private:
  IInputPort& m_real;
};

// Notes when the last key event went out and when the last BringToFront
// began and returned (all zero until the first such call).
class TimingPort : public ForwardingPort {
 public:
  using Clock = std::chrono::steady_clock;
  using ForwardingPort::ForwardingPort;

  Clock::time_point lastKey{};
  Clock::time_point raiseStart{};
  Clock::time_point raiseEnd{};

  void KeyDown(unsigned vk) override {
    ForwardingPort::KeyDown(vk);
    lastKey = Clock::now();
  }
  void KeyUp(unsigned vk) override {
    ForwardingPort::KeyUp(vk);
    lastKey = Clock::now();
  }
  bool BringToFront(WindowId w) override {
    raiseStart = Clock::now();
    const bool ok = ForwardingPort::BringToFront(w);
    raiseEnd = Clock::now();
    return ok;
  }
};

// ---- mpv as the player ----

// The test recording: a blank 7200 s video (T = 120 minutes, steps of 1440,
// 360 and 18 s, every step target on a keyframe).
inline constexpr float kMpvTotalMinutes = 120.0f;
inline constexpr double kMpvLength = 7200.0;

inline bool HaveMpv() {
  return OnPath("mpv") && OnPath("ffmpeg");
}

// Makes the test video once per folder and returns its path ("" on failure).
// It is written aside under a name of this process and renamed, so a broken or
// concurrent run never leaves half a file behind.
inline std::string BlankVideo(const std::string& folder) {
  std::string media = folder + "/blank-7200s.mkv";
  if (std::filesystem::exists(media)) return media;
  std::string part = media + "." + std::to_string(::getpid()) + ".part.mkv";
  std::string cmd =
      "ffmpeg -nostdin -v error -y -f lavfi -i color=c=black:s=32x18:r=10 -t 7200 "
      "-c:v libx264 -preset ultrafast -tune stillimage -g 10 '" +
      part + "' && mv '" + part + "' '" + media + "'";
  if (std::system(cmd.c_str()) != 0) return std::string();
  return media;
}

// Starts mpv on `media` titled `title`, with Ctrl+Right/Left bound to a fifth
// of the recording, Right/Left to a twentieth and Shift+Right/Left to a
// four-hundredth, all exact relative seeks, and its IPC socket at `socket`.
// `dir` receives the input.conf.
inline bool StartMpv(ChildProcess& mpv, const std::filesystem::path& dir, const std::string& title,
                     const std::string& socket, const std::string& media, bool paused) {
  std::ofstream(dir / "input.conf") << "Ctrl+RIGHT seek 20 relative-percent+exact\n"
                                       "Ctrl+LEFT seek -20 relative-percent+exact\n"
                                       "RIGHT seek 5 relative-percent+exact\n"
                                       "LEFT seek -5 relative-percent+exact\n"
                                       "Shift+RIGHT seek 0.25 relative-percent+exact\n"
                                       "Shift+LEFT seek -0.25 relative-percent+exact\n";
  return mpv.Start(
      {"mpv", "--no-config", "--no-input-default-bindings",
       "--input-conf=" + (dir / "input.conf").string(), paused ? "--pause" : "--pause=no",
       "--keep-open=yes", "--vo=x11", "--ao=null", "--hr-seek=yes", "--input-key-fifo-size=1000",
       "--osc=no", "--osd-level=0", "--geometry=320x180", "--really-quiet", "--title=" + title,
       "--input-ipc-server=" + socket, media},
      /*quiet=*/true);
}

// A line-oriented client of mpv's JSON IPC.
class MpvIpc {
 public:
  using Clock = std::chrono::steady_clock;
  MpvIpc() = default;
  ~MpvIpc() {
    if (m_fd >= 0) ::close(m_fd);
  }
  MpvIpc(const MpvIpc&) = delete;
  MpvIpc& operator=(const MpvIpc&) = delete;

  bool Connect(const std::string& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return false;
    std::copy(path.begin(), path.end(), addr.sun_path);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      ::close(fd);
      return false;
    }
    m_fd = fd;
    return true;
  }

  // Sends one command (a JSON array body) and returns the reply line.
  std::string Command(const std::string& args) {
    const int id = ++m_id;
    std::string req = "{\"command\":[" + args + "],\"request_id\":" + std::to_string(id) + "}\n";
    if (::send(m_fd, req.data(), req.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(req.size())) {
      return std::string();
    }
    const std::string tag = "\"request_id\":" + std::to_string(id);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    for (;;) {
      size_t nl;
      while ((nl = m_buf.find('\n')) != std::string::npos) {
        std::string line = m_buf.substr(0, nl);
        m_buf.erase(0, nl + 1);
        if (line.find(tag) != std::string::npos) return line;  // events are skipped
      }
      if (Clock::now() >= deadline) return std::string();
      pollfd p{m_fd, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char chunk[4096];
      ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
      if (n <= 0) return std::string();
      m_buf.append(chunk, static_cast<size_t>(n));
    }
  }

  // A numeric property, or nullopt when mpv has none right now.
  std::optional<double> Number(const std::string& property) {
    std::string reply = Command("\"get_property\",\"" + property + "\"");
    size_t at = reply.find("\"data\":");
    if (at == std::string::npos || reply.find("\"error\":\"success\"") == std::string::npos) {
      return std::nullopt;
    }
    const char* start = reply.c_str() + at + 7;
    char* end = nullptr;
    double v = std::strtod(start, &end);
    if (end == start) return std::nullopt;
    return v;
  }
  std::string Text(const std::string& property) {
    return Command("\"get_property\",\"" + property + "\"");
  }

 private:
  int m_fd = -1;
  int m_id = 0;
  std::string m_buf;
};

// Where exact steps of the test recording's sizes from `start` end: the
// player's model that the plan counts on (a step back past the start stops at 0).
inline double IntendedLanding(const SeekPlan& plan, double start) {
  const double big = kMpvLength / 5, medium = kMpvLength / 20, small = kMpvLength / 400;
  double pos = start;
  auto step = [&pos](double by, int times) {
    for (int i = 0; i < times; ++i) pos = std::clamp(pos + by, 0.0, kMpvLength);
  };
  if (plan.bFirst) {
    step(-medium, 1);
  } else {
    step(-big, plan.nRewind);
  }
  step(big, plan.nBig);
  step(medium, plan.nMedium);
  if (plan.bOvershoot) {
    step(medium, 1);
    step(-small, plan.nSmall);
  } else {
    step(small, plan.nSmall);
  }
  return pos;
}

}  // namespace loreth::e2e
