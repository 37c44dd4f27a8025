#pragma once

// How long the window's event loop goes without handling events while
// `work` runs: the longest gap between ticks of a 5 ms timer, in ms, the
// stretch from the last tick to the end of the work included (work that
// never lets events run is one gap as long as itself).

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

namespace pakeno::testing {

template <typename Work>
qint64 WorstTickGap(Work work) {
  QElapsedTimer clock;
  qint64 last = 0, worst = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    worst = std::max(worst, clock.elapsed() - last);
    last = clock.elapsed();
  });
  ticker.start(5);
  clock.start();
  work();
  ticker.stop();
  return std::max(worst, clock.elapsed() - last);
}

}  // namespace pakeno::testing
