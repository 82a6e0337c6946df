// measure: runs a command and reports its wall time and peak resident memory,
// and the times at which lines starting with a given text appeared on its
// standard output.
//
//   measure [--mark TEXT] IN OUT -- COMMAND [ARGS...]
// runs COMMAND with standard input from IN and standard output copied to OUT,
// and prints "seconds=S max_rss_kib=K status=X marks=T1,T2,...".
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  std::string mark;
  int a = 1;
  if (a + 1 < argc && std::strcmp(argv[a], "--mark") == 0) {
    mark = argv[a + 1];
    a += 2;
  }
  if (argc - a < 4 || std::strcmp(argv[a + 2], "--") != 0) {
    std::fprintf(stderr, "usage: measure [--mark TEXT] IN OUT -- COMMAND [ARGS...]\n");
    return 2;
  }
  const char* in_path = argv[a];
  const char* out_path = argv[a + 1];
  char** command = argv + a + 3;
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return 2;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open(in_path, O_RDONLY);
    if (in < 0) _exit(127);
    ::dup2(in, 0);
    ::dup2(pipe_fds[1], 1);
    ::close(pipe_fds[0]);
    ::execvp(command[0], command);
    _exit(127);
  }
  ::close(pipe_fds[1]);
  std::FILE* out = std::fopen(out_path, "w");
  std::vector<double> marks;
  std::string line;
  char buf[1 << 16];
  for (ssize_t n; (n = ::read(pipe_fds[0], buf, sizeof buf)) > 0;) {
    const double now = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (out) std::fwrite(buf, 1, static_cast<std::size_t>(n), out);
    for (ssize_t i = 0; i < n; ++i) {
      if (buf[i] != '\n') {
        line += buf[i];
        continue;
      }
      if (!mark.empty() && line.compare(0, mark.size(), mark) == 0) marks.push_back(now);
      line.clear();
    }
  }
  if (out) std::fclose(out);
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("seconds=%.3f max_rss_kib=%ld status=%d marks=", seconds, usage.ru_maxrss,
              WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
  for (std::size_t i = 0; i < marks.size(); ++i) std::printf("%s%.4f", i ? "," : "", marks[i]);
  std::printf("\n");
  return 0;
}
