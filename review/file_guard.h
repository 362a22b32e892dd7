#pragma once
// What the window knows about the file it shows: what it held when read or
// written, so that a change by another program is noticed before a save,
// and a read that refuses anything but a regular file and can be stopped.

#include <QCryptographicHash>
#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace kelmory::review {

struct FileStamp {
  std::int64_t size = 0;
  std::int64_t modified_ns = 0;
  std::array<unsigned char, 32> hash{};  // SHA-256 of the bytes
  bool operator==(const FileStamp&) const = default;
};

// A stamp made as the bytes pass, read or written.
class StampBuilder {
 public:
  void Add(std::string_view bytes);
  FileStamp Finish(std::int64_t modified_ns) const;

 private:
  QCryptographicHash hash_{QCryptographicHash::Sha256};
  std::int64_t size_ = 0;
};

// The file's modification time and size, without reading it.
std::optional<std::pair<std::int64_t, std::int64_t>> TimeAndSize(const std::string& path);

// The file as it is now; nullopt when it is gone or cannot be read.
std::optional<FileStamp> StampOf(const std::string& path,
                                 const std::atomic<bool>* cancel = nullptr);

struct FileBytes {
  std::string bytes;
  FileStamp stamp;
};

// The bytes of a regular file, never waiting on a FIFO, device or socket
// (refused with a reason instead). `cancel` set stops the read.
std::variant<FileBytes, std::string> ReadRegularFile(const std::string& path,
                                                     const std::atomic<bool>* cancel = nullptr);

}  // namespace kelmory::review
