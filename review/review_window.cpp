#include "review/review_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QUndoStack>

#include "review/review_model.h"
#include "review/table_file.h"
#include "review/xlsx_export.h"
#include "ui_review_window.h"

namespace kelmory {
namespace {

constexpr int kRecentFiles = 8;
constexpr int kProgressAfterMs = 1000;

QSettings Settings() {
  return QSettings(QStringLiteral("Kelmory"), QStringLiteral("kelmory-review"));
}

}  // namespace

ReviewWindow::ReviewWindow(QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::ReviewWindow>()) {
  ui_->setupUi(this);
  undo_ = new QUndoStack(this);
  model_ = new review::ReviewModel(undo_, this);
  ui_->studyTable->setModel(model_);
  ui_->studyTable->verticalHeader()->setDefaultSectionSize(ui_->studyTable->fontMetrics().height() +
                                                           8);
  ui_->splitter->setStretchFactor(0, 4);
  ui_->splitter->setStretchFactor(1, 1);

  const std::pair<QAction*, QKeySequence::StandardKey> keys[] = {
      {ui_->actionNew, QKeySequence::New},     {ui_->actionOpen, QKeySequence::Open},
      {ui_->actionSave, QKeySequence::Save},   {ui_->actionSaveAs, QKeySequence::SaveAs},
      {ui_->actionQuit, QKeySequence::Quit},   {ui_->actionUndo, QKeySequence::Undo},
      {ui_->actionRedo, QKeySequence::Redo},   {ui_->actionCopy, QKeySequence::Copy},
      {ui_->actionPaste, QKeySequence::Paste},
  };
  for (const auto& [action, key] : keys) action->setShortcuts(key);
  ui_->actionInsertRow->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Plus));
  ui_->actionDeleteRows->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));

  auto* methods = new QActionGroup(this);
  methods->addAction(ui_->actionMethodT);
  methods->addAction(ui_->actionMethodZ);

  connect(ui_->actionNew, &QAction::triggered, this, &ReviewWindow::newTable);
  connect(ui_->actionOpen, &QAction::triggered, this, &ReviewWindow::openDialog);
  connect(ui_->actionSave, &QAction::triggered, this, &ReviewWindow::save);
  connect(ui_->actionSaveAs, &QAction::triggered, this, &ReviewWindow::saveAs);
  connect(ui_->actionExportXlsx, &QAction::triggered, this, &ReviewWindow::exportXlsx);
  connect(ui_->actionQuit, &QAction::triggered, this, &QWidget::close);
  connect(ui_->actionUndo, &QAction::triggered, undo_, &QUndoStack::undo);
  connect(ui_->actionRedo, &QAction::triggered, undo_, &QUndoStack::redo);
  connect(undo_, &QUndoStack::canUndoChanged, ui_->actionUndo, &QAction::setEnabled);
  connect(undo_, &QUndoStack::canRedoChanged, ui_->actionRedo, &QAction::setEnabled);
  connect(undo_, &QUndoStack::cleanChanged, this, &ReviewWindow::showTitle);
  connect(ui_->actionCopy, &QAction::triggered, this, &ReviewWindow::copy);
  connect(ui_->actionPaste, &QAction::triggered, this, &ReviewWindow::paste);
  connect(ui_->actionInsertRow, &QAction::triggered, this, &ReviewWindow::insertRow);
  connect(ui_->actionDeleteRows, &QAction::triggered, this, &ReviewWindow::deleteRows);
  connect(ui_->actionMethodT, &QAction::triggered, this, &ReviewWindow::methodChosen);
  connect(ui_->actionMethodZ, &QAction::triggered, this, &ReviewWindow::methodChosen);
  connect(ui_->levelBox, &QDoubleSpinBox::valueChanged, this, &ReviewWindow::levelChanged);
  connect(model_, &review::ReviewModel::tableChanged, this, &ReviewWindow::showStatus);
  connect(model_, &review::ReviewModel::tableChanged, this, &ReviewWindow::showWorking);
  connect(ui_->studyTable->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &ReviewWindow::showWorking);
  connect(ui_->menuRecent, &QMenu::aboutToShow, this, &ReviewWindow::showRecent);
  connect(model_, &QAbstractItemModel::modelReset, this, &ReviewWindow::sizeColumns);
  ui_->actionUndo->setEnabled(false);
  ui_->actionRedo->setEnabled(false);

  const QSettings settings = Settings();
  const bool z = settings.value(QStringLiteral("method")).toString() == QStringLiteral("z");
  (z ? ui_->actionMethodZ : ui_->actionMethodT)->setChecked(true);
  const double level = settings.value(QStringLiteral("level"), 95.0).toDouble();
  ui_->levelBox->setValue(level > 0 && level < 100 ? level : 95.0);
  model_->SetSettings(z ? batch::Method::Z : batch::Method::T, ui_->levelBox->value());
  ui_->methodLabel->setText(z ? tr("Method: z") : tr("Method: t"));
  sizeColumns();
  restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray());
  ui_->studyTable->horizontalHeader()->restoreState(
      settings.value(QStringLiteral("columns")).toByteArray());

  showStatus();
  showTitle();
  ui_->studyTable->setCurrentIndex(model_->index(0, 0));
}

