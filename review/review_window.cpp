#include "review/review_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QSessionManager>
#include <QSettings>
#include <QShowEvent>
#include <QSizeGrip>
#include <QSplitterHandle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUndoStack>
#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

#include "credits/credits_texts.h"
#include "review/recovery.h"
#include "review/review_guide.h"
#include "review/review_model.h"
#include "review/table_file.h"
#include "review/xlsx_export.h"
#include "rows/cell_number.h"
#include "ui_help_dialog.h"
#include "ui_reopen_dialog.h"
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

// A change of the method or the default level: it changes every result, so
// it is undone like any edit. Level steps in a row make one.
class SettingsCommand final : public QUndoCommand {
 public:
  using Apply = std::function<void(batch::Method, double)>;
  SettingsCommand(Apply apply, batch::Method from_method, double from_level,
                  batch::Method to_method, double to_level)
      : QUndoCommand(QObject::tr("Change Settings")),
        apply_(std::move(apply)),
        from_{from_method, from_level},
        to_{to_method, to_level} {}
  void redo() override { apply_(to_.first, to_.second); }
  void undo() override { apply_(from_.first, from_.second); }
  int id() const override { return 1; }
  bool mergeWith(const QUndoCommand* other) override {
    const auto* next = static_cast<const SettingsCommand*>(other);
    if (next->to_.first != to_.first || next->from_.first != from_.first) return false;
    to_ = next->to_;
    return true;
  }

 private:
  Apply apply_;
  std::pair<batch::Method, double> from_, to_;
};

// A change of the median rows' estimate, undone as the method is.
class MedianCommand final : public QUndoCommand {
 public:
  using Apply = std::function<void(batch::MedianMethod)>;
  MedianCommand(Apply apply, batch::MedianMethod from, batch::MedianMethod to)
      : QUndoCommand(QObject::tr("Change Median Estimate")),
        apply_(std::move(apply)),
        from_(from),
        to_(to) {}
  void redo() override { apply_(to_); }
  void undo() override { apply_(from_); }

 private:
  Apply apply_;
  batch::MedianMethod from_, to_;
};

// A change of the imputed correlation, undone as the method is.
class CorrelationCommand final : public QUndoCommand {
 public:
  using Choice = std::pair<batch::CorrImputation, std::optional<double>>;
  using Apply = std::function<void(batch::CorrImputation, std::optional<double>)>;
  CorrelationCommand(Apply apply, Choice from, Choice to)
      : QUndoCommand(QObject::tr("Change Correlation")),
        apply_(std::move(apply)),
        from_(from),
        to_(to) {}
  void redo() override { apply_(to_.first, to_.second); }
  void undo() override { apply_(from_.first, from_.second); }

 private:
  Apply apply_;
  Choice from_, to_;
};

QString DelimiterName(char delimiter) {
  switch (delimiter) {
    case ',':
      return QObject::tr("comma-separated");
    case ';':
      return QObject::tr("semicolon-separated");
    case '\t':
      return QObject::tr("tab-separated");
    default:
      return QObject::tr("separated by “%1”").arg(QChar::fromLatin1(delimiter));
  }
}

