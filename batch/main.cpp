// kelmory-batch: the standard deviations of a whole table of studies, from a
// CSV file or standard input to a CSV file or standard output.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "batch/batch_run.h"
#include "batch/cell_number.h"

namespace {

using kelmory::batch::BatchOptions;
using kelmory::batch::Method;

constexpr int kUsage = 2;

int Complain(const std::string& message) {
  std::fprintf(stderr, "kelmory-batch: %s\n", message.c_str());
  return kUsage;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// One line on a terminal, rewritten in place once the run has taken a second.
class ProgressLine {
 public:
  ProgressLine(bool enabled, std::uint64_t total) : enabled_(enabled && total > 0), total_(total) {}
  ~ProgressLine() {
    if (shown_) std::fprintf(stderr, "\r%*s\r", 30, "");
  }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void operator()(std::uint64_t read) {
    if (!enabled_) return;
    if (!shown_ && std::chrono::steady_clock::now() - start_ < std::chrono::seconds(1)) return;
    const int percent = static_cast<int>(std::min<std::uint64_t>(100, read * 100 / total_));
    if (shown_ && percent == last_) return;
    std::fprintf(stderr, "\rkelmory-batch: %d%% read", percent);
    std::fflush(stderr);
    shown_ = true;
    last_ = percent;
  }

 private:
  bool enabled_;
  std::uint64_t total_;
  bool shown_ = false;
  int last_ = -1;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// The output file is written under a temporary name beside it and renamed
// at the end, so that a failed run leaves nothing behind.
class OutputFile {
 public:
  explicit OutputFile(std::string path) : path_(std::move(path)) {}
  ~OutputFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!temp_.empty()) ::unlink(temp_.c_str());
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Open() {
    const std::filesystem::path target(path_);
    const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
    std::string pattern = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    fd_ = ::mkstemp(pattern.data());
    if (fd_ < 0) return false;
    temp_ = pattern;
    // mkstemp makes the file private; give it the usual mode.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
    return true;
  }
  int fd() const { return fd_; }
  bool Commit() {
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!closed || ::rename(temp_.c_str(), path_.c_str()) != 0) return false;
    temp_.clear();
    return true;
  }

 private:
  std::string path_;
  std::string temp_;
  int fd_ = -1;
};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Converts a CSV table of studies (column n, and se, ci, or lower and upper) into their "
      "standard deviations, under z and under t side by side.",
      "kelmory-batch"};
  app.set_version_flag("--version", std::string("kelmory-batch ") + KELMORY_VERSION);
  std::string input = "-", output, method = "t", level_text = "95", delimiter, decimal;
  bool working = false;
  app.add_option("FILE", input,
                 "a CSV table of studies with a header row; standard input when "
                 "absent or \"-\"")
      ->type_name("");
  app.add_option("-o,--output", output, "write there instead of standard output (all or nothing)")
      ->type_name("FILE");
  app.add_option("--method", method, "the critical value behind the sd column of interval rows")
      ->check(CLI::IsMember({"t", "z"}).description(""))
      ->type_name("t|z")
      ->capture_default_str();
  app.add_option("--level", level_text, "the confidence level of rows with an empty level cell")
      ->type_name("PERCENT")
      ->capture_default_str();
  app.add_option("--delimiter", delimiter, "default: found from the header line")
      ->check(CLI::IsMember({",", ";", "tab"}).description(""))
      ->type_name(", | ; | tab");
  app.add_option("--decimal", decimal,
                 "the decimal separator of the numbers (default \",\" with \";\", else \".\")")
      ->check(CLI::IsMember({".", ","}).description(""))
      ->type_name(". | ,");
  app.add_flag("--working", working, "add a column \"working\" holding each row's working text");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);
    return Complain(std::string(e.what()) + " (see --help)");
  }

  BatchOptions options;
  options.method = method == "z" ? Method::Z : Method::T;
  options.working = working;
  if (delimiter == "tab") {
    options.delimiter = '\t';
  } else if (!delimiter.empty()) {
    options.delimiter = delimiter[0];
  }
  if (!decimal.empty()) options.decimal = decimal[0];
  auto level = kelmory::batch::ParseCellNumber(level_text, '.', true);
  if (level.kind != kelmory::batch::CellNumber::Kind::Number)
    level = kelmory::batch::ParseCellNumber(level_text, ',', true);
  if (level.kind != kelmory::batch::CellNumber::Kind::Number || !(level.value > 0) ||
      !(level.value < 100)) {
    return Complain("--level must be a number strictly between 0 and 100, not '" + level_text +
                    "' (see --help)");
  }
  options.level = level.value;

  int in = STDIN_FILENO;
  const bool from_file = input != "-";
  if (from_file) {
    in = ::open(input.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return Complain("cannot read '" + input + "': " + std::strerror(errno));
  }
  struct stat info {};
  const bool known = ::fstat(in, &info) == 0;
  if (known && S_ISDIR(info.st_mode))
    return Complain("cannot read '" + input + "': it is a folder");
  const bool regular = known && S_ISREG(info.st_mode);
  ProgressLine progress(from_file && regular && ::isatty(STDERR_FILENO),
                        regular ? static_cast<std::uint64_t>(info.st_size) : 0);

  std::optional<OutputFile> file;
  int out = STDOUT_FILENO;
  if (!output.empty()) {
    file.emplace(output);
    if (!file->Open()) return Complain("cannot write '" + output + "': " + std::strerror(errno));
    out = file->fd();
  }

  int read_errno = 0;
  const auto summary = kelmory::batch::RunBatch(
      [&](char* buffer, std::size_t size) -> std::ptrdiff_t {
        for (;;) {
          const ssize_t got = ::read(in, buffer, size);
          if (got >= 0 || errno != EINTR) {
            if (got < 0) read_errno = errno;
            return got;
          }
        }
      },
      [&](std::string_view bytes) { return WriteAll(out, bytes); }, options,
      [&](std::uint64_t read) { progress(read); });
  if (from_file) ::close(in);

  if (summary.status == 2) {
    const std::string name = from_file ? "'" + input + "'" : "standard input";
    if (read_errno) return Complain("cannot read " + name + ": " + std::strerror(read_errno));
    // Where the input is at fault, say which input and where.
    if (summary.message.starts_with("line ")) return Complain(name + ", " + summary.message);
    return Complain(summary.message);
  }
  if (file && !file->Commit()) {
    return Complain("cannot write '" + output + "': " + std::strerror(errno));
  }
  return summary.status;
}