ReviewWindow::~ReviewWindow() {
  // The children die after this class's part of the window: what they emit
  // on the way must not reach its handlers.
  for (QObject* child : findChildren<QObject*>())
    QObject::disconnect(child, nullptr, this, nullptr);
}

void ReviewWindow::complain(const QString& text) {
  QMessageBox::warning(this, tr("Kelmory Review"), text);
}

bool ReviewWindow::maybeSave() {
  if (undo_->isClean()) return true;
  QMessageBox box(QMessageBox::Warning, tr("Kelmory Review"),
                  tr("The table has changes that are not saved."),
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
  box.setInformativeText(tr("Save them first?"));
  box.setDefaultButton(QMessageBox::Save);
  box.exec();
  // A box closed any other way is a Cancel.
  const auto* clicked = box.clickedButton();
  if (clicked == box.button(QMessageBox::Save)) return save();
  return clicked == box.button(QMessageBox::Discard);
}

void ReviewWindow::newTable() {
  if (!maybeSave()) return;
  model_->Reset(review::ReviewModel::NewHeader(), {}, review::ReviewModel::NewDialect());
  path_.clear();
  showTitle();
}

void ReviewWindow::openDialog() {
  const QString path =
      QFileDialog::getOpenFileName(this, tr("Open a table"), QFileInfo(path_).path(),
                                   tr("CSV tables (*.csv *.txt);;All files (*)"));
  if (!path.isEmpty()) openFile(path);
}

bool ReviewWindow::openFile(const QString& path) {
  if (!maybeSave()) return false;
  auto loaded = review::LoadTable(QFile::encodeName(path).toStdString());
  if (const auto* error = std::get_if<std::string>(&loaded)) {
    complain(tr("Cannot open “%1”: %2").arg(path, QString::fromStdString(*error)));
    return false;
  }
  auto& table = std::get<review::LoadedTable>(loaded);
  std::vector<review::ReviewRow> rows;
  rows.reserve(table.rows.size());
  for (review::Record& cells : table.rows) rows.push_back({std::move(cells), {}});
  model_->Reset(std::move(table.header), std::move(rows), table.dialect);
  path_ = QFileInfo(path).absoluteFilePath();
  rememberRecent(path_);
  showTitle();
  ui_->studyTable->setCurrentIndex(model_->index(0, 0));
  return true;
}

bool ReviewWindow::saveFile(const QString& path) {
  const auto error = review::SaveTable(QFile::encodeName(path).toStdString(), model_->InputText(),
                                       model_->dialect(), model_->method(), model_->level());
  if (error) {
    // The output file's own line names the file, with its cause.
    QString text = QString::fromStdString(*error);
    if (text.contains(QLatin1Char('\'') + path + QLatin1Char('\''))) {
      text[0] = text[0].toUpper();
    } else {
      text = tr("Cannot save “%1”: %2").arg(path, text);
    }
    complain(text);
    return false;
  }
  path_ = QFileInfo(path).absoluteFilePath();
  undo_->setClean();
  rememberRecent(path_);
  showTitle();
  return true;
}

bool ReviewWindow::save() { return path_.isEmpty() ? saveAs() : saveFile(path_); }

bool ReviewWindow::saveAs() {
  const QString path = QFileDialog::getSaveFileName(this, tr("Save the table"),
                                                    path_.isEmpty() ? tr("review.csv") : path_,
                                                    tr("CSV tables (*.csv)"));
  return !path.isEmpty() && saveFile(path);
}

void ReviewWindow::exportXlsx() {
  QString suggested = path_.isEmpty() ? tr("review.xlsx") : path_;
  if (suggested.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) suggested.chop(4);
  if (!suggested.endsWith(QStringLiteral(".xlsx"))) suggested += QStringLiteral(".xlsx");
  const QString path = QFileDialog::getSaveFileName(this, tr("Export as .xlsx"), suggested,
                                                    tr("Excel workbooks (*.xlsx)"));
  if (path.isEmpty()) return;
  if (const auto error = review::ExportXlsx(*model_, QFile::encodeName(path).toStdString()))
    complain(tr("Cannot export “%1”: %2").arg(path, QString::fromStdString(*error)));
}

void ReviewWindow::copy() {
  const QItemSelectionModel* selection = ui_->studyTable->selectionModel();
  QModelIndexList cells = selection->selectedIndexes();
  if (cells.isEmpty() && selection->currentIndex().isValid()) cells = {selection->currentIndex()};
  bool whole_rows = !cells.isEmpty();
  for (const QModelIndex& cell : cells) whole_rows &= selection->isRowSelected(cell.row());
  const std::string block = model_->CopyBlock(cells, whole_rows);
  if (!block.empty()) QApplication::clipboard()->setText(QString::fromStdString(block));
}

// A long paste shows a dialog with Cancel once it has taken a second, and
// keeps the window painting meanwhile: the table changes only at the end.
void ReviewWindow::paste() {
  const QString text = QApplication::clipboard()->text();
  if (text.isEmpty()) return;
  QElapsedTimer clock;
  clock.start();
  std::unique_ptr<QProgressDialog> dialog;
  const auto step = [&](int from, int to) {
    return [&, from, to](std::size_t done, std::size_t total) {
      if (!dialog) {
        // Tests set "progressAfterMs" to see the dialog without a long wait.
        const QVariant after = property("progressAfterMs");
        if (clock.elapsed() < (after.isValid() ? after.toInt() : kProgressAfterMs)) return true;
        dialog =
            std::make_unique<QProgressDialog>(tr("Pasting the rows…"), tr("Cancel"), 0, 1000, this);
        dialog->setWindowModality(Qt::WindowModal);
        dialog->setMinimumDuration(0);
      }
      dialog->setValue(from + static_cast<int>((to - from) * (double(done) / double(total))));
      QApplication::processEvents();
      return !dialog->wasCanceled();
    };
  };
  auto block = review::ParseTabBlock(text.toStdString(), step(0, 300));
  if (dialog && dialog->wasCanceled()) return;
  model_->PasteBlock(std::move(block), ui_->studyTable->currentIndex(), step(300, 1000));
}

void ReviewWindow::insertRow() {
  const QModelIndex current = ui_->studyTable->currentIndex();
  const int row = current.isValid() ? current.row() : model_->storedRows();
  model_->InsertRow(row);
  ui_->studyTable->selectionModel()->setCurrentIndex(
      model_->index(row, std::max(current.column(), 0)), QItemSelectionModel::ClearAndSelect);
}

void ReviewWindow::deleteRows() {
  const QItemSelectionModel* selection = ui_->studyTable->selectionModel();
  // The selected rows, or the current one when it lies outside the selection.
  std::vector<int> rows;
  const QModelIndex current = selection->currentIndex();
  if (current.isValid() && !selection->isSelected(current)) {
    rows.push_back(current.row());
  } else {
    for (const QModelIndex& cell : selection->selectedIndexes()) rows.push_back(cell.row());
  }
  model_->DeleteRows(std::move(rows));
}

void ReviewWindow::methodChosen() {
  const bool z = ui_->actionMethodZ->isChecked();
  ui_->methodLabel->setText(z ? tr("Method: z") : tr("Method: t"));
  model_->SetSettings(z ? batch::Method::Z : batch::Method::T, ui_->levelBox->value());
  saveSettings();
}

void ReviewWindow::levelChanged(double level) {
  model_->SetSettings(model_->method(), level);
  saveSettings();
}

void ReviewWindow::showWorking() {
  ui_->workingText->setPlainText(model_->workingText(ui_->studyTable->currentIndex().row()));
}

void ReviewWindow::showStatus() {
  const review::Tally tally = model_->tally();
  const QString rows = tally.rows == 1 ? tr("1 row") : tr("%1 rows").arg(tally.rows);
  ui_->statusBar->showMessage(
      tr("%1, %2 with a warning, %3 refused").arg(rows).arg(tally.warnings).arg(tally.refused));
}

void ReviewWindow::showTitle() {
  const QString name = path_.isEmpty() ? tr("Untitled") : QFileInfo(path_).fileName();
  setWindowTitle(tr("%1[*] — Kelmory Review").arg(name));
  setWindowModified(!undo_->isClean());
}

void ReviewWindow::rememberRecent(const QString& path) {
  QSettings settings = Settings();
  QStringList recent = settings.value(QStringLiteral("recentFiles")).toStringList();
  recent.removeAll(path);
  recent.prepend(path);
  while (recent.size() > kRecentFiles) recent.removeLast();
  settings.setValue(QStringLiteral("recentFiles"), recent);
}

void ReviewWindow::showRecent() {
  ui_->menuRecent->clear();
  const QStringList recent = Settings().value(QStringLiteral("recentFiles")).toStringList();
  for (const QString& path : recent) {
    QAction* action = ui_->menuRecent->addAction(QFileInfo(path).fileName());
    action->setToolTip(path);
    connect(action, &QAction::triggered, this, [this, path] { openFile(path); });
  }
  ui_->menuRecent->setEnabled(!recent.isEmpty());
}

// Wide enough for the shortest text of any double in the result columns,
// for a sentence in the messages, for the name elsewhere.
void ReviewWindow::sizeColumns() {
  const QFontMetrics metrics = ui_->studyTable->fontMetrics();
  const auto chars = [&](int count) { return metrics.horizontalAdvance(QString(count, '0')) + 12; };
  QHeaderView* header = ui_->studyTable->horizontalHeader();
  for (int c = 0; c < model_->columnCount(); ++c) {
    const QString name = model_->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    int width = std::max(chars(6), metrics.horizontalAdvance(name) + 24);
    if (!model_->isResultColumn(c) && model_->KindOf(c) == review::kText) width = chars(14);
    const bool short_text = name == QStringLiteral("method") || name == QStringLiteral("df");
    if (model_->isResultColumn(c) && !short_text) width = std::max(width, chars(19));
    if (name == QStringLiteral("warning") || name == QStringLiteral("refusal")) width = chars(40);
    header->resizeSection(c, width);
  }
}

void ReviewWindow::saveSettings() const {
  QSettings settings = Settings();
  settings.setValue(QStringLiteral("method"), model_->method() == batch::Method::Z
                                                  ? QStringLiteral("z")
                                                  : QStringLiteral("t"));
  settings.setValue(QStringLiteral("level"), model_->level());
  settings.setValue(QStringLiteral("geometry"), saveGeometry());
  settings.setValue(QStringLiteral("columns"), ui_->studyTable->horizontalHeader()->saveState());
}

void ReviewWindow::closeEvent(QCloseEvent* event) {
  if (!maybeSave()) {
    event->ignore();
    return;
  }
  saveSettings();
  event->accept();
}

void ReviewWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() == 1 && urls.front().isLocalFile()) event->acceptProposedAction();
}

void ReviewWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.size() != 1 || !urls.front().isLocalFile()) return;
  event->acceptProposedAction();
  openFile(urls.front().toLocalFile());
}

void ReviewWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::LocaleChange) model_->Recompute();
}

}  // namespace kelmory
