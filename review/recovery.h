#pragma once
// Unsaved edits kept on disk while the window runs, so that a kill, a lost
// display or a logout costs at most the last few seconds: one file per
// window in the user's state folder, each held by a lock while its window
// lives. A file whose lock is free was left by a window that is gone.

#include <QDateTime>
#include <QString>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "review/file_guard.h"
#include "table/batch_run.h"
#include "table/packed_cells.h"

namespace kelmory::table {
struct StudyRow;
}  // namespace kelmory::table

namespace kelmory::review {

struct Recovery {
  QString path;  // the table's file, empty for an untitled table
  QDateTime changed;
  batch::Dialect dialect;
  std::optional<FileStamp> stamp;  // the file as the table last read or wrote it
  std::vector<std::string> header;
  std::vector<table::PackedCells> rows;  // as read back; written from a model's rows
};

// $XDG_STATE_HOME/kelmory-review, or the program's data folder without it.
QString RecoveryFolder();

class RecoveryFile {
 public:
  RecoveryFile();
  ~RecoveryFile();
  RecoveryFile(const RecoveryFile&) = delete;
  RecoveryFile& operator=(const RecoveryFile&) = delete;

  // `recovery` with `rows` for its rows, written all or nothing; nullopt on
  // success, else the cause.
  std::optional<std::string> Write(const Recovery& recovery, std::span<const table::StudyRow> rows);
  void Remove();

  // The files of windows that are gone, oldest first.
  static std::vector<QString> Orphans();
  static std::optional<Recovery> Read(const QString& path);
  // Removes an orphan once restored or discarded.
  static void Discard(const QString& path);

 private:
  QString path_;
  int lock_ = -1;
};

}  // namespace kelmory::review
