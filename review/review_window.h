#pragma once
// Kelmory Review: a table window over a whole review. The rows live in a
// ReviewModel (review_model.h), converted by the row rules kelmory-batch
// shares (rows/); files are read and written as kelmory-batch reads and writes
// them (table_file.h); clipboard blocks are spreadsheet text (table_text.h).

#include <QDateTime>
#include <QHash>
#include <QMainWindow>
#include <QString>
#include <memory>
#include <optional>

#include "review/file_guard.h"
#include "review/table_file.h"
#include "rows/row_rules.h"

namespace Ui {
class ReviewWindow;
}
class QLabel;
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
  // A given delimiter or decimal separator is taken instead of the one found.
  bool openFile(const QString& path, std::optional<char> delimiter = std::nullopt,
                std::optional<char> decimal = std::nullopt);
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
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void newTable();
  void openDialog();
  bool save();
  bool saveAs();
  bool saveOver();
  void exportXlsx();
  void copy();
  void cut();
  void clearCells();
  void paste();
  void pasteText(const QString& text);
  void insertRow();
  void deleteRows();
  void methodChosen(bool z);
  void levelChanged(double level);
  // As an undo step; applySettings shows them and recomputes.
  void changeSettings(batch::Method method, double level);
  void applySettings(batch::Method method, double level);
  // The median rows' estimate, an undo step as the method is.
  void medianChosen(batch::MedianMethod median);
  void applyMedian(batch::MedianMethod median);
  // The correlation change rows may take; Impute a Value asks for it.
  void correlationChosen(batch::CorrImputation corr);
  void applyCorrelation(batch::CorrImputation corr, std::optional<double> value);
  bool adviseLevel();
  bool reopen(std::optional<char> delimiter, std::optional<char> decimal);
  void reopenWith();
  void showGuide();
  void showAbout();
  void showText(const QString& title, const QString& html, const char* name);
  void fitToScreen();
  void showWorking();
  void showStatus();
  void showTitle();
  // Undo and Redo name the step they take, as "Undo Paste".
  void nameUndoSteps();
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
  std::optional<std::variant<review::LoadedTable, std::string>> loadTable(
      const QString& path, std::optional<char> delimiter = std::nullopt,
      std::optional<char> decimal = std::nullopt);

  std::unique_ptr<Ui::ReviewWindow> ui_;
  QUndoStack* undo_;
  review::ReviewModel* model_;
  QString path_;
  QLabel* summary_;
  QLabel* separators_;
  QString encoding_ = QStringLiteral("UTF-8");
  int toolbar_text_width_ = 0;  // the tool bar's width with its buttons' texts
  // Files opened without result columns, and for each whether Save may add
  // them to it: asked on its first Save, kept for the session.
  QHash<QString, std::optional<bool>> plain_files_;
  // The file as the table last read or wrote it.
  std::optional<review::FileStamp> stamp_;
  QFileSystemWatcher* watcher_;
  QTimer* autosave_;
  std::unique_ptr<review::RecoveryFile> recovery_;
  QDateTime changed_;
};

}  // namespace kelmory
