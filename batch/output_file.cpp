#include "batch/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace kelmory::batch {
namespace {

std::string Cause() { return std::strerror(errno); }

}  // namespace

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

std::optional<std::string> OutputFile::Open() {
  namespace fs = std::filesystem;
  // A link is written through: the file it names is replaced, the link stays.
  std::error_code error;
  fs::path target = fs::weakly_canonical(fs::absolute(path_), error);
  if (error) return error.message();
  target_ = target.string();

  struct stat info {};
  const bool exists = ::stat(target_.c_str(), &info) == 0;
  if (exists) {
    if (S_ISDIR(info.st_mode)) return std::string("it is a folder");
    if (!S_ISREG(info.st_mode)) return std::string("it is not a regular file");
    if (::access(target_.c_str(), W_OK) != 0) return Cause();
  } else if (errno != ENOENT) {
    return Cause();
  }

  std::string pattern =
      (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  fd_ = ::mkstemp(pattern.data());
  if (fd_ < 0) return Cause();
  temp_ = pattern;
  mode_t mode = 0;
  if (exists) {
    mode = info.st_mode & 07777;
  } else {
    // mkstemp makes the file private; give a new file the usual mode.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd_, mode) != 0) return Cause();
  return std::nullopt;
}

std::optional<std::string> OutputFile::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return Cause();
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return std::nullopt;
}

std::optional<std::string> OutputFile::Commit() {
  if (::fsync(fd_) != 0) return Cause();
  const int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0) return Cause();
  if (::rename(temp_.c_str(), target_.c_str()) != 0) return Cause();
  temp_.clear();
  return std::nullopt;
}

}  // namespace kelmory::batch
