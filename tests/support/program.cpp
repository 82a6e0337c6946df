#include "support/program.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "support/temp_dir.hpp"

namespace {

// In the child: replaces the process with the program.
[[noreturn]] void exec_program(const std::string& path, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ::execv(path.c_str(), argv.data());
  ::_exit(127);
}

}  // namespace

ProgramResult run_program(const std::string& path, const std::vector<std::string>& args, const std::string& input,
                          const std::string& cwd) {
  TempDir io_dir;
  const std::string in_path = io_dir.write("stdin", input);
  const std::string out_path = io_dir / "stdout";
  const std::string err_path = io_dir / "stderr";
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int in = ::open(in_path.c_str(), O_RDONLY);
    const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
    exec_program(path, args);
  }
  int wstatus = 0;
  ::waitpid(pid, &wstatus, 0);
  ProgramResult r;
  r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  r.out = read_text(out_path);
  r.err = read_text(err_path);
  return r;
}

int start_program(const std::string& path, const std::vector<std::string>& args) {
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    exec_program(path, args);
  }
  return pid;
}

int stop_program(int pid, int signal_number) {
  ::kill(pid, signal_number);
  int wstatus = 0;
  ::waitpid(pid, &wstatus, 0);
  return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
}

int run_and_kill(const std::string& path, const std::vector<std::string>& args, double seconds, int signal_number) {
  const int pid = start_program(path, args);
  struct timespec pause {};
  pause.tv_sec = static_cast<time_t>(seconds);
  pause.tv_nsec = static_cast<long>((seconds - static_cast<double>(pause.tv_sec)) * 1e9);
  ::nanosleep(&pause, nullptr);
  return stop_program(pid, signal_number);
}
