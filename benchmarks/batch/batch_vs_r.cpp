// kelmory-batch against R on the same table of interval rows given by their
// bounds, in one run: wall time and peak memory of each, at two sizes to
// show that memory does not grow with the rows. R reads the file, computes
// sqrt(n) * ((upper - lower) / 2) / qt(p, n - 1) and writes the table to a
// file with write.csv(d, "file.csv"), as a user would; kelmory-batch writes
// its table with -o.
//   batch_vs_r [rows]        (default 1000000; the small file has a tenth)
// Goal: at least 10 times faster than R, peak memory under 30 MB. Speed is
// judged on CPU time (user + system): on a machine shared with other jobs
// the wall time says more about them than about the two programs; it is
// printed beside it.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Measure {
  double cpu = 0, wall = 0;  // seconds
  double peak_mb = 0;
};

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

// Runs the command with standard output to `out`, returns its time and
// peak resident memory; stops the benchmark when it fails.
Measure Run(std::vector<std::string> args, const std::string& out) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  const auto start = std::chrono::steady_clock::now();
  if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    std::fprintf(stderr, "cannot start %s\n", argv[0]);
    std::exit(1);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  posix_spawn_file_actions_destroy(&actions);
  // 1 is kelmory-batch's status for a refused row, which this table has not.
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed with status %d\n", argv[0], WEXITSTATUS(status));
    std::exit(1);
  }
  return {Seconds(usage.ru_utime) + Seconds(usage.ru_stime), elapsed.count(),
          usage.ru_maxrss / 1024.0};
}

// A review-like spread of n from 8 to 500, at the default 95% level.
void WriteTable(const std::string& path, long rows) {
  std::ofstream out(path, std::ios::binary);
  out << "study,n,lower,upper\n";
  for (long i = 0; i < rows; ++i) {
    const long n = 8 + (i * 7919) % 493;
    const double lower = 10 + (i % 997) / 10.0, upper = lower + 1 + (i % 89) / 8.0;
    out << "S" << i << ',' << n << ',' << lower << ',' << upper << '\n';
  }
}

// Times: the least disturbed of the runs, as other jobs on the machine only
// ever add. Memory: the most any run took.
double Least(const std::vector<Measure>& runs, double Measure::*field) {
  double least = runs.front().*field;
  for (const auto& r : runs) least = std::min(least, r.*field);
  return least;
}

double Most(const std::vector<Measure>& runs, double Measure::*field) {
  double most = 0;
  for (const auto& r : runs) most = std::max(most, r.*field);
  return most;
}

}  // namespace

int main(int argc, char** argv) {
  const long rows = argc > 1 ? std::atol(argv[1]) : 1000000;
  const auto dir =
      std::filesystem::temp_directory_path() / ("kelmory-batch-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string script = (dir / "floor.R").string();
  std::ofstream(script) << "args <- commandArgs(trailingOnly = TRUE)\n"
                           "d <- read.csv(args[1])\n"
                           "d$sd <- sqrt(d$n) * ((d$upper - d$lower) / 2) / qt(0.975, d$n - 1)\n"
                           "write.csv(d, args[2])\n";

  bool met = true;
  std::printf("%9s  %-28s %-28s %s\n", "rows", "kelmory-batch cpu/wall s, MB", "R cpu/wall s, MB",
              "R / kelmory-batch (cpu)");
  for (const long size : {rows / 10, rows}) {
    const std::string table = (dir / ("table-" + std::to_string(size) + ".csv")).string();
    const std::string out = (dir / "out.csv").string();
    WriteTable(table, size);
    std::vector<Measure> ours, r;
    const std::string console = (dir / "console.txt").string();
    // Interleaved, so that both see the same machine when its speed drifts.
    for (int k = 0; k < 7; ++k) {
      ours.push_back(Run({KELMORY_BATCH, "-o", out, table}, console));
      if (k % 2 == 1) r.push_back(Run({"Rscript", "--vanilla", script, table, out}, console));
    }
    const double ours_cpu = Least(ours, &Measure::cpu), r_cpu = Least(r, &Measure::cpu);
    const double ours_mb = Most(ours, &Measure::peak_mb);
    std::printf("%9ld  %6.3f / %6.3f, %5.1f MB     %6.3f / %6.3f, %5.1f MB     %.1f\n", size,
                ours_cpu, Least(ours, &Measure::wall), ours_mb, r_cpu, Least(r, &Measure::wall),
                Most(r, &Measure::peak_mb), r_cpu / ours_cpu);
    if (size == rows && r_cpu / ours_cpu < 10) met = false;
    if (ours_mb >= 30) met = false;
  }
  std::filesystem::remove_all(dir);
  std::printf("goal (>= 10x faster than R, peak < 30 MB): %s\n", met ? "met" : "NOT met");
  return met ? 0 : 1;
}
