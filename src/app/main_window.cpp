#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "app/app_icon.h"
#include "app/long_text_edit.h"
#include "base/version.h"
#include "encoding/gbk.h"
#include "window_layout/window_layout.h"

namespace pakeno {
namespace {

// The window's outer size is 405 x 438 pixels: a 3-pixel frame on each side
// and a 24-pixel title bar around a client area of 399 x 411.
constexpr int kOuterWidth = 405;
constexpr int kOuterHeight = 438;
const QColor kCreditColour(0, 136, 255);
const QColor kErrorColour(204, 0, 0);

QString FromUtf8(const char* text) { return QString::fromUtf8(text); }

template <typename Widget>
Widget* Place(Widget* widget, const ControlPlan& control) {
  widget->setObjectName(FromUtf8(control.name));
  widget->setGeometry(control.left, control.top, control.width, control.height);
  return widget;
}

QLabel* MakeLabel(QWidget* parent, const ControlPlan& control) {
  auto* label = Place(new QLabel(FromUtf8(control.caption), parent), control);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  label->setAttribute(Qt::WA_TranslucentBackground);
  label->setFocusPolicy(Qt::NoFocus);
  // A screen reader reads the caption without its colon.
  QString spoken = FromUtf8(control.caption);
  if (spoken.endsWith(u'：')) spoken.chop(1);
  label->setAccessibleName(spoken);
  return label;
}

// A box is named, for a screen reader, by the label above it.
LongTextEdit* MakeBox(QWidget* parent, const ControlPlan& control, const QString& accessibleName) {
  auto* box = Place(new LongTextEdit(parent), control);
  box->setAccessibleName(accessibleName);
  box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  box->setTabChangesFocus(true);
  if (control.kind == ControlKind::kLineBox) {
    // One line, as the platform's address box; a box that cuts long lines for
    // display, so that an address of megabytes pastes as fast as a form body.
    box->SetSingleLine(true);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return box;
  }
  box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  box->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // The selection shows only while the box has the focus.
  QPalette palette = box->palette();
  palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Base));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText, palette.color(QPalette::Active, QPalette::Text));
  box->setPalette(palette);
  return box;
}

QRadioButton* MakeRadio(QWidget* group, const ControlPlan& control) {
  auto* radio = Place(new QRadioButton(FromUtf8(control.caption), group), control);
  radio->setAccessibleName(FromUtf8(control.caption));
  radio->setChecked(control.checked);
  return radio;
}

QPushButton* MakeButton(QWidget* parent, const ControlPlan& control) {
  auto* button = Place(new QPushButton(FromUtf8(control.caption), parent), control);
  button->setAccessibleName(FromUtf8(control.caption));
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

Key KeyOf(int key) {
  switch (key) {
    case Qt::Key_Escape:
      return Key::kEscape;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return Key::kTab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return Key::kEnter;
    case Qt::Key_F1:
      return Key::kF1;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
      return Key::kArrow;
    case Qt::Key_A:
      return Key::kA;
    default:
      return Key::kOther;
  }
}

}  // namespace

MainWindow::MainWindow(WindowHandlers handlers) : handlers_(std::move(handlers)) {
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setObjectName(QStringLiteral("MainWindow"));
  setWindowTitle(QString::fromUtf8(kTitleBeforeVersion) + QString::fromLatin1(kVersion) +
                 QString::fromUtf8(kTitleAfterVersion));
  setWindowIcon(AppIcon());
  setFixedSize(kClientWidth, kClientHeight);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Button));
  setPalette(palette);
  setAutoFillBackground(true);
  BuildControls();
}

void MainWindow::BuildControls() {
  std::array<QWidget*, kControls.size()> made{};
  for (size_t i = 0; i < kControls.size(); ++i) {
    const ControlPlan& control = kControls[i];
    QWidget* parent = control.parent < 0 ? this : made[static_cast<size_t>(control.parent)];
    switch (control.kind) {
      case ControlKind::kLabel:
        made[i] = MakeLabel(parent, control);
        break;
      case ControlKind::kLineBox:
      case ControlKind::kMultiLineBox:
        made[i] = MakeBox(parent, control, made[i - 1]->accessibleName());
        break;
      case ControlKind::kGroup: {
        auto* group = Place(new QGroupBox(FromUtf8(control.caption), parent), control);
        group->setFocusPolicy(Qt::NoFocus);
        group->setAccessibleName(group->title());
        made[i] = group;
        break;
      }
      case ControlKind::kRadio:
        made[i] = MakeRadio(parent, control);
        break;
      case ControlKind::kPush:
        made[i] = MakeButton(parent, control);
        break;
    }
  }
  auto control = [&](Role role) { return made[IndexOf(role)]; };
  address_ = static_cast<LongTextEdit*>(control(Role::kAddressBox));
  data_ = static_cast<LongTextEdit*>(control(Role::kDataBox));
  return_ = static_cast<LongTextEdit*>(control(Role::kReturnBox));
  http_ = static_cast<QRadioButton*>(control(Role::kHttp));
  https_ = static_cast<QRadioButton*>(control(Role::kHttps));
  post_ = static_cast<QRadioButton*>(control(Role::kPost));
  get_ = static_cast<QRadioButton*>(control(Role::kGet));
  outcome_ = static_cast<QLabel*>(control(Role::kOutcome));
  outcome_->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  ShowOutcome({}, false);

  auto onClick = [&](Role role, auto handler) {
    connect(static_cast<QPushButton*>(control(role)), &QPushButton::clicked, this, handler);
  };
  onClick(Role::kSend, [this] {
    if (handlers_.send) handlers_.send();
  });
  onClick(Role::kCopyAddress, [this] {
    if (handlers_.copy) handlers_.copy(EditBox::kAddress);
  });
  onClick(Role::kCopyData, [this] {
    if (handlers_.copy) handlers_.copy(EditBox::kData);
  });
  onClick(Role::kCopyReturn, [this] {
    if (handlers_.copy) handlers_.copy(EditBox::kReturn);
  });
  onClick(Role::kClear, [this] {
    if (handlers_.clear) handlers_.clear();
  });

  for (size_t i = 0; i < kTabCycle.size(); ++i) {
    tabCycle_[i] = control(kTabCycle[i]);
    tabCycle_[i]->setFocusPolicy(Qt::StrongFocus);
    tabCycle_[i]->installEventFilter(this);
  }
}

