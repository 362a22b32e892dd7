#pragma once
// Kelmory Review: a table window over a whole review. The rows live in a
// ReviewModel (review_model.h), converted by kelmory-batch's row rules
// (batch/); files are read and written as kelmory-batch reads and writes
// them (table_file.h); clipboard blocks are spreadsheet text (table_text.h).

#include <QHash>
#include <QMainWindow>
#include <QString>
#include <memory>
#include <optional>

#include "batch/row_rules.h"

namespace Ui {
class ReviewWindow;
}
class QLabel;
class QUndoStack;

namespace kelmory {

namespace review {
class ReviewModel;
}

class ReviewWindow final : public QMainWindow {
  Q_OBJECT

 public:
  explicit ReviewWindow(QWidget* parent = nullptr);
  ~ReviewWindow() override;

  // Open and Save As without their file dialogs: false, after a message,
  // when the file cannot be read or written (or Open is cancelled).
  bool openFile(const QString& path);
  bool saveFile(const QString& path);

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
  bool maybeSave();
  void complain(const QString& text);
  void rememberRecent(const QString& path);
  void showRecent();
  void saveSettings() const;
  void sizeColumns();

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
};

}  // namespace kelmory
