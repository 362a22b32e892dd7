// What the reviewer has survives other programs, full disks, kills and
// special files. The kills start the real program on a real X server
// (Xvfb) and type into it with xdotool.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

#include "review/review_model.h"
#include "review/review_window.h"
#include "review/xlsx_export.h"
#include "tests/support/gui_test.h"
#include "tests/support/review_files.h"

namespace kelmory {
namespace {

using namespace testing;

class KeepTest : public testing::GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    ASSERT_TRUE(dir_.isValid());
    qputenv("XDG_STATE_HOME", Path("state").toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", Path("config").toLocal8Bit());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Path("settings"));
    window_ = NewWindow();
  }
  void TearDown() override {
    delete window_;
    GuiTest::TearDown();
  }
  ReviewWindow* NewWindow() {
    auto* window = new ReviewWindow();
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    testing::Activate(window);
    return window;
  }
  QString Path(const QString& name) const { return dir_.filePath(name); }
  QAbstractItemModel* Model() const { return Find<QTableView>(window_, "studyTable")->model(); }
  QString Cell(int row, int column) const { return Model()->index(row, column).data().toString(); }
  void Paste(const QString& text) {
    testing::Activate(window_);
    QApplication::clipboard()->setText(text);
    auto* table = Find<QTableView>(window_, "studyTable");
    table->setFocus();
    QTest::keyClick(table, Qt::Key_V, Qt::ControlModifier);
  }
  void CtrlS() {
    testing::Activate(window_);
    QTest::keyClick(window_, Qt::Key_S, Qt::ControlModifier);
  }
  // The message as it is seen: the bar draws it left of its permanent
  // widgets, in the room they leave; its first words at least must show.
  QString Status() const {
    const auto* bar = Find<QStatusBar>(window_, "statusBar");
    const int room = Find<QLabel>(window_, "summaryLabel")->x();
    const QString message = bar->currentMessage();
    return bar->fontMetrics().horizontalAdvance(message.left(20)) < room ? message : QString();
  }

  QTemporaryDir dir_;
  ReviewWindow* window_ = nullptr;
};

TEST_F(KeepTest, SaveAsksBeforeItOverwritesWhatAnotherProgramWrote) {
  // A saved table, so that the first Save asks nothing of its own.
  WriteAll(Path("t.csv"), kAbelSaved);
  ASSERT_TRUE(window_->openFile(Path("t.csv")));
  const QByteArray theirs = "study,n,se\nAbel,25,2\nCole,40,1\n";
  WriteAll(Path("t.csv"), theirs);
  EXPECT_TRUE(QTest::qWaitFor([&] { return Status().contains("changed by another program"); }))
      << Status().toStdString();

  Paste("study\tn\tse\nBell\t30\t3\n");
  CtrlS();  // the box closed without an answer: Cancel
  EXPECT_EQ(Messages(), QStringList("The file “t.csv” has been changed since it was opened."));
  EXPECT_EQ(ReadAll(Path("t.csv")), theirs);

  AnswerNextBox("Overwrite");
  CtrlS();
  EXPECT_EQ(Messages().size(), 1);
  EXPECT_EQ(ReadAll(Path("t.csv")),
            BatchOutputOf(Path("edited.csv"), "study,n,se\nAbel,25,2\nBell,30,3\n"));
  Paste("study\tn\tse\nDunn\t12\t1\n");
  CtrlS();  // the file is as this window wrote it: no question
  EXPECT_EQ(Messages(), QStringList());
  EXPECT_EQ(ReadAll(Path("t.csv")),
            BatchOutputOf(Path("edited.csv"), "study,n,se\nAbel,25,2\nBell,30,3\nDunn,12,1\n"));

  // Replaced through a rename, as editors save: noticed all the same.
  WriteAll(Path("new.csv"), theirs);
  ASSERT_EQ(::rename(Path("new.csv").toLocal8Bit(), Path("t.csv").toLocal8Bit()), 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return Status().contains("changed by another program"); }));
  Paste("study\tn\tse\nEvans\t20\t2\n");
  CtrlS();
  EXPECT_EQ(Messages().size(), 1);
  EXPECT_EQ(ReadAll(Path("t.csv")), theirs);
}