void MainWindow::Load() {
  // Before any screen is known there is nothing to centre on: the window
  // stays where the system puts it.
  if (const QScreen* primary = QGuiApplication::primaryScreen()) {
    const QRect screen = primary->geometry();
    move(screen.x() + (screen.width() - kOuterWidth) / 2, screen.y() + (screen.height() - kOuterHeight) / 2);
  }
  if (handlers_.created) handlers_.created();
  show();
}

Text MainWindow::ReadText(EditBox box) {
  return (box == EditBox::kAddress ? address_ : box == EditBox::kData ? data_ : return_)->GbkText();
}

bool MainWindow::WriteText(EditBox box, const Text& text) {
  return (box == EditBox::kAddress ? address_ : box == EditBox::kData ? data_ : return_)->SetGbkText(text);
}

bool MainWindow::ReadChecked(RadioBox radio) {
  switch (radio) {
    case RadioBox::kHttp:
      return http_->isChecked();
    case RadioBox::kHttps:
      return https_->isChecked();
    case RadioBox::kPost:
      return post_->isChecked();
    case RadioBox::kGet:
      return get_->isChecked();
  }
  return false;
}

void MainWindow::ShowOutcome(const Text& line, bool error) {
  const QString text = line.empty() ? FromUtf8(kCreditLine) : QString::fromUtf8(GbkToUtf8(line));
  QPalette palette = outcome_->palette();
  palette.setColor(QPalette::WindowText, error ? kErrorColour : kCreditColour);
  outcome_->setPalette(palette);
  // One line whatever the font and scale: what does not fit ends in an
  // ellipsis, and the whole line is in the tooltip and the spoken name.
  outcome_->setText(outcome_->fontMetrics().elidedText(text, Qt::ElideRight, outcome_->width()));
  outcome_->setToolTip(line.empty() ? QString() : text);
  outcome_->setAccessibleName(text);
}

void MainWindow::MoveFocus(QWidget* from, bool forward) {
  const auto it = std::find(tabCycle_.begin(), tabCycle_.end(), from);
  if (it == tabCycle_.end()) return;
  const size_t index = static_cast<size_t>(it - tabCycle_.begin());
  const size_t n = tabCycle_.size();
  tabCycle_[forward ? (index + 1) % n : (index + n - 1) % n]->setFocus(forward ? Qt::TabFocusReason
                                                                               : Qt::BacktabFocusReason);
}

bool MainWindow::focusNextPrevChild(bool next) {
  // Focus changes that do not come from a key the filter saw follow the same cycle.
  if (QWidget* focused = QApplication::focusWidget(); focused && isAncestorOf(focused)) MoveFocus(focused, next);
  return true;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) {
    return QWidget::eventFilter(watched, event);
  }
  auto* key = static_cast<QKeyEvent*>(event);
  auto* control = static_cast<QWidget*>(watched);
  const Qt::KeyboardModifiers held = key->modifiers();
  const Modifiers modifiers{(held & Qt::ControlModifier) != 0,
                            (held & Qt::ShiftModifier) != 0 || key->key() == Qt::Key_Backtab,
                            (held & Qt::AltModifier) != 0};
  const ControlKind kind = control == address_                      ? ControlKind::kLineBox
                           : control == data_ || control == return_ ? ControlKind::kMultiLineBox
                           : qobject_cast<QRadioButton*>(control)   ? ControlKind::kRadio
                                                                    : ControlKind::kPush;
  const KeyAction action = KeyActionFor(KeyOf(key->key()), modifiers, kind);
  if (event->type() == QEvent::ShortcutOverride) {
    // Claim Esc before any control can make a shortcut of it.
    if (action != KeyAction::kClose) return false;
    event->accept();
    return true;
  }
  switch (action) {
    case KeyAction::kPass:
      return false;
    case KeyAction::kSwallow:
      return true;
    case KeyAction::kClose:
      close();
      return true;
    case KeyAction::kFocusNext:
    case KeyAction::kFocusPrevious:
      MoveFocus(control, action == KeyAction::kFocusNext);
      return true;
    case KeyAction::kCheckOther: {
      // Radio boxes are stops of the cycle: the pair's other one is found there.
      const auto stop = [&](auto begin, auto end, auto what) {
        return static_cast<size_t>(std::find(begin, end, what) - begin);
      };
      const Role role = kTabCycle[stop(tabCycle_.begin(), tabCycle_.end(), control)];
      auto* other = static_cast<QRadioButton*>(tabCycle_[stop(kTabCycle.begin(), kTabCycle.end(), OtherOfPair(role))]);
      other->setFocus(Qt::OtherFocusReason);
      other->setChecked(true);
      return true;
    }
    case KeyAction::kSelectAll:
      static_cast<QPlainTextEdit*>(control)->selectAll();
      return true;
  }
  return false;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  if (handlers_.destroyed) handlers_.destroyed();
}

}  // namespace pakeno
