#include "table/output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>

namespace kelmory::batch {
namespace {

// The temporary file a signal handler must remove: a fixed buffer, as the
// handler may not allocate.
char g_temp[PATH_MAX];
std::atomic<bool> g_has_temp{false};

void Register(const std::string& temp) {
  if (temp.size() >= sizeof g_temp) return;
  g_has_temp = false;
  std::memcpy(g_temp, temp.c_str(), temp.size() + 1);
  g_has_temp = true;
}

void Unregister() { g_has_temp = false; }

void OnSignal(int signal) {
  if (g_has_temp) ::unlink(g_temp);
  // The handler was reset on entry: the signal ends the process as usual
  // once this handler returns.
  ::raise(signal);
}

std::string Quote(std::string_view path) { return "'" + std::string(path) + "'"; }

std::string Cause(std::string_view path) {
  return "cannot write " + Quote(path) + ": " + std::strerror(errno);
}

std::string Folder(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Follows symbolic links to what they finally name, which may not exist
// yet. Fails like open() would on a loop.
bool FollowLinks(std::string& path, struct stat& info, bool& exists) {
  for (int hops = 0; hops < 40; ++hops) {
    if (::lstat(path.c_str(), &info) != 0) {
      if (errno != ENOENT) return false;
      exists = false;
      return true;
    }
    if (!S_ISLNK(info.st_mode)) {
      exists = true;
      return true;
    }
    std::string link(PATH_MAX, '\0');
    const ssize_t size = ::readlink(path.c_str(), link.data(), link.size());
    if (size < 0) return false;
    link.resize(static_cast<std::size_t>(size));
    path = link.starts_with('/') ? link : Folder(path) + "/" + link;
  }
  errno = ELOOP;
  return false;
}

constexpr std::string_view kTempMark = ".kelmory-";

// The pid in a temporary's name ".NAME.kelmory-PID.N", or 0.
pid_t TemporaryPid(std::string_view name) {
  if (!name.starts_with('.')) return 0;
  const std::size_t mark = name.rfind(kTempMark);
  if (mark == std::string_view::npos || mark < 2) return 0;
  const char* first = name.data() + mark + kTempMark.size();
  const char* last = name.data() + name.size();
  pid_t pid = 0;
  const auto [dot, error] = std::from_chars(first, last, pid);
  if (error != std::errc() || dot == last || *dot != '.' || pid <= 0) return 0;
  unsigned attempt = 0;
  const auto [end, error2] = std::from_chars(dot + 1, last, attempt);
  return error2 == std::errc() && end == last ? pid : 0;
}

// Removes the temporaries of this program's processes that are gone: a
// SIGKILL leaves them, as no handler runs.
void RemoveStaleTemporaries(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir)) {
    const pid_t pid = TemporaryPid(entry->d_name);
    if (pid == 0 || pid == ::getpid()) continue;
    if (::kill(pid, 0) == 0 || errno != ESRCH) continue;
    struct stat info {};
    const std::string path = folder + "/" + entry->d_name;
    if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid())
      ::unlink(path.c_str());
  }
  ::closedir(dir);
}

}  // namespace

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!temp_.empty()) {
    Unregister();
    ::unlink(temp_.c_str());
  }
}

std::optional<std::string> OutputFile::Open() {
  target_ = path_;
  struct stat info {};
  bool exists = false;
  if (!FollowLinks(target_, info, exists)) return Cause(path_);
  if (exists && S_ISDIR(info.st_mode)) return "cannot write " + Quote(path_) + ": it is a folder";
  if (exists && !S_ISREG(info.st_mode)) {
    // A device, FIFO or socket: no temporary file could take its place.
    fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0) return Cause(path_);
    direct_ = true;
    return std::nullopt;
  }
  if (exists && ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) {
    if (errno == EACCES) return Quote(path_) + " is read-only";
    return Cause(path_);
  }

  // A replaced file's data is never more readable than the file was, not even
  // while it is written.
  const mode_t mode = exists ? (info.st_mode & 0777) : 0666;
  const std::size_t slash = target_.rfind('/');
  const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  RemoveStaleTemporaries(Folder(target_));
  const std::string stem =
      Folder(target_) + "/." + base + std::string(kTempMark) + std::to_string(::getpid()) + ".";
  // A signal between creating the file and registering it would leave the
  // file behind: hold the signals back until the handler knows its name.
  sigset_t held, previous;
  sigemptyset(&held);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, signal);
  ::sigprocmask(SIG_BLOCK, &held, &previous);
  for (unsigned attempt = 0; fd_ < 0; ++attempt) {
    std::string name = stem + std::to_string(attempt);
    fd_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd_ >= 0) {
      temp_ = std::move(name);
    } else if (errno != EEXIST || attempt > 1000) {
      std::string cause = Cause(path_);
      ::sigprocmask(SIG_SETMASK, &previous, nullptr);
      return cause;
    }
  }
  Register(temp_);
  ::sigprocmask(SIG_SETMASK, &previous, nullptr);
  if (exists) {
    // The owner may fail for an ordinary user, who then owns the new file.
    if (info.st_uid != ::geteuid() || info.st_gid != ::getegid()) [[maybe_unused]]
      const int owned = ::fchown(fd_, info.st_uid, info.st_gid);
    if (::fchmod(fd_, info.st_mode & 07777) != 0) return Cause(path_);
  }
  return std::nullopt;
}

std::optional<std::string> OutputFile::Write(std::string_view bytes) {
  return WriteAll(fd_, bytes);
}

std::optional<std::string> WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return std::string("cannot write the output: ") + std::strerror(errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return std::nullopt;
}

std::optional<std::string> OutputFile::Commit() {
  // fsync: the rename must not reach the disk before the data does.
  const bool synced = direct_ || ::fsync(fd_) == 0;
  const int sync_errno = errno;
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  if (!synced) errno = sync_errno;
  if (!synced || !closed) return std::string("cannot write the output: ") + std::strerror(errno);
  if (direct_) return std::nullopt;
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    return "cannot replace " + Quote(path_) + ": " + std::strerror(errno);
  }
  Unregister();
  temp_.clear();
  return std::nullopt;
}

void RemoveTemporaryOnSignals() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    // A signal ignored from the start (nohup, a background job) stays so.
    struct sigaction old {};
    if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
}

}  // namespace kelmory::batch
