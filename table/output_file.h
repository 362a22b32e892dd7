#pragma once
// Writing a whole file through what a path names, all or nothing: the
// program's -o and the review window's Save share it.

#include <optional>
#include <string>
#include <string_view>

namespace kelmory::batch {

// An all-or-nothing write through what a path names.
//  - A regular file (or a path that names nothing yet) is written under a
//    temporary name in its folder and renamed over it at Commit; a replaced
//    file keeps its permission bits and owner, and loses its other hard links.
//  - A symbolic link is followed: the file it points to is replaced, the link
//    stays.
//  - A device, FIFO or socket is written straight through.
//  - A file the user may not write is refused, not replaced.
// The temporary is named ".NAME.kelmory-PID.N": a later Open in the same
// folder removes those whose process is gone (left by a SIGKILL).
class OutputFile {
 public:
  explicit OutputFile(std::string path);
  ~OutputFile();  // removes its temporary file unless committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  std::optional<std::string> Open();  // nullopt on success, else one line naming the cause
  std::optional<std::string> Write(std::string_view bytes);  // same
  std::optional<std::string> Commit();                       // same
  // Where the bytes go until Commit, for a writer that opens files by name.
  const std::string& written_path() const { return temp_.empty() ? target_ : temp_; }

 private:
  std::string path_;    // as given, for messages
  std::string target_;  // what the path names once links are followed
  std::string temp_;    // empty when writing straight through
  int fd_ = -1;
  bool direct_ = false;
};

// Writes all of `bytes` to an open descriptor (standard output, say);
// nullopt on success, else one line naming the cause.
std::optional<std::string> WriteAll(int fd, std::string_view bytes);

// Makes SIGINT, SIGTERM and SIGHUP remove the open OutputFile's temporary
// file before the process ends by the signal as it would have.
void RemoveTemporaryOnSignals();

}  // namespace kelmory::batch