TEST_F(KeepTest, AFailedExportOnAFullDiskLeavesTheEarlierWorkbookWhole) {
  const QString disk = Path("disk");
  QDir().mkdir(disk);
  if (::geteuid() != 0 ||
      QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=256k", "tmpfs", disk}) != 0)
    GTEST_SKIP() << "a small tmpfs cannot be mounted here";
  const struct Unmount {
    QString path;
    ~Unmount() { QProcess::execute("umount", {path}); }
  } unmount{disk};
  Paste("study\tn\tse\nAbel\t25\t2\nCole\t10\t1\n");
  const std::string book = (disk + "/review.xlsx").toStdString();
  auto* model = window_->findChild<review::ReviewModel*>();
  ASSERT_EQ(review::ExportXlsx(*model, book), std::nullopt);
  const QByteArray good = ReadAll(disk + "/review.xlsx");

  const int filler = ::open((disk + "/filler").toLocal8Bit(), O_WRONLY | O_CREAT, 0600);
  const std::string block(4096, 'x');
  while (::write(filler, block.data(), block.size()) > 0) {
  }
  ::close(filler);
  // Larger than the disk holds even with the earlier workbook's room.
  QString more = "study\tn\tse\n";
  for (int i = 0; i < 2000; ++i) more += QString("Study %1\t%2\t1\n").arg(i).arg(i + 2);
  Paste(more);
  const auto error = review::ExportXlsx(*model, book);
  ASSERT_NE(error, std::nullopt);
  EXPECT_NE(error->find("No space left on device"), std::string::npos) << *error;
  EXPECT_EQ(ReadAll(disk + "/review.xlsx"), good);
  EXPECT_EQ(Files(disk), QStringList({"filler", "review.xlsx"}));
}

TEST_F(KeepTest, OnlyRegularFilesOpenAndNoneKeepsTheWindowWaiting) {
  ASSERT_EQ(::mkfifo(Path("fifo").toLocal8Bit(), 0600), 0);
  const bool device = ::mknod(Path("device").toLocal8Bit(), S_IFCHR | 0600, makedev(1, 3)) == 0;
  QDir().mkdir(Path("folder"));
  WriteAll(Path("binary.csv"), QByteArray("n,se\n4,\0\x01\x02", 10));
  // Without the fix the FIFO's open waits for a writer: this one comes late.
  std::thread writer([fifo = Path("fifo").toStdString()] {
    std::this_thread::sleep_for(std::chrono::seconds(4));
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
  });
  const struct {
    QString file, why;
  } cases[] = {
      {"fifo", "it is a FIFO (a named pipe), not a file"},
      {"device", "it is a device, not a file"},
      {"folder", "it is a folder"},
      {"binary.csv", "the input is not a text file: it holds NUL bytes"},
  };
  for (const auto& c : cases) {
    if (c.file == "device" && !device) continue;
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(window_->openFile(Path(c.file)));
    EXPECT_LT(clock.elapsed(), 2000) << c.file.toStdString();
    EXPECT_EQ(Messages(), QStringList("Cannot open “" + Path(c.file) + "”: " + c.why));
  }
  writer.join();
}

TEST_F(KeepTest, ALongReadShowsProgressAndCancelKeepsTheTable) {
  QByteArray rows = "study,n,se\n";
  for (int i = 0; i < 2'000'000; ++i) rows += "Abel,25,2\n";
  WriteAll(Path("big.csv"), rows);
  Paste("study\tn\tse\nCole\t10\t1\n");
  window_->setProperty("progressAfterMs", 0);
  bool shown = false;
  testing::WhenModalShows([&](QWidget* modal) { shown = modal->inherits("QProgressDialog"); });
  AnswerNextBox("Discard");
  EXPECT_FALSE(window_->openFile(Path("big.csv")));
  EXPECT_EQ(Messages().size(), 1);  // the unsaved-changes question only
  EXPECT_TRUE(shown);
  EXPECT_EQ(Cell(0, 0), "Cole");
}

TEST_F(KeepTest, APasteTheFileCouldNotHoldIsRefusedNamingItsRowAndColumn) {
  QString stray = "study\tn\tse\nAbel\t25\t2\n\nCole\t\"10\t3\n";
  for (int i = 0; i < 200'000; ++i) stray += "Dunn\t10\t2\n";
  const QString where = "Nothing was pasted. Row 4, column 2 of the pasted cells ";
  const QString open_quote = where +
                             "opens a quote (\") that is not closed within 1 MiB, so everything "
                             "after it would join into one cell. Remove the stray quote in the "
                             "sheet, or close it, then copy and paste again.";
  const struct {
    QString block, message;
  } cases[] = {
      {stray, open_quote},
      {"study\tn\tse\nAbel\t25\t2\n\nCole\t\"10", open_quote},
      {"study\tn\tse\nAbel\t25\t2\n\nCole\t" + QString((1 << 20) + 1, 'x') + "\t3\n",
       where + "is longer than 1 MiB, more than a table file can hold in one cell. Shorten it "
               "in the sheet, then copy and paste again."},
  };
  Paste("study\tn\tse\nEast\t9\t1\n");
  for (const auto& c : cases) {
    Paste(c.block);
    EXPECT_EQ(Messages(), QStringList(c.message));
    EXPECT_EQ(Model()->rowCount(), 2);  // East and the row to type into
    EXPECT_EQ(Cell(0, 0), "East");
  }

  // The longest cell the reader takes pastes and saves as kelmory-batch
  // writes it.
  const QString longest((1 << 20), 'y');
  AnswerNextBox("Discard");
  testing::Activate(window_);
  QTest::keyClick(window_, Qt::Key_N, Qt::ControlModifier);
  ASSERT_EQ(Messages(), QStringList("The table has changes that are not saved."));
  Paste("study\tn\tse\tnotes\nAbel\t25\t2\t" + longest + "\n");
  ASSERT_EQ(Messages(), QStringList());
  ASSERT_TRUE(window_->saveFile(Path("long.csv")));
  EXPECT_EQ(
      ReadAll(Path("long.csv")),
      BatchOutputOf(Path("input.csv"), ("study,n,se,notes\nAbel,25,2," + longest + "\n").toUtf8()));

  // One typed past it: the save names the study and the column.
  Model()->setData(Model()->index(0, 3), longest + "y", Qt::EditRole);
  EXPECT_FALSE(window_->saveFile(Path("long.csv")));
  EXPECT_EQ(Messages(), QStringList("Cannot save: the study “Abel” has a cell in the column "
                                    "“notes” longer than 1 MiB, more than the file can hold. "
                                    "Shorten it, then save again."));
}

TEST_F(KeepTest, ASaveRemovesTheTemporariesOfSavesThatWereKilled) {
  QProcess gone, alive;
  gone.start("sleep", {"0"});
  ASSERT_TRUE(gone.waitForStarted());
  const QString dead = QString::number(gone.processId());
  ASSERT_TRUE(gone.waitForFinished());
  alive.start("sleep", {"30"});
  ASSERT_TRUE(alive.waitForStarted());
  const QString live = QString::number(alive.processId());
  const QStringList stale = {".t.csv.kelmory-" + dead + ".0", ".other.csv.kelmory-" + dead + ".3"};
  const QStringList kept = {".t.csv." + dead + ".0", ".t.csv.kelmory-" + live + ".0",
                            "notes.kelmory-" + dead + ".0"};
  for (const QString& name : stale + kept) WriteAll(Path(name), "half a table");
  Paste("study\tn\tse\nAbel\t25\t2\n");
  ASSERT_TRUE(window_->saveFile(Path("t.csv")));
  EXPECT_EQ(Files(dir_.path()),
            QStringList({".t.csv." + dead + ".0", ".t.csv.kelmory-" + live + ".0",
                         "notes.kelmory-" + dead + ".0", "t.csv"}));
  alive.kill();
  alive.waitForFinished();
}

TEST_F(KeepTest, EditsLeftByAWindowThatIsGoneAreOfferedAndGoBackToTheirFile) {
  WriteAll(Path("t.csv"), "study,n,se\nAbel,25,2\n");
  ASSERT_TRUE(window_->openFile(Path("t.csv")));
  const QString before = QLocale().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
  Model()->setData(Model()->index(0, 2), "4", Qt::EditRole);
  const QString after = QLocale().toString(QDateTime::currentDateTime(), QLocale::ShortFormat);
  const QString folder = Path("state/kelmory-review");
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return QDir(folder).entryList({"*.recovery"}, QDir::Files).size() == 1; }, 5000));
  // The unsaved table is the user's alone to read.
  EXPECT_EQ(QFile::permissions(folder) & 0x0077, QFileDevice::Permissions());
  delete window_;  // as a kill would leave it: the edits unsaved
  WriteAll(Path("t.csv"), "study,n,se\nBell,30,3\n");

  window_ = NewWindow();
  QString when;
  MessageBoxes::OnShow([&when](const auto&) {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    when = box->informativeText();
    box->defaultButton()->click();  // Restore
  });
  EXPECT_TRUE(window_->offerRecovery());
  const auto seen = MessageBoxes::Take();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text,
            "Kelmory Review ended before the edits to “" + Path("t.csv") + "” were saved.");
  const QString asked = "The last change was made on %1. Restore the edits, or discard them?";
  EXPECT_TRUE(when == asked.arg(before) || when == asked.arg(after)) << when.toStdString();
  EXPECT_TRUE(window_->isWindowModified());
  EXPECT_EQ(window_->windowTitle(), "t.csv[*] — Kelmory Review");
  EXPECT_EQ(Cell(0, 2), "4");
  EXPECT_EQ(Cell(0, 3), "20");
  // The file changed while the window was gone: the save asks.
  CtrlS();
  EXPECT_EQ(Messages(), QStringList("The file “t.csv” has been changed since it was opened."));
  AnswerNextBox("Overwrite");
  CtrlS();
  EXPECT_EQ(Messages().size(), 1);
  EXPECT_EQ(ReadAll(Path("t.csv")), BatchOutputOf(Path("edited.csv"), "study,n,se\nAbel,25,4\n"));
  EXPECT_EQ(QDir(folder).entryList({"*.recovery"}, QDir::Files), QStringList());
  delete window_;
  window_ = NewWindow();
  EXPECT_FALSE(window_->offerRecovery());
}

