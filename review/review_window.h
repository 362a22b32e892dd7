#pragma once
// Kelmory Review: a table window over a whole review. The rows live in a
// ReviewModel (review_model.h), converted by kelmory-batch's row rules
// (batch/); files are read and written as kelmory-batch reads and writes
// them (table_file.h); clipboard blocks are spreadsheet text (table_text.h).

#include <QMainWindow>
#include <QString>
#include <memory>

namespace Ui {
class ReviewWindow;
}
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

  std::unique_ptr<Ui::ReviewWindow> ui_;
  QUndoStack* undo_;
  review::ReviewModel* model_;
  QString path_;
};

}  // namespace kelmory
