#include "review/recovery.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <atomic>

#include "review/review_model.h"
#include "table/output_file.h"

namespace kelmory::review {
namespace {

constexpr quint32 kMagic = 0x4b524556;  // "KREV"
constexpr qint32 kVersion = 1;
const QString kSuffix = QStringLiteral(".recovery");

QString LockOf(const QString& path) { return path + QStringLiteral(".lock"); }

// The lock is taken without waiting: a free one means its window is gone.
int TakeLock(const QString& path) {
  const int fd =
      ::open(QFile::encodeName(LockOf(path)).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

std::string_view LineEnd(const QByteArray& text) {
  if (text == "\r\n") return "\r\n";
  if (text == "\r") return "\r";
  return "\n";
}

}  // namespace

QString RecoveryFolder() {
  const QString state = qEnvironmentVariable("XDG_STATE_HOME");
  if (!state.isEmpty() && QDir::isAbsolutePath(state))
    return state + QStringLiteral("/kelmory-review");
  return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
}

RecoveryFile::RecoveryFile() {
  static std::atomic<int> count{0};
  // The recovery files hold the reviewer's unsaved table: the folder is the
  // user's alone, as the state folder's rules ask.
  const QString folder = RecoveryFolder();
  if (!QDir(folder).exists() && QDir().mkpath(folder))
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  path_ =
      QStringLiteral("%1/%2-%3%4").arg(RecoveryFolder()).arg(::getpid()).arg(count++).arg(kSuffix);
  lock_ = TakeLock(path_);
}

RecoveryFile::~RecoveryFile() {
  if (lock_ < 0) return;
  // The edits stay on disk if they were not saved; only the lock goes.
  if (!QFile::exists(path_)) QFile::remove(LockOf(path_));
  ::close(lock_);
}

std::optional<std::string> RecoveryFile::Write(const Recovery& recovery,
                                               std::span<const ReviewRow> rows) {
  if (lock_ < 0) lock_ = TakeLock(path_);
  QByteArray about;
  QDataStream out(&about, QIODevice::WriteOnly);
  out.setVersion(QDataStream::Qt_6_4);
  out << kMagic << kVersion << recovery.path << recovery.changed.toMSecsSinceEpoch()
      << qint8(recovery.dialect.delimiter) << qint8(recovery.dialect.decimal)
      << QByteArray(recovery.dialect.line_end.data(), recovery.dialect.line_end.size())
      << recovery.dialect.bom << recovery.dialect.sep_line << recovery.stamp.has_value();
  if (recovery.stamp) {
    out << qint64(recovery.stamp->size) << qint64(recovery.stamp->modified_ns)
        << QByteArray(reinterpret_cast<const char*>(recovery.stamp->hash.data()),
                      recovery.stamp->hash.size());
  }
  batch::OutputFile file(QFile::encodeName(path_).toStdString());
  if (auto error = file.Open()) return error;
  // The cells go out as QDataStream reads them back (big-endian sizes), a
  // megabyte at a time: a large table is never copied whole.
  std::string chunk(about.constData(), about.size());
  const auto put = [&chunk](std::uint64_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
      chunk.push_back(static_cast<char>(value >> shift));
  };
  const auto put_cells = [&](const auto& cells) {
    put(cells.size(), 4);
    for (std::size_t i = 0; i < cells.size(); ++i) {
      put(cells[i].size(), 4);
      chunk += cells[i];
    }
  };
  put_cells(recovery.header);
  put(rows.size(), 8);
  for (const ReviewRow& row : rows) {
    put_cells(row.cells);
    if (chunk.size() < (1 << 20)) continue;
    if (auto error = file.Write(chunk)) return error;
    chunk.clear();
  }
  if (auto error = file.Write(chunk)) return error;
  return file.Commit();
}

void RecoveryFile::Remove() { QFile::remove(path_); }

std::vector<QString> RecoveryFile::Orphans() {
  std::vector<QString> orphans;
  const QDir folder(RecoveryFolder());
  // The lock of a window killed with nothing unsaved.
  for (const QFileInfo& lock : folder.entryInfoList({QStringLiteral("*") + kSuffix + ".lock"})) {
    QString file = lock.filePath();
    file.chop(5);
    if (QFile::exists(file)) continue;
    const int fd = TakeLock(file);
    if (fd < 0) continue;
    QFile::remove(lock.filePath());
    ::close(fd);
  }
  for (const QFileInfo& file : folder.entryInfoList({QStringLiteral("*") + kSuffix}, QDir::Files,
                                                    QDir::Time | QDir::Reversed)) {
    const int lock = TakeLock(file.filePath());
    if (lock < 0) continue;
    ::close(lock);
    orphans.push_back(file.filePath());
  }
  return orphans;
}

std::optional<Recovery> RecoveryFile::Read(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  QDataStream in(&file);
  in.setVersion(QDataStream::Qt_6_4);
  quint32 magic = 0;
  qint32 version = 0;
  in >> magic >> version;
  if (magic != kMagic || version != kVersion) return std::nullopt;
  Recovery recovery;
  qint64 changed = 0;
  qint8 delimiter = 0, decimal = 0;
  QByteArray line_end;
  bool has_stamp = false;
  in >> recovery.path >> changed >> delimiter >> decimal >> line_end >> recovery.dialect.bom >>
      recovery.dialect.sep_line >> has_stamp;
  if (has_stamp) {
    FileStamp stamp;
    qint64 size = 0, modified = 0;
    QByteArray hash;
    in >> size >> modified >> hash;
    stamp.size = size;
    stamp.modified_ns = modified;
    std::copy_n(hash.constData(), std::min<qsizetype>(hash.size(), stamp.hash.size()),
                stamp.hash.begin());
    recovery.stamp = stamp;
  }
  const auto get = [&in](std::vector<std::string>& cells) {
    quint32 count = 0;
    in >> count;
    for (quint32 c = 0; c < count && in.status() == QDataStream::Ok; ++c) {
      QByteArray cell;
      in >> cell;
      cells.emplace_back(cell.constData(), cell.size());
    }
  };
  get(recovery.header);
  quint64 rows = 0;
  in >> rows;
  std::vector<std::string> cells;
  for (quint64 r = 0; r < rows && in.status() == QDataStream::Ok; ++r) {
    cells.clear();
    get(cells);
    recovery.rows.emplace_back(cells);
  }
  if (in.status() != QDataStream::Ok) return std::nullopt;
  recovery.changed = QDateTime::fromMSecsSinceEpoch(changed);
  recovery.dialect.delimiter = static_cast<char>(delimiter);
  recovery.dialect.decimal = static_cast<char>(decimal);
  recovery.dialect.line_end = LineEnd(line_end);
  return recovery;
}

void RecoveryFile::Discard(const QString& path) {
  QFile::remove(path);
  QFile::remove(LockOf(path));
}

}  // namespace kelmory::review
