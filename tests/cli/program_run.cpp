// posix_spawn with pipes (or a pseudo-terminal) on the three standard streams, and one poll loop
// that feeds the input and drains both outputs, so neither side can block the other.
#include "tests/cli/program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>

extern char** environ;

namespace lumaclip::testing {
namespace {

struct Terminal {
  int master = -1;
  int slave = -1;
};

Terminal OpenTerminal() {
  Terminal terminal;
  terminal.master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (terminal.master < 0) return terminal;
  if (grantpt(terminal.master) != 0 || unlockpt(terminal.master) != 0) return terminal;
  const char* name = ptsname(terminal.master);
  if (name != nullptr) terminal.slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  return terminal;
}

std::vector<std::string> Environment(const RunOptions& options) {
  std::map<std::string, std::string> variables;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text(*entry);
    const std::size_t equals = text.find('=');
    if (equals != std::string::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const auto& [name, value] : options.environment) variables[name] = value;
  std::vector<std::string> list;
  for (const auto& [name, value] : variables) list.push_back(name + "=" + value);
  return list;
}

}  // namespace

ProgramRun RunProgram(const std::vector<std::string>& arguments, const RunOptions& options) {
  ProgramRun run;
  signal(SIGPIPE, SIG_IGN);  // a program that exits early must not take the test with it
  int input[2], output[2], error[2];
  if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0 ||
      pipe2(error, O_CLOEXEC) != 0) {
    return run;
  }
  Terminal inputTerminal, errorTerminal;
  if (options.inputIsTerminal) inputTerminal = OpenTerminal();
  if (options.errorIsTerminal) errorTerminal = OpenTerminal();

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(
      &actions, options.inputIsTerminal ? inputTerminal.slave : input[0], STDIN_FILENO);
  if (options.outputPath.empty()) {
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, options.outputPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
  }
  posix_spawn_file_actions_adddup2(
      &actions, options.errorIsTerminal ? errorTerminal.slave : error[1], STDERR_FILENO);
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> environment = Environment(options);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  const int spawnFailed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  for (int fd : {input[0], output[1], error[1], inputTerminal.slave, errorTerminal.slave}) {
    if (fd >= 0) close(fd);
  }
  if (spawnFailed != 0) {
    if (inputTerminal.master >= 0) close(inputTerminal.master);
    for (int fd : {input[1], output[0], error[0], errorTerminal.master}) {
      if (fd >= 0) close(fd);
    }
    return run;
  }

  int inputFd = input[1];
  const int errorFd = options.errorIsTerminal ? errorTerminal.master : error[0];
  if (options.errorIsTerminal) close(error[0]);
  fcntl(inputFd, F_SETFL, O_NONBLOCK);
  std::size_t written = 0;
  if (options.input.empty()) {
    close(inputFd);
    inputFd = -1;
  }
  bool outputOpen = true, errorOpen = true;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
  char buffer[65536];
  while (outputOpen || errorOpen) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      run.timedOut = true;
      kill(pid, SIGKILL);
      break;
    }
    pollfd fds[3] = {{outputOpen ? output[0] : -1, POLLIN, 0},
                     {errorOpen ? errorFd : -1, POLLIN, 0},
                     {inputFd, POLLOUT, 0}};
    if (poll(fds, 3, static_cast<int>(left.count())) < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].revents == 0) continue;
      const ssize_t count = read(fds[i].fd, buffer, sizeof buffer);
      if (count > 0) {
        (i == 0 ? run.out : run.err).append(buffer, static_cast<std::size_t>(count));
      } else if (count == 0 || errno != EINTR) {
        (i == 0 ? outputOpen : errorOpen) = false;  // a terminal's master reads EIO at the end
      }
    }
    if (inputFd >= 0 && fds[2].revents != 0) {
      const ssize_t count =
          write(inputFd, options.input.data() + written, options.input.size() - written);
      if (count > 0) written += static_cast<std::size_t>(count);
      if (count < 0 && errno != EAGAIN && errno != EINTR) written = options.input.size();
      if (written == options.input.size()) {
        close(inputFd);
        inputFd = -1;
      }
    }
  }
  if (inputFd >= 0) close(inputFd);
  // The input terminal stays open while the program runs: closing it would hang it up.
  if (inputTerminal.master >= 0) close(inputTerminal.master);
  close(output[0]);
  close(errorFd);
  int status = 0;
  waitpid(pid, &status, 0);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

}  // namespace lumaclip::testing
