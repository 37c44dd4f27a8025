#pragma once

// The tool's one window: three boxes on the left, the two radio pairs and
// five buttons on the right, a credit line at the bottom. It lays out its
// controls, implements the keyboard rules and hands each click to the
// handler it was given; it has no logic of its own.

#include <QWidget>

#include <array>

#include "workflows/window_handlers.h"

class QAbstractButton;
class QLabel;
class QPushButton;
class QRadioButton;

namespace pakeno {

class LongTextEdit;

class MainWindow : public QWidget, public WindowControls {
 public:
  explicit MainWindow(WindowHandlers handlers);

  // Centres the window (its controls exist from construction), runs the
  // created handler to its end while the window is still hidden, then shows it.
  void Load();

  Text ReadText(EditBox box) override;
  bool WriteText(EditBox box, const Text& text) override;
  bool ReadChecked(RadioBox radio) override;
  void ShowOutcome(const Text& line, bool error) override;

  // The controls that take the focus, in Tab order.
  const std::array<QWidget*, 12>& TabCycle() const { return tabCycle_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool focusNextPrevChild(bool next) override;

 private:
  void BuildControls();
  void MoveFocus(QWidget* from, bool forward);

  WindowHandlers handlers_;
  LongTextEdit* address_ = nullptr;
  LongTextEdit* data_ = nullptr;
  LongTextEdit* return_ = nullptr;
  QRadioButton* http_ = nullptr;
  QRadioButton* https_ = nullptr;
  QRadioButton* post_ = nullptr;
  QRadioButton* get_ = nullptr;
  QLabel* outcome_ = nullptr;  // the credit line, until a request has ended
  std::array<QWidget*, 12> tabCycle_{};
};

}  // namespace pakeno
