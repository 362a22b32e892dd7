#pragma once
// The output of a batch run written all or nothing: into a temporary file
// beside the file the path names (links followed), renamed over it at the
// end, with the mode of the file it replaces.

#include <optional>
#include <string>
#include <string_view>

namespace kelmory::batch {

class OutputFile {  // an all-or-nothing write through what a path names
 public:
  explicit OutputFile(std::string path);
  ~OutputFile();  // removes its temporary file unless committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  std::optional<std::string> Open();  // nullopt on success, else one line naming the cause
  std::optional<std::string> Write(std::string_view bytes);
  std::optional<std::string> Commit();

 private:
  std::string path_;
  std::string target_;
  std::string temp_;
  int fd_ = -1;
};

}  // namespace kelmory::batch
