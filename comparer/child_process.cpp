#include "comparer/child_process.hpp"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "io/errors.hpp"

namespace comparer {

std::string sibling_program(const std::string& name) {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const std::filesystem::path beside = self.parent_path() / name;
    if (std::filesystem::exists(beside, ec)) return beside.string();
  }
  return name;
}

namespace {

// In the child, between fork and exec: only async-signal-safe calls. The
// child is killed when the comparer's thread that started it ends (a killed
// comparer leaves no estimator running), and reads nothing.
[[noreturn]] void become_child(pid_t parent, const char* program, char** argv, const char* cwd, const char* out_path,
                               const char* err_path) {
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) ::_exit(127);  // the comparer ended before the death signal was set
  const int in = ::open("/dev/null", O_RDONLY);
  const int out = ::open(out_path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = ::open(err_path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(127);
  if (::chdir(cwd) != 0) ::_exit(127);
  ::execvp(program, argv);
  ::_exit(127);
}

}  // namespace

int run_child(const std::string& program, const std::vector<std::string>& args, const std::string& cwd,
              const std::string& out_path, const std::string& err_path) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid < 0) io::fail("cannot start " + program + ": " + std::strerror(errno));
  if (pid == 0) become_child(parent, program.c_str(), argv.data(), cwd.c_str(), out_path.c_str(), err_path.c_str());
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) io::fail("cannot wait for " + program + ": " + std::strerror(errno));
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace comparer