// The text of a credits string for a box that wraps its own lines: a line
// that ends in a blank goes on in the next one, headings keep theirs.
QString PlainText(std::string_view text) {
  QString plain = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  plain.replace(QStringLiteral(" \r\n"), QStringLiteral(" "));
  plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return plain.trimmed();
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
  // Every part a screen reader reaches has a name: the dividers (the first
  // is never shown), the tool bar's overflow button, the size grip.
  for (int i = 0; i < ui_->splitter->count(); ++i)
    ui_->splitter->handle(i)->setAccessibleName(tr("Divider between the table and the working"));
  for (auto* more :
       ui_->toolBar->findChildren<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
    more->setAccessibleName(tr("More tools"));
  for (auto* grip : ui_->statusBar->findChildren<QSizeGrip*>())
    grip->setAccessibleName(tr("Resize the window"));
  // Permanent: a menu's hint does not take the summary away. Without a
  // stretch, as a stretch would leave no room for the messages on its left.
  summary_ = new QLabel(this);
  summary_->setObjectName(QStringLiteral("summaryLabel"));
  separators_ = new QLabel(this);
  separators_->setObjectName(QStringLiteral("separatorsLabel"));
  ui_->statusBar->addPermanentWidget(summary_);
  ui_->statusBar->addPermanentWidget(separators_);

  const std::pair<QAction*, QKeySequence::StandardKey> keys[] = {
      {ui_->actionNew, QKeySequence::New},      {ui_->actionOpen, QKeySequence::Open},
      {ui_->actionSave, QKeySequence::Save},    {ui_->actionSaveAs, QKeySequence::SaveAs},
      {ui_->actionQuit, QKeySequence::Quit},    {ui_->actionUndo, QKeySequence::Undo},
      {ui_->actionRedo, QKeySequence::Redo},    {ui_->actionCopy, QKeySequence::Copy},
      {ui_->actionPaste, QKeySequence::Paste},  {ui_->actionCut, QKeySequence::Cut},
      {ui_->actionClear, QKeySequence::Delete}, {ui_->actionGuide, QKeySequence::HelpContents},
  };
  for (const auto& [action, key] : keys) action->setShortcuts(key);
  // Where the desktop has no key of its own for these, the common one.
  if (ui_->actionSaveAs->shortcuts().isEmpty())
    ui_->actionSaveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  if (ui_->actionGuide->shortcuts().isEmpty()) ui_->actionGuide->setShortcut(Qt::Key_F1);
  // Ctrl+Y redoes too, unless the desktop gives it another use.
  const QKeySequence ctrl_y(Qt::CTRL | Qt::Key_Y);
  bool taken = false;
  for (int key = QKeySequence::HelpContents; key <= QKeySequence::Cancel; ++key) {
    taken |=
        key != QKeySequence::Redo &&
        QKeySequence::keyBindings(static_cast<QKeySequence::StandardKey>(key)).contains(ctrl_y);
  }
  if (!taken && !ui_->actionRedo->shortcuts().contains(ctrl_y))
    ui_->actionRedo->setShortcuts(ui_->actionRedo->shortcuts() << ctrl_y);
  // Delete and Cut act on the table's cells, not on the working text.
  for (QAction* action : {ui_->actionClear, ui_->actionCut}) {
    ui_->studyTable->addAction(action);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  }
  ui_->actionInsertRow->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Plus));
  ui_->actionDeleteRows->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));

  auto* methods = new QActionGroup(this);
  methods->addAction(ui_->actionMethodT);
  methods->addAction(ui_->actionMethodZ);
  auto* medians = new QActionGroup(this);
  for (QAction* action : {ui_->actionMedianNormal, ui_->actionMedianQe, ui_->actionMedianLogNormal,
                          ui_->actionMedianAuto})
    medians->addAction(action);
  auto* correlations = new QActionGroup(this);
  for (QAction* action : {ui_->actionCorrNone, ui_->actionCorrValue, ui_->actionCorrTable})
    correlations->addAction(action);
  auto* buttons = new QButtonGroup(this);
  buttons->addButton(ui_->methodTButton);
  buttons->addButton(ui_->methodZButton);

  connect(ui_->actionNew, &QAction::triggered, this, &ReviewWindow::newTable);
  connect(ui_->actionOpen, &QAction::triggered, this, &ReviewWindow::openDialog);
  connect(ui_->actionReopen, &QAction::triggered, this, &ReviewWindow::reopenWith);
  connect(ui_->actionSave, &QAction::triggered, this, &ReviewWindow::save);
  connect(ui_->actionSaveAs, &QAction::triggered, this, &ReviewWindow::saveAs);
  connect(ui_->actionExportXlsx, &QAction::triggered, this, &ReviewWindow::exportXlsx);
  connect(ui_->actionQuit, &QAction::triggered, this, &QWidget::close);
  connect(ui_->actionUndo, &QAction::triggered, undo_, &QUndoStack::undo);
  connect(ui_->actionRedo, &QAction::triggered, undo_, &QUndoStack::redo);
  connect(undo_, &QUndoStack::canUndoChanged, ui_->actionUndo, &QAction::setEnabled);
  connect(undo_, &QUndoStack::canRedoChanged, ui_->actionRedo, &QAction::setEnabled);
  connect(undo_, &QUndoStack::cleanChanged, this, &ReviewWindow::showTitle);
  connect(undo_, &QUndoStack::undoTextChanged, this, &ReviewWindow::nameUndoSteps);
  connect(undo_, &QUndoStack::redoTextChanged, this, &ReviewWindow::nameUndoSteps);
  connect(ui_->actionCopy, &QAction::triggered, this, &ReviewWindow::copy);
  connect(ui_->actionCut, &QAction::triggered, this, &ReviewWindow::cut);
  connect(ui_->actionPaste, &QAction::triggered, this, &ReviewWindow::paste);
  connect(ui_->actionClear, &QAction::triggered, this, &ReviewWindow::clearCells);
  connect(ui_->studyTable, &ReviewTable::textDropped, this, &ReviewWindow::pasteText);
  connect(ui_->actionInsertRow, &QAction::triggered, this, &ReviewWindow::insertRow);
  connect(ui_->actionDeleteRows, &QAction::triggered, this, &ReviewWindow::deleteRows);
  connect(ui_->actionMethodT, &QAction::triggered, this, [this] { methodChosen(false); });
  connect(ui_->actionMethodZ, &QAction::triggered, this, [this] { methodChosen(true); });
  connect(ui_->methodTButton, &QRadioButton::clicked, this, [this] { methodChosen(false); });
  connect(ui_->methodZButton, &QRadioButton::clicked, this, [this] { methodChosen(true); });
  connect(ui_->levelBox, &QDoubleSpinBox::valueChanged, this, &ReviewWindow::levelChanged);
  connect(ui_->actionMedianNormal, &QAction::triggered, this,
          [this] { medianChosen(batch::MedianMethod::Normal); });
  connect(ui_->actionMedianQe, &QAction::triggered, this,
          [this] { medianChosen(batch::MedianMethod::Qe); });
  connect(ui_->actionMedianLogNormal, &QAction::triggered, this,
          [this] { medianChosen(batch::MedianMethod::LogNormal); });
  connect(ui_->actionMedianAuto, &QAction::triggered, this,
          [this] { medianChosen(batch::MedianMethod::Auto); });
  connect(ui_->actionCorrNone, &QAction::triggered, this,
          [this] { correlationChosen(batch::CorrImputation::None); });
  connect(ui_->actionCorrValue, &QAction::triggered, this,
          [this] { correlationChosen(batch::CorrImputation::Value); });
  connect(ui_->actionCorrTable, &QAction::triggered, this,
          [this] { correlationChosen(batch::CorrImputation::Table); });
  connect(ui_->actionGuide, &QAction::triggered, this, &ReviewWindow::showGuide);
  connect(ui_->actionAbout, &QAction::triggered, this, &ReviewWindow::showAbout);
  connect(model_, &review::ReviewModel::tableChanged, this, &ReviewWindow::showStatus);
  connect(model_, &review::ReviewModel::tableChanged, this, &ReviewWindow::showWorking);
  connect(ui_->studyTable->selectionModel(), &QItemSelectionModel::currentChanged, this,
          &ReviewWindow::showWorking);
  connect(ui_->menuRecent, &QMenu::aboutToShow, this, &ReviewWindow::showRecent);
  connect(model_, &QAbstractItemModel::modelReset, this, &ReviewWindow::sizeColumns);
  ui_->levelBox->installEventFilter(this);

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
  // A level below 1 % is a proportion kept by an older version.
  const double level = settings.value(QStringLiteral("level"), 95.0).toDouble();
  applySettings(z ? batch::Method::Z : batch::Method::T, level >= 1 && level < 100 ? level : 95.0);
  const QString median = settings.value(QStringLiteral("median")).toString();
  applyMedian(median == QStringLiteral("qe")          ? batch::MedianMethod::Qe
              : median == QStringLiteral("lognormal") ? batch::MedianMethod::LogNormal
              : median == QStringLiteral("auto")      ? batch::MedianMethod::Auto
                                                      : batch::MedianMethod::Normal);
  const QString corr = settings.value(QStringLiteral("corr")).toString();
  const double corr_value = settings.value(QStringLiteral("corr_value"), 0.5).toDouble();
  if (corr == QStringLiteral("table")) {
    applyCorrelation(batch::CorrImputation::Table, std::nullopt);
  } else if (corr == QStringLiteral("value") && corr_value >= -1 && corr_value <= 1) {
    applyCorrelation(batch::CorrImputation::Value, corr_value);
  } else {
    applyCorrelation(batch::CorrImputation::None, std::nullopt);
  }
  sizeColumns();
  restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray());
  fitToScreen();
  ui_->studyTable->horizontalHeader()->restoreState(
      settings.value(QStringLiteral("columns")).toByteArray());

  showStatus();
  showTitle();
  ui_->studyTable->setCurrentIndex(model_->index(0, 0));
  // Keys go to the table: Ctrl+V pastes, arrows move, nothing changes the level.
  ui_->studyTable->setFocus();
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
  encoding_ = QStringLiteral("UTF-8");
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

