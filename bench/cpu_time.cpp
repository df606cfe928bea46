// Runs a command and writes "<cpu seconds> <peak KiB>" to a file: user plus
// system time to the microsecond the kernel accounts it in (/usr/bin/time
// prints hundredths, which cannot tell a 13 ms copy from a 65 ms patch, and
// milliseconds still make a 3 ms copy a ratio of small integers) and the
// peak resident memory.
// A small program of its own, not a script: a child keeps the peak memory
// of the process it was forked from, so a large parent would be counted in.
//
// Usage: cpu_time LOG COMMAND [ARG ...]; the exit code is the command's.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: cpu_time LOG COMMAND [ARG ...]\n");
    return 2;
  }
  const pid_t child = fork();
  if (child < 0) return 127;
  if (child == 0) {
    execvp(argv[2], argv + 2);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return 127;
  const double seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  FILE* log = std::fopen(argv[1], "w");
  if (log == nullptr) return 127;
  std::fprintf(log, "%.6f %ld\n", seconds, usage.ru_maxrss);
  std::fclose(log);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
