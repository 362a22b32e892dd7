#pragma once
// Shared by the two start-up probes: once the window is exposed, print the
// monotonic clock and leave.

#include <QCoreApplication>
#include <QTest>
#include <QWidget>
#include <cstdio>
#include <ctime>

inline int ReportWhenShown(QWidget* window) {
  if (!QTest::qWaitForWindowExposed(window, 10000)) return 2;
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  std::printf("%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
  std::fflush(stdout);
  return 0;
}