// Root may read and write anything: these run as an ordinary user, started
// as nobody by the test below when the tests run as root.
TEST_F(KeepTest, Nobody_WhatTheUserMayNotReadOrWriteIsRefusedWithAMessage) {
  if (::geteuid() == 0) GTEST_SKIP() << "root skips permission checks";
  WriteAll(Path("unreadable.csv"), "study,n,se\nAbel,25,2\n");
  QFile::setPermissions(Path("unreadable.csv"), {});
  EXPECT_FALSE(window_->openFile(Path("unreadable.csv")));
  EXPECT_EQ(Messages(),
            QStringList("Cannot open “" + Path("unreadable.csv") + "”: Permission denied"));

  // A folder the user may not write: the file and the folder stay as they were.
  const QString locked = Path("locked");
  QDir().mkdir(locked);
  WriteAll(locked + "/t.csv", kAbelSaved);
  QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
  ASSERT_TRUE(window_->openFile(locked + "/t.csv"));
  Paste("study\tn\tse\nBell\t30\t3\n");
  CtrlS();
  EXPECT_EQ(Messages(), QStringList("Cannot write '" + locked + "/t.csv': Permission denied"));
  const auto error = review::ExportXlsx(*window_->findChild<review::ReviewModel*>(),
                                        (locked + "/t.xlsx").toStdString());
  EXPECT_EQ(error, "cannot write '" + (locked + "/t.xlsx").toStdString() + "': Permission denied");
  EXPECT_EQ(Files(locked), QStringList("t.csv"));
  EXPECT_EQ(ReadAll(locked + "/t.csv"), kAbelSaved);

  // A state folder the user may not write: the status bar says the edits
  // are not kept.
  QFile::setPermissions(Path("state/kelmory-review"), QFile::ReadOwner | QFile::ExeOwner);
  Paste("study\tn\tse\nCole\t10\t1\n");
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return Status().startsWith("The unsaved edits cannot be kept for recovery"); }, 5000))
      << Status().toStdString();
  for (const QString& folder : {locked, Path("state/kelmory-review")})
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(KeepTest, PermissionCasesRunAsAnOrdinaryUser) {
  if (::geteuid() != 0) GTEST_SKIP() << "the case above runs itself";
  if (QStandardPaths::findExecutable("setpriv").isEmpty()) GTEST_SKIP() << "needs setpriv";
  // nobody's own temporary folder, inside this test's.
  QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                         QFile::ExeGroup | QFile::ExeOther);
  const QString tmp = Path("nobody");
  QDir().mkdir(tmp);
  QFile::setPermissions(tmp, QFileDevice::Permissions(0x7777));
  QProcess test;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("TMPDIR", tmp);
  env.insert("HOME", tmp);
  test.setProcessEnvironment(env);
  test.setProcessChannelMode(QProcess::MergedChannels);
  test.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                         QCoreApplication::applicationFilePath(), "-platform", "offscreen",
                         "--gtest_filter=KeepTest.Nobody_*"});
  ASSERT_TRUE(test.waitForFinished(60000));
  const QString output = QString::fromUtf8(test.readAll());
  EXPECT_EQ(test.exitCode(), 0) << output.toStdString();
  EXPECT_TRUE(output.contains("[  PASSED  ] 1 test.") && !output.contains("SKIPPED"))
      << output.toStdString();
}