bool ReviewWindow::openFile(const QString& path, std::optional<char> delimiter,
                            std::optional<char> decimal) {
  if (!maybeSave()) return false;
  auto loaded = loadTable(path, delimiter, decimal);
  if (!loaded) return false;  // cancelled
  if (const auto* error = std::get_if<std::string>(&*loaded)) {
    complain(tr("Cannot open “%1”: %2").arg(path, QString::fromStdString(*error)));
    return false;
  }
  auto& table = std::get<review::LoadedTable>(*loaded);
  // The program's own block, not a user's "sd" column of reported SDs.
  const bool plain = !table.had_results;
  encoding_ = QString::fromStdString(table.encoding);
  model_->Reset(std::move(table.header), std::move(table.rows), table.dialect);
  path_ = QFileInfo(path).absoluteFilePath();
  if (plain && !plain_files_.contains(path_)) plain_files_.insert(path_, std::nullopt);
  if (!plain) plain_files_.remove(path_);
  stamp_ = table.stamp;
  watch(path_);
  rememberRecent(path_);
  showTitle();
  showStatus();
  ui_->studyTable->setCurrentIndex(model_->index(0, 0));
  return true;
}

bool ReviewWindow::saveFile(const QString& path) {
  if (const auto too_long = tooLongToSave()) {
    complain(*too_long);
    return false;
  }
  auto saved = review::SaveTable(QFile::encodeName(path).toStdString(), model_->InputText(),
                                 model_->saveOptions());
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
  plain_files_.remove(path_);  // it holds the results now
  stamp_ = std::get<review::FileStamp>(saved);
  watch(path_);
  undo_->setClean();
  rememberRecent(path_);
  showTitle();
  return true;
}

