// kelmory-batch: the standard deviations of a whole table of studies, from a
// CSV file or standard input to a CSV file or standard output. batch/ holds
// the program alone (its options, messages and manual page); the reading and
// writing are table/'s RunBatch and OutputFile, the rows rows/'s.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "rows/cell_number.h"
#include "table/batch_run.h"
#include "table/output_file.h"

namespace {

using kelmory::batch::BatchOptions;
using kelmory::batch::Method;
using kelmory::batch::WriteAll;

constexpr int kUsage = 2;

int Complain(const std::string& message) {
  std::fprintf(stderr, "kelmory-batch: %s\n", message.c_str());
  return kUsage;
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
      ->type_name("t|z")
      ->capture_default_str();
  app.add_option("--level", level_text,
                 "the confidence level in percent of rows with an empty level cell")
      ->type_name("PERCENT")
      ->capture_default_str();
  app.add_option("--delimiter", delimiter, "default: found from the header line")
      ->type_name(", | ; | tab");
  app.add_option("--decimal", decimal, "the decimal separator (default: found from the numbers)")
      ->type_name(". | ,");
  app.add_flag("--working", working, "add a column \"working\" holding each row's working text");
  std::string median = "normal";
  app.add_option("--median", median,
                 "which estimate of a median row fills sd and estimated_mean; any but normal also "
                 "adds both side by side")
      ->type_name("normal|qe|lognormal|auto")
      ->capture_default_str();
  std::string corr;
  app.add_option("--corr", corr,
                 "the correlation imputed for change rows without corr or sd_change: a value, or "
                 "the mean of the table's own (two passes over the input)")
      ->type_name("R|table");
  app.footer(
      "Columns, found by name in any case: n, and one source: se, ci (the half-width), or lower\n"
      "and upper; optional: mean, level (in percent), z (a divisor of one's own). Other columns\n"
      "are carried through. A table's own sd column keeps a filled cell as a reported SD and\n"
      "fills an empty one in place; the program's own columns, as it writes them, are made again.\n"
      "\n"
      "Other kinds of row; those that name a median, min, max, q1, q3, n1, n2, md, t, p or\n"
      "n_1 ... add estimated_mean and total_n after sd:\n"
      "  a median: n with min, median and max; q1, median and q3; or all five (mean after\n"
      "    Luo 2018, SD after Wan 2014 or Shi 2020, skewness test after Shi 2023).\n"
      "    n 20, min 2, median 6, max 14 -> sd 3.21158, estimated_mean 6.59447\n"
      "    --median qe, lognormal or auto: a skewed-data estimate beside the normal one\n"
      "    (QE after McGrath 2020, log-normal after Shi 2020), one of them in sd.\n"
      "  a mean with a range: n, mean and min and max, q1 and q3, or all four, and no\n"
      "    median (SD after Wan 2014 or Shi 2020).\n"
      "    n 20, mean 7, min 2, max 14 -> sd 3.21158\n"
      "  two groups: n1 and n2 with se; ci, or lower and upper; md with t; or md with p\n"
      "    (Cochrane Handbook 6.5.2.3): sd = SE / sqrt(1/n1 + 1/n2), with n1 + n2 - 2 df.\n"
      "    n1 12, n2 15, md 3.1, t 2.4 -> sd 3.33507 for each group\n"
      "  a paired difference: n and md with se, ci, lower and upper, t or p (paired t test,\n"
      "    n - 1 df): sd = SE * sqrt(n); with corr, sd_within = sd / sqrt(2 (1 - r)).\n"
      "    n 20, md 3.1, t 2.4 -> sd 5.77651\n"
      "  a change from baseline: sd_baseline and sd_final with corr (Handbook 6.5.2.8), or\n"
      "    with sd_change, which gives corr_estimated; --corr imputes a correlation.\n"
      "    sd_baseline 4, sd_final 5, corr 0.6 -> sd 4.12311\n"
      "  a ratio: or, rr or hr with lower and upper, or with p (Handbook 6.3.2), adding\n"
      "    log_ratio and se_log_ratio.\n"
      "    or 0.64, lower 0.33, upper 1.22 -> log_ratio -0.446287, se_log_ratio 0.333555\n"
      "  subgroups: n_1, mean_1, sd_1, n_2, ... combined in order (Handbook Table 6.5.a).\n"
      "    n_1 10, mean_1 5.2, sd_1 1.1, n_2 15, mean_2 6.1, sd_2 1.3\n"
      "      -> total_n 25, estimated_mean 5.74, sd 1.28144\n"
      "\n"
      "Two arms a row: the one-group names with an arm's suffix, as meta (n.e, sd.e, se.c),\n"
      "metamedian (med.g1) or metafor (n1i, m1i, sd1i) name them; each arm is converted as a\n"
      "row of its own, with its own results (method.e, sd_z1i, ...). An arm that gives only\n"
      "its n takes the SD common to both from the row's md with t or p, se, ci, or lower and\n"
      "upper of the difference.\n"
      "    n1i 12, n2i 15, md 3.1, t 2.4 -> sd1i 3.33507, sd2i 3.33507\n"
      "\n"
      "Exit status: 0 every row has an SD; 1 some row was refused (the output is complete);\n"
      "2 a usage error, an unreadable input or output, or a table that cannot be read.\n"
      "See man kelmory-batch for the rules.");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);
    return Complain(std::string(e.what()) + " (see --help)");
  }

  if (method != "t" && method != "z") return Complain("--method must be 't' or 'z' (see --help)");
  if (!delimiter.empty() && delimiter != "," && delimiter != ";" && delimiter != "tab")
    return Complain("--delimiter must be ',', ';' or 'tab' (see --help)");
  if (!decimal.empty() && decimal != "." && decimal != ",")
    return Complain("--decimal must be '.' or ',' (see --help)");

  BatchOptions options;
  options.method = method == "z" ? Method::Z : Method::T;
  options.working = working;
  if (delimiter == "tab") {
    options.delimiter = '\t';
  } else if (!delimiter.empty()) {
    options.delimiter = delimiter[0];
  }
  if (!decimal.empty()) options.decimal = decimal[0];
  char level_separator = '.';
  auto level = kelmory::batch::ParseCellNumber(level_text, '.', true);
  if (level.kind != kelmory::batch::CellNumber::Kind::Number) {
    level_separator = ',';
    level = kelmory::batch::ParseCellNumber(level_text, ',', true);
  }
  if (level.kind != kelmory::batch::CellNumber::Kind::Number || !(level.value > 0) ||
      !(level.value < 100)) {
    return Complain("--level must be a number strictly between 0 and 100, not '" + level_text +
                    "' (see --help)");
  }
  // 0.95 meant as a proportion would give an SD about 170 times too large.
  if (level.value < 1) {
    return Complain("--level is " + level_text + ": give it as a percentage, such as 95");
  }
  if (median == "qe") {
    options.median = kelmory::batch::MedianMethod::Qe;
  } else if (median == "lognormal") {
    options.median = kelmory::batch::MedianMethod::LogNormal;
  } else if (median == "auto") {
    options.median = kelmory::batch::MedianMethod::Auto;
  } else if (median != "normal") {
    return Complain("--median must be 'normal', 'qe', 'lognormal' or 'auto' (see --help)");
  }
  if (corr == "table") {
    options.corr = kelmory::batch::CorrImputation::Table;
  } else if (!corr.empty()) {
    auto r = kelmory::batch::ParseCellNumber(corr, '.');
    if (r.kind != kelmory::batch::CellNumber::Kind::Number)
      r = kelmory::batch::ParseCellNumber(corr, ',');
    if (r.kind != kelmory::batch::CellNumber::Kind::Number || !(r.value >= -1 && r.value <= 1)) {
      return Complain("--corr must be a correlation from -1 to 1 or 'table', not '" + corr +
                      "' (see --help)");
    }
    options.corr = kelmory::batch::CorrImputation::Value;
    options.imputed_corr = r.value;
  }
  // As typed: its critical values are those of its decimal text.
  options.level = kelmory::batch::Level::Read(level_text, level_separator).value_or(level.value);

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

  std::optional<kelmory::batch::OutputFile> file;
  if (!output.empty()) {
    kelmory::batch::RemoveTemporaryOnSignals();
    file.emplace(output);
    if (const auto error = file->Open()) return Complain(*error);
  }
  std::optional<std::string> write_error;

  int read_errno = 0;
  const auto read_input = [&](char* buffer, std::size_t size) -> std::ptrdiff_t {
    for (;;) {
      const ssize_t got = ::read(in, buffer, size);
      if (got >= 0 || errno != EINTR) {
        if (got < 0) read_errno = errno;
        return got;
      }
    }
  };
  // --corr table reads the input twice: a file from its start again, any
  // other input from memory.
  std::string held;
  std::size_t held_at = 0;
  const bool hold = options.corr == kelmory::batch::CorrImputation::Table &&
                    (!regular || ::lseek(in, 0, SEEK_CUR) < 0);
  const auto read_held = [&](char* buffer, std::size_t size) -> std::ptrdiff_t {
    const std::size_t n = std::min(size, held.size() - held_at);
    std::memcpy(buffer, held.data() + held_at, n);
    held_at += n;
    return static_cast<std::ptrdiff_t>(n);
  };
  const kelmory::batch::ByteSource source = [&](char* buffer, std::size_t size) {
    return hold ? read_held(buffer, size) : read_input(buffer, size);
  };
  if (options.corr == kelmory::batch::CorrImputation::Table) {
    if (hold) {
      std::vector<char> chunk(1 << 16);
      for (std::ptrdiff_t got; (got = read_input(chunk.data(), chunk.size())) > 0;)
        held.append(chunk.data(), static_cast<std::size_t>(got));
    }
    const auto first = kelmory::batch::RunBatch(
        source, [](std::string_view) { return true; }, options);
    options.imputed_corr = kelmory::batch::MeanCorrelation(first);
    options.corr_rows = first.correlations;
    if (hold) {
      held_at = 0;
    } else if (::lseek(in, 0, SEEK_SET) < 0) {
      return Complain("cannot read '" + input + "' again: " + std::strerror(errno));
    }
  }
  const auto summary = kelmory::batch::RunBatch(
      source,
      [&](std::string_view bytes) {
        write_error = file ? file->Write(bytes) : WriteAll(STDOUT_FILENO, bytes);
        return !write_error;
      },
      options, [&](std::uint64_t read) { progress(read); });
  if (from_file) ::close(in);

  if (summary.status == 2) {
    const std::string name = from_file ? "'" + input + "'" : "standard input";
    if (read_errno) return Complain("cannot read " + name + ": " + std::strerror(read_errno));
    if (write_error) return Complain(*write_error);
    // Where the input is at fault, say which input and where.
    if (summary.message.starts_with("line ")) return Complain(name + ", " + summary.message);
    return Complain(summary.message);
  }
  if (file) {
    if (const auto error = file->Commit()) return Complain(*error);
  }
  if (summary.encoding == "Windows-1252") {
    std::fprintf(stderr, "kelmory-batch: note: %s is not UTF-8; it was read as Windows-1252\n",
                 (from_file ? "'" + input + "'" : std::string("standard input")).c_str());
  }
  return summary.status;
}