// The real program on an X server of its own, typed into with xdotool.
class Desktop {
 public:
  explicit Desktop(const QString& folder) : folder_(folder) {}
  ~Desktop() {
    if (program_.state() != QProcess::NotRunning) {
      program_.kill();
      program_.waitForFinished();
    }
    StopX();
  }
  static bool Available() {
    return !QStandardPaths::findExecutable("Xvfb").isEmpty() &&
           !QStandardPaths::findExecutable("xdotool").isEmpty();
  }
  bool StartX() {
    // -noreset: without it the server resets whenever its last client goes,
    // as after a kill, and a client connecting meanwhile may be turned away.
    x_.start("Xvfb",
             {"-displayfd", "1", "-screen", "0", "1100x800x24", "-nolisten", "tcp", "-noreset"});
    if (!x_.waitForStarted(5000)) return false;
    QElapsedTimer clock;
    clock.start();
    while (!x_.canReadLine() && clock.elapsed() < 10000) x_.waitForReadyRead(100);
    display_ = ":" + QString::fromLatin1(x_.readLine()).trimmed();
    return display_.size() > 1;
  }
  void StopX() {
    if (x_.state() == QProcess::NotRunning) return;
    x_.terminate();
    x_.waitForFinished(5000);
  }
  void Start(const QString& file) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display_);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("XDG_STATE_HOME", folder_ + "/state");
    env.insert("XDG_CONFIG_HOME", folder_ + "/config");
    // libxkbcommon-x11 hands strndup names without their end, which strict
    // string checks would stop in that library.
    env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":strict_string_checks=0");
    program_.setProcessEnvironment(env);
    program_.setProcessChannelMode(QProcess::MergedChannels);
    program_.start(KELMORY_REVIEW, {file});
    ASSERT_TRUE(program_.waitForStarted(5000));
  }
  QString Xdo(const QStringList& arguments) {
    QProcess xdotool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display_);
    xdotool.setProcessEnvironment(env);
    xdotool.start("timeout", QStringList{"20", "xdotool"} + arguments);
    EXPECT_TRUE(xdotool.waitForFinished(25000));
    return QString::fromUtf8(xdotool.readAllStandardOutput()).trimmed();
  }
  // The visible window whose title matches, focused.
  QString Focus(const QString& title) {
    const QString id = Xdo({"search", "--sync", "--onlyvisible", "--name", title});
    EXPECT_FALSE(id.isEmpty()) << "no window " << title.toStdString() << "; the program "
                               << (program_.state() == QProcess::NotRunning ? "ended" : "runs")
                               << ", X " << (x_.state() == QProcess::NotRunning ? "ended" : "runs")
                               << ", printed:\n"
                               << program_.readAll().toStdString();
    Xdo({"windowfocus", "--sync", id});
    return id;
  }
  bool TitleBecomes(const QString& id, const QString& title) {
    return QTest::qWaitFor([&] { return Xdo({"getwindowname", id}) == title; }, 15000);
  }
  QProcess& program() { return program_; }

 private:
  QString folder_, display_;
  QProcess x_, program_;
};

