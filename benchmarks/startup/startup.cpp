// Measures the time from process start until the main window is shown, for
// Kelmory's start-up and for the floor of the same widgets built in plain
// code, alternating the two in one run so that both see the same machine.
//   startup [runs]

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

extern char** environ;

namespace {

long long Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// Nanoseconds from spawning `program` to the moment it reports its window shown.
long long TimeToShown(const std::string& program) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) std::exit(1);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
  // Qt's start-up chatter would bury the figures.
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  pid_t child = 0;
  const long long start = Now();
  if (posix_spawn(&child, program.c_str(), &actions, nullptr, argv, environ) != 0) std::exit(1);
  close(pipe_fds[1]);
  char buffer[64] = {};
  const ssize_t got = read(pipe_fds[0], buffer, sizeof buffer - 1);
  close(pipe_fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  if (got <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s did not show its window\n", program.c_str());
    std::exit(1);
  }
  return std::atoll(buffer) - start;
}

double MedianMs(std::vector<long long> samples) {
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2] / 1e6;
}

}  // namespace

int main(int argc, char* argv[]) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const std::string dir = std::string(argv[0]).substr(0, std::string(argv[0]).rfind('/') + 1);
  const std::string kelmory = dir + "startup_probe_kelmory";
  const std::string floor = dir + "startup_probe_floor";

  TimeToShown(kelmory);  // warm the file cache for both
  TimeToShown(floor);
  std::vector<long long> kelmory_ns, floor_ns;
  for (int i = 0; i < runs; ++i) {
    kelmory_ns.push_back(TimeToShown(kelmory));
    floor_ns.push_back(TimeToShown(floor));
  }
  const double k = MedianMs(kelmory_ns), f = MedianMs(floor_ns);
  // Each run beside the floor run next to it, so that a busy moment of the
  // machine weighs on both sides of one ratio.
  std::vector<double> ratios;
  for (int i = 0; i < runs; ++i) ratios.push_back(double(kelmory_ns[i]) / double(floor_ns[i]));
  std::sort(ratios.begin(), ratios.end());
  std::printf("start-up to shown window, median of %d alternated runs (%s):\n", runs,
              std::getenv("QT_QPA_PLATFORM"));
  std::printf("  kelmory      %8.2f ms\n  same widgets %8.2f ms\n", k, f);
  std::printf("  ratio of the medians %.3f, median of the paired ratios %.3f\n", k / f,
              ratios[ratios.size() / 2]);
  return 0;
}
