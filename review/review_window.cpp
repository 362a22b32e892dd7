#include "review/review_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QLocale>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QSessionManager>
#include <QSettings>
#include <QTimer>
#include <QUndoStack>
#include <atomic>
#include <thread>

#include "review/recovery.h"
#include "review/review_model.h"
#include "review/table_file.h"
#include "review/xlsx_export.h"
#include "ui_review_window.h"

namespace kelmory {
namespace {

constexpr int kRecentFiles = 8;
constexpr int kProgressAfterMs = 1000;
constexpr int kReadProgressAfterMs = 300;
// Edits are kept for recovery this long after the last one.
constexpr int kAutosaveMs = 2000;

QSettings Settings() {
  return QSettings(QStringLiteral("Kelmory"), QStringLiteral("kelmory-review"));
}

// Runs `work` on a thread of its own, so that a slow disk never stops the
// window; after a moment a dialog shows `label` with Cancel. Nullopt when
// cancelled, or when the program quits meanwhile: the work then stops at its
// next read.
template <class Result, class Work>
std::optional<Result> OffThread(QWidget* window, const QString& label, Work work) {
  struct Shared {
    std::atomic<bool> cancel{false}, done{false};
    std::optional<Result> result;
  };
  auto shared = std::make_shared<Shared>();
  std::thread([shared, work = std::move(work)]() mutable {
    shared->result.emplace(work(shared->cancel));
    shared->done = true;
  }).detach();
  QElapsedTimer clock;
  clock.start();
  std::unique_ptr<QProgressDialog> dialog;
  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (shared->done || (dialog && dialog->wasCanceled())) return loop.quit();
    // Tests set "progressAfterMs" to see the dialog without a long wait.
    const QVariant after = window->property("progressAfterMs");
    if (dialog || clock.elapsed() < (after.isValid() ? after.toInt() : kReadProgressAfterMs))
      return;
    dialog = std::make_unique<QProgressDialog>(label, QObject::tr("Cancel"), 0, 0, window);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setMinimumDuration(0);
    dialog->show();
  });
  poll.start(10);
  loop.exec();
  if (!shared->done) {
    shared->cancel = true;
    return std::nullopt;
  }
  return std::move(shared->result);
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

  watcher_ = new QFileSystemWatcher(this);
  autosave_ = new QTimer(this);
  autosave_->setSingleShot(true);
  autosave_->setInterval(kAutosaveMs);
  recovery_ = std::make_unique<review::RecoveryFile>();
  connect(watcher_, &QFileSystemWatcher::fileChanged, this, &ReviewWindow::fileChanged);
  connect(autosave_, &QTimer::timeout, this, &ReviewWindow::keepEdits);
  connect(undo_, &QUndoStack::indexChanged, this, &ReviewWindow::tableEdited);
  connect(undo_, &QUndoStack::cleanChanged, this, &ReviewWindow::tableEdited);
  connect(qApp, &QGuiApplication::commitDataRequest, this, &ReviewWindow::commitData);
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
  auto loaded = loadTable(path);
  if (!loaded) return false;  // cancelled
  if (const auto* error = std::get_if<std::string>(&*loaded)) {
    complain(tr("Cannot open “%1”: %2").arg(path, QString::fromStdString(*error)));
    return false;
  }
  auto& table = std::get<review::LoadedTable>(*loaded);
  std::vector<review::ReviewRow> rows;
  rows.reserve(table.rows.size());
  for (review::Record& cells : table.rows) rows.push_back({std::move(cells), {}});
  model_->Reset(std::move(table.header), std::move(rows), table.dialect);
  path_ = QFileInfo(path).absoluteFilePath();
  stamp_ = table.stamp;
  watch(path_);
  rememberRecent(path_);
  showTitle();
  ui_->studyTable->setCurrentIndex(model_->index(0, 0));
  return true;
}