enum class End { Term, Hangup, Kill, LostDisplay };
class KillTest : public KeepTest, public ::testing::WithParamInterface<End> {};

TEST_P(KillTest, TheNextStartRestoresTheEditsAndSavesThemToTheirFile) {
  if (!Desktop::Available()) GTEST_SKIP() << "needs Xvfb and xdotool";
  Desktop desktop(dir_.path());
  ASSERT_TRUE(desktop.StartX());
  WriteAll(Path("t.csv"), "study,n,se\nAbel,25,2\n");
  desktop.Start(Path("t.csv"));
  const QString id = desktop.Focus("^t.csv");
  desktop.Xdo({"mousemove", "--window", id, "80", "114", "click", "1"});  // Abel's cell
  desktop.Xdo({"type", "--delay", "30", "Zed"});
  desktop.Xdo({"key", "Return"});
  ASSERT_TRUE(desktop.TitleBecomes(id, "t.csv* — Kelmory Review"));
  QProcess& program = desktop.program();
  // By the clock, a few seconds after the edit.
  const auto kept = [&] {
    return !QDir(Path("state/kelmory-review")).entryList({"*.recovery"}).isEmpty();
  };
  switch (GetParam()) {
    case End::Term:
    case End::Hangup:
      // At once, well before the edits are kept by the clock.
      ::kill(static_cast<pid_t>(program.processId()), GetParam() == End::Term ? SIGTERM : SIGHUP);
      ASSERT_TRUE(program.waitForFinished(15000));
      EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
      EXPECT_EQ(program.exitCode(), 0);
      break;
    case End::Kill:
      ASSERT_TRUE(QTest::qWaitFor(kept, 10000));
      program.kill();
      ASSERT_TRUE(program.waitForFinished(15000));
      break;
    case End::LostDisplay:
      ASSERT_TRUE(QTest::qWaitFor(kept, 10000));
      desktop.StopX();
      ASSERT_TRUE(program.waitForFinished(15000));
      ASSERT_TRUE(desktop.StartX());
      break;
  }
  EXPECT_EQ(ReadAll(Path("t.csv")), "study,n,se\nAbel,25,2\n");

  desktop.Start(Path("t.csv"));
  desktop.Focus("^Kelmory Review$");  // the offer; Enter restores
  desktop.Xdo({"key", "Return"});
  const QString again = desktop.Focus("^t.csv");
  ASSERT_TRUE(desktop.TitleBecomes(again, "t.csv* — Kelmory Review"));
  desktop.Xdo({"key", "ctrl+s"});
  const QByteArray saved = BatchOutputOf(Path("edited.csv"), "study,n,se\nZed,25,2\n");
  EXPECT_TRUE(QTest::qWaitFor([&] { return ReadAll(Path("t.csv")) == saved; }, 15000))
      << ReadAll(Path("t.csv")).toStdString();
  desktop.Xdo({"key", "ctrl+q"});
  ASSERT_TRUE(program.waitForFinished(15000));
  EXPECT_EQ(program.exitCode(), 0);
  EXPECT_EQ(QDir(Path("state/kelmory-review")).entryList({"*.recovery"}), QStringList());
}