bool ReviewWindow::save() {
  if (path_.isEmpty()) return saveAs();
  if (undo_->isClean()) return true;  // the file already holds the table
  const auto plain = plain_files_.find(path_);
  if (plain == plain_files_.end()) return saveOver();
  if (plain->has_value()) return **plain ? saveOver() : saveAs();
  // An extraction sheet of the user's own: asked once whether it takes the results.
  QMessageBox box(QMessageBox::Question, tr("Kelmory Review"),
                  tr("“%1” holds only your own columns.").arg(QFileInfo(path_).fileName()), {},
                  this);
  box.setInformativeText(tr("Add the result columns to this file, or save a copy with them?"));
  QPushButton* add = box.addButton(tr("&Add to This File"), QMessageBox::AcceptRole);
  QPushButton* copy = box.addButton(tr("Save a &Copy…"), QMessageBox::ActionRole);
  box.addButton(QMessageBox::Cancel);
  box.setDefaultButton(copy);
  box.exec();
  if (box.clickedButton() == add) {
    *plain = true;
    return saveOver();
  }
  if (box.clickedButton() != copy) return false;
  *plain = false;
  return saveAs();
}

// Save to the open file, unless another program changed it meanwhile.
bool ReviewWindow::saveOver() {
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

void ReviewWindow::cut() {
  copy();
  clearCells();
}

void ReviewWindow::clearCells() {
  const QItemSelectionModel* selection = ui_->studyTable->selectionModel();
  QModelIndexList cells = selection->selectedIndexes();
  if (cells.isEmpty() && selection->currentIndex().isValid()) cells = {selection->currentIndex()};
  model_->ClearCells(cells);
}

void ReviewWindow::paste() { pasteText(QApplication::clipboard()->text()); }

std::optional<std::variant<review::LoadedTable, std::string>> ReviewWindow::loadTable(
    const QString& path, std::optional<char> delimiter, std::optional<char> decimal) {
  return OffThread<std::variant<review::LoadedTable, std::string>>(
      this, tr("Reading “%1”…").arg(QFileInfo(path).fileName()),
      [file = QFile::encodeName(path).toStdString(), delimiter,
       decimal](const std::atomic<bool>& cancel) {
        return review::LoadTable(file, &cancel, delimiter, decimal);
      });
}

// A long paste shows a dialog with Cancel once it has taken a second, and
// keeps the window painting meanwhile: the table changes only at the end.
void ReviewWindow::pasteText(const QString& text) {
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
  auto parsed = table::ParseTabBlock(text.toStdString(), step(0, 300));
  if (dialog && dialog->wasCanceled()) return;
  if (const auto* error = std::get_if<table::BlockError>(&parsed)) {
    dialog.reset();
    using Kind = table::BlockError::Kind;
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
  model_->PasteBlock(std::get<std::vector<table::PackedCells>>(std::move(parsed)),
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

void ReviewWindow::methodChosen(bool z) {
  changeSettings(z ? batch::Method::Z : batch::Method::T, model_->level());
}

void ReviewWindow::levelChanged(double level) { changeSettings(model_->method(), level); }

void ReviewWindow::changeSettings(batch::Method method, double level) {
  if (method == model_->method() && level == model_->level()) return;
  // An empty table has no results to change: nothing to undo or save.
  if (model_->storedRows() == 0) {
    applySettings(method, level);
    return;
  }
  undo_->push(new SettingsCommand([this](batch::Method m, double l) { applySettings(m, l); },
                                  model_->method(), model_->level(), method, level));
}

void ReviewWindow::applySettings(batch::Method method, double level) {
  const bool z = method == batch::Method::Z;
  (z ? ui_->actionMethodZ : ui_->actionMethodT)->setChecked(true);
  (z ? ui_->methodZButton : ui_->methodTButton)->setChecked(true);
  if (ui_->levelBox->value() != level) {
    const QSignalBlocker quiet(ui_->levelBox);
    ui_->levelBox->setValue(level);
  }
  model_->SetSettings(method, level);
  QSettings settings = Settings();
  settings.setValue(QStringLiteral("method"), z ? QStringLiteral("z") : QStringLiteral("t"));
  settings.setValue(QStringLiteral("level"), level);
}

void ReviewWindow::medianChosen(batch::MedianMethod median) {
  if (median == model_->median()) return;
  if (model_->storedRows() == 0) {
    applyMedian(median);
    return;
  }
  undo_->push(new MedianCommand([this](batch::MedianMethod m) { applyMedian(m); }, model_->median(),
                                median));
}

void ReviewWindow::applyMedian(batch::MedianMethod median) {
  QAction* chosen = median == batch::MedianMethod::Qe          ? ui_->actionMedianQe
                    : median == batch::MedianMethod::LogNormal ? ui_->actionMedianLogNormal
                    : median == batch::MedianMethod::Auto      ? ui_->actionMedianAuto
                                                               : ui_->actionMedianNormal;
  chosen->setChecked(true);
  model_->SetMedian(median);
  QSettings settings = Settings();
  settings.setValue(QStringLiteral("median"), median == batch::MedianMethod::Qe ? "qe"
                                              : median == batch::MedianMethod::LogNormal
                                                  ? "lognormal"
                                              : median == batch::MedianMethod::Auto ? "auto"
                                                                                    : "normal");
}

void ReviewWindow::correlationChosen(batch::CorrImputation corr) {
  std::optional<double> value;
  if (corr == batch::CorrImputation::Value) {
    QInputDialog ask(this);
    ask.setObjectName(QStringLiteral("correlationDialog"));
    ask.setWindowTitle(tr("Impute a Correlation"));
    ask.setLabelText(
        tr("The correlation between baseline and final, from -1 to 1, for the "
           "changes from baseline that give neither corr nor sd_change:"));
    ask.setInputMode(QInputDialog::DoubleInput);
    ask.setDoubleRange(-1, 1);
    ask.setDoubleDecimals(3);
    const bool had = model_->correlation() == batch::CorrImputation::Value;
    ask.setDoubleValue(had ? model_->imputedCorrelation().value_or(0.5) : 0.5);
    if (ask.exec() != QDialog::Accepted) {
      applyCorrelation(model_->correlation(), model_->correlation() == batch::CorrImputation::Value
                                                  ? model_->imputedCorrelation()
                                                  : std::nullopt);
      return;
    }
    value = ask.doubleValue();
  }
  const CorrelationCommand::Choice from{model_->correlation(),
                                        model_->correlation() == batch::CorrImputation::Value
                                            ? model_->imputedCorrelation()
                                            : std::nullopt};
  const CorrelationCommand::Choice to{corr, value};
  if (from == to) return;
  if (model_->storedRows() == 0) {
    applyCorrelation(corr, value);
    return;
  }
  undo_->push(new CorrelationCommand(
      [this](batch::CorrImputation c, std::optional<double> v) { applyCorrelation(c, v); }, from,
      to));
}

void ReviewWindow::applyCorrelation(batch::CorrImputation corr, std::optional<double> value) {
  QAction* chosen = corr == batch::CorrImputation::Table   ? ui_->actionCorrTable
                    : corr == batch::CorrImputation::Value ? ui_->actionCorrValue
                                                           : ui_->actionCorrNone;
  chosen->setChecked(true);
  model_->SetCorrelation(corr, value);
  QSettings settings = Settings();
  settings.setValue(QStringLiteral("corr"), corr == batch::CorrImputation::Table   ? "table"
                                            : corr == batch::CorrImputation::Value ? "value"
                                                                                   : "none");
  if (value) settings.setValue(QStringLiteral("corr_value"), *value);
}

// The box takes percentages, as the batch does: 0.95 would give SDs some
// 170 times too large.
bool ReviewWindow::adviseLevel() {
  bool number = false;
  const double typed = ui_->levelBox->locale().toDouble(ui_->levelBox->cleanText(), &number);
  if (!number || !(typed > 0 && typed < 1)) return false;
  const QString text = ui_->levelBox->cleanText();
  // Put back first: the box loses the focus to the message.
  {
    const QSignalBlocker quiet(ui_->levelBox);
    ui_->levelBox->setValue(model_->level());
    ui_->levelBox->selectAll();
  }
  complain(tr("The default level is %1 %: give it as a percentage, such as 95.").arg(text));
  return true;
}

bool ReviewWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ui_->levelBox) {
    const auto* key = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(event) : nullptr;
    const bool enter = key && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter);
    if ((enter || event->type() == QEvent::FocusOut) && adviseLevel()) return enter;
  }
  return QMainWindow::eventFilter(watched, event);
}

void ReviewWindow::showWorking() {
  ui_->workingText->setPlainText(model_->workingText(ui_->studyTable->currentIndex().row()));
}

void ReviewWindow::showStatus() {
  const review::Tally tally = model_->tally();
  const QString rows = tally.rows == 1 ? tr("1 row") : tr("%1 rows").arg(tally.rows);
  summary_->setText(
      tr("%1, %2 with a warning, %3 refused").arg(rows).arg(tally.warnings).arg(tally.refused));
  const batch::Dialect& dialect = model_->dialect();
  separators_->setText(tr("%1, decimal %2, %3")
                           .arg(DelimiterName(dialect.delimiter),
                                dialect.decimal == ',' ? tr("comma") : tr("point"), encoding_));
}

void ReviewWindow::nameUndoSteps() {
  const QString undo = undo_->undoText(), redo = undo_->redoText();
  ui_->actionUndo->setText(undo.isEmpty() ? tr("&Undo") : tr("&Undo %1").arg(undo));
  ui_->actionRedo->setText(redo.isEmpty() ? tr("&Redo") : tr("&Redo %1").arg(redo));
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
    // Two files of one name are told apart by their folders.
    const QFileInfo file(path);
    QAction* action = ui_->menuRecent->addAction(
        tr("%1 — %2").arg(file.fileName(), QDir::toNativeSeparators(file.path())));
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
    if (!model_->isResultColumn(c) && model_->KindOf(model_->inputOf(c)) == review::kText)
      width = chars(14);
    const QString base = model_->isResultColumn(c) ? model_->resultName(c) : name;
    const bool short_text = base == QStringLiteral("method") || base == QStringLiteral("df");
    // A sheet's own sd and mean columns are filled with results too.
    const bool filled = model_->isFilledColumn(c);
    if ((model_->isResultColumn(c) && !short_text) || filled) width = std::max(width, chars(19));
    if (base == QStringLiteral("warning") || base == QStringLiteral("refusal")) width = chars(40);
    if (model_->isResultColumn(c) && base == QStringLiteral("method")) {
      for (const QString longest :
           {QStringLiteral("median-iqr (mean reported)"), QStringLiteral("two-group t statistic")})
        width = std::max(width, metrics.horizontalAdvance(longest) + 16);
    }
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

bool ReviewWindow::reopen(std::optional<char> delimiter, std::optional<char> decimal) {
  // A copy: openFile sets path_ while it reads its argument.
  return !path_.isEmpty() && openFile(QString(path_), delimiter, decimal);
}

// As a spreadsheet's text import: the file read again with the separators
// the user names.
void ReviewWindow::reopenWith() {
  if (path_.isEmpty()) {
    complain(tr("Only a table opened from a file can be read again."));
    return;
  }
  QDialog dialog(this);
  Ui::ReopenDialog form;
  form.setupUi(&dialog);
  static constexpr char kDelimiters[] = {',', ';', '\t'};
  const batch::Dialect& now = model_->dialect();
  const auto* found = std::find(std::begin(kDelimiters), std::end(kDelimiters), now.delimiter);
  form.delimiterBox->setCurrentIndex(
      found == std::end(kDelimiters) ? 0 : static_cast<int>(found - std::begin(kDelimiters)));
  form.decimalBox->setCurrentIndex(now.decimal == ',' ? 1 : 0);
  connect(form.reopenButtons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  connect(form.reopenButtons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  if (dialog.exec() != QDialog::Accepted) return;
  reopen(kDelimiters[form.delimiterBox->currentIndex()],
         form.decimalBox->currentIndex() == 1 ? ',' : '.');
}

void ReviewWindow::showText(const QString& title, const QString& html, const char* name) {
  // One of each: asked again, it comes to the front.
  if (auto* shown = findChild<QDialog*>(QString::fromLatin1(name))) {
    shown->raise();
    shown->activateWindow();
    return;
  }
  auto* dialog = new QDialog(this);
  Ui::HelpDialog form;
  form.setupUi(dialog);
  dialog->setObjectName(QString::fromLatin1(name));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->setWindowTitle(title);
  form.helpText->setHtml(html);
  connect(form.helpButtons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
  dialog->show();
}

void ReviewWindow::showGuide() {
  showText(tr("Kelmory Review Guide"), QString::fromUtf8(review::kGuideHtml), "guideDialog");
}

void ReviewWindow::showAbout() {
  const QString version = QApplication::applicationVersion().isEmpty()
                              ? QStringLiteral(KELMORY_VERSION)
                              : QApplication::applicationVersion();
  const auto paragraph = [](std::string_view text) {
    return QStringLiteral("<p style=\"white-space: pre-wrap\">%1</p>")
        .arg(PlainText(text).toHtmlEscaped());
  };
  const QString html = tr("<h2>Kelmory Review %1</h2>"
                          "<p>Recovers each study's standard deviation from what its paper "
                          "reports, by the rules of kelmory-batch.</p><h3>Citation</h3>%2"
                          "<h3>Terms of use</h3>%3")
                           .arg(version.toHtmlEscaped(), paragraph(credits::kCitationText),
                                paragraph(credits::kTermsOfUseText));
  showText(tr("About Kelmory Review"), html, "aboutDialog");
}

// A window kept from a larger screen, or a larger scale, fits this one.
void ReviewWindow::fitToScreen() {
  const QScreen* shown = screen();
  if (!shown) return;
  const QRect room = shown->availableGeometry();
  const QRect frame = frameGeometry();
  const QSize margins = frame.size() - size();
  const QSize fitted = size().boundedTo(room.size() - margins);
  if (fitted != size()) resize(fitted);
  if (!room.contains(frameGeometry())) move(room.topLeft());
}

// Once shown, the frame's own size is known.
void ReviewWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!event->spontaneous()) fitToScreen();
}

// On a narrow screen the tool bar's buttons drop their texts rather than
// hide behind its overflow.
void ReviewWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  QToolBar* bar = ui_->toolBar;
  if (bar->toolButtonStyle() == Qt::ToolButtonTextBesideIcon)
    toolbar_text_width_ = bar->sizeHint().width();
  bar->setToolButtonStyle(toolbar_text_width_ > width() ? Qt::ToolButtonIconOnly
                                                        : Qt::ToolButtonTextBesideIcon);
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
    model_->Reset(std::move(recovery->header), std::move(recovery->rows), recovery->dialect);
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
      const bool cell = row.cells[c].size() > table::kMaxCellBytes;
      if (!cell && bytes <= table::kMaxRowBytes) continue;
      const QString study =
          QString::fromUtf8(row.cells.empty() ? std::string_view() : row.cells[0]).left(80);
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
