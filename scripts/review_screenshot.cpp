// Renders the review window with a pasted review to PNG files:
//   kelmory_review_screenshot <output directory> [suffix]
// once in the default scheme and once in a dark one (-dark.png). Run with
// QT_SCALE_FACTOR=2 and a suffix for the scale-2 pictures.

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QPalette>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "review/review_window.h"
#include "scripts/dark_scheme.h"

namespace {

// A review as a spreadsheet puts it on the clipboard.
constexpr const char* kReview =
    "study\tn\tse\tci\tlower\tupper\tmean\tlevel\n"
    "Abel 2004\t25\t2\t\t\t\t\t\n"
    "Baker 2010\t10\t\t3.92\t\t\t\t\n"
    "Cole 2012\t10\t\t\t1\t5\t3\t\n"
    "Dunn 2015\t10\t\t\t1\t5\t1.5\t90%\n"
    "Ford 2017\t1\t\t2\t\t\t\t\n"
    "Hall 2019\t30\t\t1.5\t\t\t\t97.5\n"
    "King 2022\t60\t\t\t10\t20\t30\t\n";

// A two-arm sheet in meta's column names.
constexpr const char* kArms =
    "study\tn.e\tmean.e\tsd.e\tse.e\tn.c\tmean.c\tsd.c\tmedian.c\tq1.c\tq3.c\tmd\tp\n"
    "Abel 2004\t25\t5.1\t\t2\t25\t4.2\t3.9\t\t\t\t\t\n"
    "Brook 2020\t20\t6.1\t2.8\t\t20\t\t\t6\t4\t10\t\t\n"
    "Dunn 2022\t12\t5\t\t\t15\t1.9\t\t\t\t\t3.1\t0.02\n"
    "Cole 2012\t1\t3\t\t1\t20\t4\t\t\t\t\t\t\n";

void Render(const QString& path, const char* review = kReview, int current = 2) {
  auto* window = new kelmory::ReviewWindow();
  window->show();
  if (!QTest::qWaitForWindowExposed(window)) qFatal("the window did not show");
  // Wider than the offscreen screen, which a shown window fits at first.
  window->resize(1900, 600);
  QApplication::clipboard()->setText(QString::fromLatin1(review));
  auto* table = window->findChild<QTableView*>(QStringLiteral("studyTable"));
  table->setFocus();
  QTest::keyClick(table, Qt::Key_V, Qt::ControlModifier);
  table->setCurrentIndex(table->model()->index(current, 0));
  QTest::qWait(50);
  if (!window->grab().save(path)) qFatal("cannot write %s", qPrintable(path));
  qInfo("wrote %s", qPrintable(path));
  window->setAttribute(Qt::WA_DeleteOnClose);
  // Nothing to save: the pictures are all this run is for.
  window->hide();
  window->deleteLater();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) qFatal("usage: kelmory_review_screenshot <output directory> [suffix]");
  const QDir out(QString::fromLocal8Bit(argv[1]));
  const QString suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
  // The user's own settings stay out of the pictures.
  QTemporaryDir settings;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  Render(out.filePath(QStringLiteral("review-window") + suffix + QStringLiteral(".png")));
  Render(out.filePath(QStringLiteral("review-arms") + suffix + QStringLiteral(".png")), kArms, 2);
  QApplication::setPalette(kelmory::screenshots::DarkScheme());
  Render(out.filePath(QStringLiteral("review-window") + suffix + QStringLiteral("-dark.png")));
  Render(out.filePath(QStringLiteral("review-arms") + suffix + QStringLiteral("-dark.png")), kArms,
         2);
  return 0;
}
