#include "review/file_guard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <cerrno>
#include <cstring>

namespace kelmory::review {
namespace {

std::int64_t ModifiedNs(const struct stat& info) {
  return std::int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec;
}

// Why a path that is not a regular file cannot be opened as a table.
std::optional<std::string> NotAFile(mode_t mode) {
  if (S_ISREG(mode)) return std::nullopt;
  if (S_ISDIR(mode)) return "it is a folder";
  if (S_ISFIFO(mode)) return "it is a FIFO (a named pipe), not a file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a file";
  if (S_ISSOCK(mode)) return "it is a socket, not a file";
  return "it is not a regular file";
}

}  // namespace

void StampBuilder::Add(std::string_view bytes) {
  hash_.addData(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  size_ += static_cast<std::int64_t>(bytes.size());
}

FileStamp StampBuilder::Finish(std::int64_t modified_ns) const {
  FileStamp stamp;
  stamp.size = size_;
  stamp.modified_ns = modified_ns;
  const QByteArray hash = hash_.result();
  std::memcpy(stamp.hash.data(), hash.constData(), stamp.hash.size());
  return stamp;
}

std::optional<std::pair<std::int64_t, std::int64_t>> TimeAndSize(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return std::pair{ModifiedNs(info), std::int64_t{info.st_size}};
}

std::optional<FileStamp> StampOf(const std::string& path, const std::atomic<bool>* cancel) {
  auto read = ReadRegularFile(path, cancel);
  if (auto* file = std::get_if<FileBytes>(&read)) return file->stamp;
  return std::nullopt;
}

std::variant<FileBytes, std::string> ReadRegularFile(const std::string& path,
                                                     const std::atomic<bool>* cancel) {
  // Looked at before it is opened: opening a FIFO waits for a writer, and
  // opening a device may do something to it.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::string(std::strerror(errno));
  if (auto why = NotAFile(info.st_mode)) return *why;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return std::string(std::strerror(errno));
  // The path may have been replaced in between.
  if (::fstat(fd, &info) != 0) {
    const int error = errno;
    ::close(fd);
    return std::string(std::strerror(error));
  }
  if (auto why = NotAFile(info.st_mode)) {
    ::close(fd);
    return *why;
  }
  FileBytes file;
  StampBuilder stamp;
  file.bytes.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[1 << 16];
  for (;;) {
    if (cancel && cancel->load()) {
      ::close(fd);
      return std::string("the read was cancelled");
    }
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      ::close(fd);
      return std::string(std::strerror(error));
    }
    if (got == 0) break;
    file.bytes.append(buffer, static_cast<std::size_t>(got));
    stamp.Add(std::string_view(buffer, static_cast<std::size_t>(got)));
  }
  ::fstat(fd, &info);
  ::close(fd);
  file.stamp = stamp.Finish(ModifiedNs(info));
  return file;
}

}  // namespace kelmory::review
