// Small helpers for the tests that run in a real X session: child processes,
// a private temporary folder, and bounded waiting.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

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

}  // namespace loreth::e2e