bool ReviewWindow::saveFile(const QString& path) {
  if (const auto too_long = tooLongToSave()) {
    complain(*too_long);
    return false;
  }
  auto saved = review::SaveTable(QFile::encodeName(path).toStdString(), model_->InputText(),
                                 model_->dialect(), model_->method(), model_->level());
  if (const auto* error = std::get_if<std::string>(&saved)) {
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
  stamp_ = std::get<review::FileStamp>(saved);
  watch(path_);
  undo_->setClean();
  rememberRecent(path_);
  showTitle();
  return true;
}

bool ReviewWindow::save() {
  if (path_.isEmpty()) return saveAs();
  const auto now = OffThread<std::optional<review::FileStamp>>(
      this, tr("Reading “%1”…").arg(QFileInfo(path_).fileName()),
      [file = QFile::encodeName(path_).toStdString()](const std::atomic<bool>& cancel) {
        return review::StampOf(file, &cancel);
      });
  if (!now) return false;  // cancelled
  // A file that is gone, or as the table last read or wrote it.
  if (!stamp_ || !*now || **now == *stamp_) return saveFile(path_);
  QMessageBox box(
      QMessageBox::Warning, tr("Kelmory Review"),
      tr("The file “%1” has been changed since it was opened.").arg(QFileInfo(path_).fileName()),
      QMessageBox::NoButton, this);
  box.setInformativeText(
      tr("Another program has written to it. Overwrite its changes with this table, save the "
         "table under another name, or cancel?"));
  QPushButton* overwrite = box.addButton(tr("&Overwrite"), QMessageBox::DestructiveRole);
  QPushButton* save_as = box.addButton(tr("Save &As…"), QMessageBox::AcceptRole);
  box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(save_as);
  box.exec();
  // A box closed any other way is a Cancel.
  if (box.clickedButton() == save_as) return saveAs();
  return box.clickedButton() == overwrite && saveFile(path_);
}

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

std::optional<std::variant<review::LoadedTable, std::string>> ReviewWindow::loadTable(
    const QString& path) {
  return OffThread<std::variant<review::LoadedTable, std::string>>(
      this, tr("Reading “%1”…").arg(QFileInfo(path).fileName()),
      [file = QFile::encodeName(path).toStdString()](const std::atomic<bool>& cancel) {
        return review::LoadTable(file, &cancel);
      });
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
  auto parsed = review::ParseTabBlock(text.toStdString(), step(0, 300));
  if (dialog && dialog->wasCanceled()) return;
  if (const auto* error = std::get_if<review::BlockError>(&parsed)) {
    dialog.reset();
    using Kind = review::BlockError::Kind;
    const QString where =
        tr("Row %1, column %2 of the pasted cells").arg(error->row).arg(error->column);
    const QString why =
        error->kind == Kind::OpenQuote
            ? tr("%1 opens a quote (\") that is not closed within 1 MiB, so everything after it "
                 "would join into one cell. Remove the stray quote in the sheet, or close it, "
                 "then copy and paste again.")
        : error->kind == Kind::LongCell
            ? tr("%1 is longer than 1 MiB, more than a table file can hold in one cell. "
                 "Shorten it in the sheet, then copy and paste again.")
            : tr("The row that reaches %1 is longer than 2 MiB, more than a table file can "
                 "hold in one row. Shorten its cells in the sheet, then copy and paste again.");
    complain(tr("Nothing was pasted.") + QLatin1Char(' ') + why.arg(where));
    return;
  }
  model_->PasteBlock(std::get<std::vector<review::Record>>(std::move(parsed)),
                     ui_->studyTable->currentIndex(), step(300, 1000));
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
  autosave_->stop();
  recovery_->Remove();  // saved or discarded
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

void ReviewWindow::tableEdited() {
  if (undo_->isClean()) {
    autosave_->stop();
    recovery_->Remove();
    return;
  }
  changed_ = QDateTime::currentDateTime();
  // Not restarted by each edit: a steady stream of edits is kept as well.
  if (!autosave_->isActive()) autosave_->start();
}

void ReviewWindow::keepEdits() {
  autosave_->stop();
  if (undo_->isClean()) return;
  const review::Recovery recovery{path_, changed_, model_->dialect(), stamp_, model_->header(), {}};
  if (const auto error = recovery_->Write(recovery, model_->rows()))
    ui_->statusBar->showMessage(tr("The unsaved edits cannot be kept for recovery: %1")
                                    .arg(QString::fromStdString(*error)));
}

void ReviewWindow::keepEditsAndQuit() {
  keepEdits();
  saveSettings();
  // Leaves any open box's loop now, and the main loop even if it has not
  // started yet (a box at start-up).
  QCoreApplication::exit(0);
  QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

// A logout: the edits are kept without a question that could hold it up.
void ReviewWindow::commitData(QSessionManager& /*manager*/) { keepEdits(); }

bool ReviewWindow::offerRecovery() {
  for (const QString& file : review::RecoveryFile::Orphans()) {
    auto recovery = review::RecoveryFile::Read(file);
    if (!recovery) continue;  // not one of ours: left alone
    const QString table =
        recovery->path.isEmpty() ? tr("an untitled table") : tr("“%1”").arg(recovery->path);
    QMessageBox box(QMessageBox::Question, tr("Kelmory Review"),
                    tr("Kelmory Review ended before the edits to %1 were saved.").arg(table),
                    QMessageBox::NoButton, this);
    box.setInformativeText(tr("The last change was made on %1. Restore the edits, or discard them?")
                               .arg(QLocale().toString(recovery->changed, QLocale::ShortFormat)));
    QPushButton* restore = box.addButton(tr("&Restore"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(tr("&Discard"), QMessageBox::DestructiveRole);
    box.setDefaultButton(restore);
    box.exec();
    if (box.clickedButton() == discard) review::RecoveryFile::Discard(file);
    // A box closed any other way keeps the edits for the next start.
    if (box.clickedButton() != restore) continue;
    std::vector<review::ReviewRow> rows;
    rows.reserve(recovery->rows.size());
    for (review::Record& cells : recovery->rows) rows.push_back({std::move(cells), {}});
    model_->Reset(std::move(recovery->header), std::move(rows), recovery->dialect);
    path_ = recovery->path;
    stamp_ = recovery->stamp;
    watch(path_);
    changed_ = recovery->changed;
    undo_->resetClean();
    keepEdits();
    review::RecoveryFile::Discard(file);
    showTitle();
    ui_->studyTable->setCurrentIndex(model_->index(0, 0));
    return true;
  }
  return false;
}

void ReviewWindow::watch(const QString& path) {
  if (!watcher_->files().isEmpty()) watcher_->removePaths(watcher_->files());
  if (!path.isEmpty() && QFileInfo::exists(path)) watcher_->addPath(path);
}

void ReviewWindow::fileChanged() {
  // A file replaced through a rename is no longer watched: watch the new one.
  watch(path_);
  // Time and size only: a note needs no read of the whole file.
  const auto now = review::TimeAndSize(QFile::encodeName(path_).toStdString());
  if (stamp_ && now && *now != std::pair{stamp_->modified_ns, stamp_->size})
    ui_->statusBar->showMessage(
        tr("“%1” has been changed by another program; Save asks before it overwrites that.")
            .arg(QFileInfo(path_).fileName()));
}

// The file's reader takes no longer cell or row: a save must not write what
// it cannot open again.
std::optional<QString> ReviewWindow::tooLongToSave() const {
  const review::Record& header = model_->header();
  for (const review::ReviewRow& row : model_->rows()) {
    std::size_t bytes = 0;
    for (std::size_t c = 0; c < row.cells.size(); ++c) {
      bytes += row.cells[c].size() + 1;
      const bool cell = row.cells[c].size() > review::kMaxCellBytes;
      if (!cell && bytes <= review::kMaxRowBytes) continue;
      const QString study = QString::fromStdString(row.cells.empty() ? "" : row.cells[0]).left(80);
      const QString column = QString::fromStdString(c < header.size() ? header[c] : "");
      return cell ? tr("Cannot save: the study “%1” has a cell in the column “%2” longer than 1 "
                       "MiB, more than the file can hold. Shorten it, then save again.")
                        .arg(study, column)
                  : tr("Cannot save: the study “%1” has a row longer than 2 MiB, more than the "
                       "file can hold. Shorten its cells, then save again.")
                        .arg(study);
    }
  }
  return std::nullopt;
}

}  // namespace kelmory
