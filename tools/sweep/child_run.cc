#include "child_run.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>

#include <fmt/format.h>

namespace quill::sweep {

namespace {

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

ChildResult RunInChild(const std::function<std::string()>& work, double time_limit_seconds,
                       const std::string& error_path, size_t output_limit) {
  using Clock = std::chrono::steady_clock;
  ChildResult result;
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) {
    result.how = "no pipe";
    return result;
  }
  std::fflush(nullptr);
  const auto started = Clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(pipe_fds[0]);
    ::close(pipe_fds[1]);
    result.how = "no fork";
    return result;
  }
  if (pid == 0) {
    ::close(pipe_fds[0]);
    const int error_fd = ::open(error_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (error_fd >= 0) ::dup2(error_fd, STDERR_FILENO);
    const std::string output = work();
    ::_exit(WriteAll(pipe_fds[1], output) ? 0 : 3);
  }
  ::close(pipe_fds[1]);

  const auto deadline = started + std::chrono::duration<double>(time_limit_seconds);
  bool timed_out = false;
  bool too_long = false;
  char buffer[1 << 16];
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      timed_out = true;
      break;
    }
    pollfd entry{pipe_fds[0], POLLIN, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(std::min<long long>(left, 1000)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) continue;
    const ssize_t got = ::read(pipe_fds[0], buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;  // the child closed the pipe (it ended)
    if (result.output.size() + static_cast<size_t>(got) > output_limit) {
      too_long = true;
      break;
    }
    result.output.append(buffer, static_cast<size_t>(got));
  }
  ::close(pipe_fds[0]);
  if (timed_out || too_long) ::kill(pid, SIGKILL);

  // The pipe closes when the child ends; wait for its status within the
  // time limit too (a child could close the pipe and go on).
  int status = 0;
  while (true) {
    const pid_t waited = ::waitpid(pid, &status, WNOHANG);
    if (waited == pid) break;
    if (waited < 0 && errno != EINTR) break;
    if (!timed_out && Clock::now() > deadline) {
      timed_out = true;
      ::kill(pid, SIGKILL);
    }
    ::usleep(2000);
  }
  result.seconds = std::chrono::duration<double>(Clock::now() - started).count();
  if (timed_out) {
    result.end = ChildEnd::kHung;
    result.how = fmt::format("killed after {:.0f} s", time_limit_seconds);
  } else if (too_long) {
    result.end = ChildEnd::kCrashed;
    result.how = fmt::format("output beyond {} bytes", output_limit);
  } else if (WIFSIGNALED(status)) {
    result.end = ChildEnd::kCrashed;
    result.how = fmt::format("signal {}", WTERMSIG(status));
  } else if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
    result.end = ChildEnd::kCrashed;
    result.how = fmt::format("exit {}", WEXITSTATUS(status));
  } else {
    result.end = ChildEnd::kDone;
  }
  return result;
}

}  // namespace quill::sweep