std::string EndName(const ::testing::TestParamInfo<End>& info) {
  constexpr const char* kNames[] = {"SIGTERM", "SIGHUP", "SIGKILL", "LostDisplay"};
  return kNames[static_cast<int>(info.param)];
}
INSTANTIATE_TEST_SUITE_P(Ends, KillTest,
                         ::testing::Values(End::Term, End::Hangup, End::Kill, End::LostDisplay),
                         EndName);

TEST_F(KeepTest, ASigtermDuringASaveLetsItFinishAndLeavesNoTemporary) {
  if (!Desktop::Available()) GTEST_SKIP() << "needs Xvfb and xdotool";
  Desktop desktop(dir_.path());
  ASSERT_TRUE(desktop.StartX());
  QByteArray rows = "study,n,se\n";
  for (int i = 0; i < 300'000; ++i) rows += "Abel,25,2\n";
  WriteAll(Path("copy.csv"), rows);
  // A saved table, edited: Delete clears the first study's name.
  WriteAll(Path("big.csv"), BatchOutput({Path("copy.csv")}));
  rows.replace("study,n,se\nAbel,", "study,n,se\n,");
  WriteAll(Path("copy.csv"), rows);
  desktop.Start(Path("big.csv"));
  const QString window = desktop.Focus("^big.csv");
  desktop.Xdo({"key", "Delete"});
  ASSERT_TRUE(desktop.TitleBecomes(window, "big.csv* — Kelmory Review"));
  desktop.Xdo({"key", "ctrl+s"});
  const auto temporary = [&] {
    return QDir(dir_.path()).entryList({".big.csv.kelmory-*"}, QDir::Files | QDir::Hidden);
  };
  ASSERT_TRUE(QTest::qWaitFor([&] { return !temporary().isEmpty(); }, 10000));
  ::kill(static_cast<pid_t>(desktop.program().processId()), SIGTERM);
  ASSERT_TRUE(desktop.program().waitForFinished(10000));
  EXPECT_EQ(desktop.program().exitCode(), 0);
  EXPECT_EQ(temporary(), QStringList());
  EXPECT_EQ(ReadAll(Path("big.csv")), BatchOutput({Path("copy.csv")}));
}

}  // namespace
}  // namespace kelmory
