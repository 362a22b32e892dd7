#pragma once
// Kelmory Review: a table window over a whole review. The rows live in a
// ReviewModel (review_model.h), converted by kelmory-batch's row rules
// (batch/); files are read and written as kelmory-batch reads and writes
// them (table_file.h); clipboard blocks are spreadsheet text (table_text.h).

#include <QDateTime>
#include <QMainWindow>
#include <QString>
#include <memory>
#include <optional>

#include "review/file_guard.h"
#include "review/table_file.h"

namespace Ui {
class ReviewWindow;
}
class QFileSystemWatcher;
class QSessionManager;
class QTimer;
class QUndoStack;

namespace kelmory {

namespace review {
class ReviewModel;
class RecoveryFile;
}  // namespace review

class ReviewWindow final : public QMainWindow {
  Q_OBJECT

 public:
  explicit ReviewWindow(QWidget* parent = nullptr);
  ~ReviewWindow() override;

  // Open and Save As without their file dialogs: false, after a message,
  // when the file cannot be read or written (or Open is cancelled).
  bool openFile(const QString& path);
  bool saveFile(const QString& path);
  // The edits a window that is gone left unsaved, offered to restore or
  // discard; true when restored.
  bool offerRecovery();
  // Keeps the unsaved edits for the next start, then quits without asking.
  void keepEditsAndQuit();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void newTable();
  void openDialog();
  bool save();
  bool saveAs();
  void exportXlsx();
  void copy();
  void paste();
  void insertRow();
  void deleteRows();
  void methodChosen();
  void levelChanged(double level);
  void showWorking();
  void showStatus();
  void showTitle();
  bool maybeSave();
  void complain(const QString& text);
  void rememberRecent(const QString& path);
  void showRecent();
  void saveSettings() const;
  void sizeColumns();
  void tableEdited();
  void keepEdits();
  void commitData(QSessionManager& manager);
  void watch(const QString& path);
  void fileChanged();
  std::optional<QString> tooLongToSave() const;
  std::optional<std::variant<review::LoadedTable, std::string>> loadTable(const QString& path);

  std::unique_ptr<Ui::ReviewWindow> ui_;
  QUndoStack* undo_;
  review::ReviewModel* model_;
  QString path_;
  // The file as the table last read or wrote it.
  std::optional<review::FileStamp> stamp_;
  QFileSystemWatcher* watcher_;
  QTimer* autosave_;
  std::unique_ptr<review::RecoveryFile> recovery_;
  QDateTime changed_;
};

}  // namespace kelmory
