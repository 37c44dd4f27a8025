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

namespace pakeno {
namespace {

// The window's outer size is 405 x 438 pixels: a 3-pixel frame on each side
// and a 24-pixel title bar around a client area of 399 x 411.
constexpr int kOuterWidth = 405;
constexpr int kOuterHeight = 438;
constexpr int kClientWidth = 399;
constexpr int kClientHeight = 411;
constexpr const char* kCreditLine = "Pakeno 作者：Tarvo　反馈交流群： QQ 群 100100100";
const QColor kCreditColour(0, 136, 255);
const QColor kErrorColour(204, 0, 0);

QString FromUtf8(const char* text) { return QString::fromUtf8(text); }

template <typename Widget>
Widget* Place(Widget* widget, const char* name, int left, int top, int width, int height) {
  widget->setObjectName(FromUtf8(name));
  widget->setGeometry(left, top, width, height);
  return widget;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, int left, int top, int width, int height) {
  auto* label = Place(new QLabel(FromUtf8(caption), parent), name, left, top, width, height);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  label->setAttribute(Qt::WA_TranslucentBackground);
  label->setFocusPolicy(Qt::NoFocus);
  // A screen reader reads the caption without its colon.
  QString spoken = FromUtf8(caption);
  if (spoken.endsWith(u'：')) spoken.chop(1);
  label->setAccessibleName(spoken);
  return label;
}

LongTextEdit* MakeMultiLineBox(QWidget* parent, const char* name, const char* accessibleName, int left, int top,
                               int width, int height) {
  auto* box = Place(new LongTextEdit(parent), name, left, top, width, height);
  box->setAccessibleName(FromUtf8(accessibleName));
  box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  box->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  box->setTabChangesFocus(true);
  // The selection shows only while the box has the focus.
  QPalette palette = box->palette();
  palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Base));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText, palette.color(QPalette::Active, QPalette::Text));
  box->setPalette(palette);
  return box;
}

QRadioButton* MakeRadio(QGroupBox* group, const char* name, const char* caption, int top, bool checked) {
  auto* radio = Place(new QRadioButton(FromUtf8(caption), group), name, 8, top, 72, 24);
  radio->setAccessibleName(FromUtf8(caption));
  radio->setChecked(checked);
  return radio;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int top) {
  auto* button = Place(new QPushButton(FromUtf8(caption), parent), name, 308, top, 80, 32);
  button->setAccessibleName(FromUtf8(caption));
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

bool IsArrow(int key) {
  return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}

}  // namespace

MainWindow::MainWindow(WindowHandlers handlers) : handlers_(std::move(handlers)) {
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setObjectName(QStringLiteral("MainWindow"));
  setWindowTitle(FromUtf8("Pakeno ") + QString::fromLatin1(kVersion) + FromUtf8(" 版 BY：Tarvo"));
  setWindowIcon(AppIcon());
  setFixedSize(kClientWidth, kClientHeight);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Button));
  setPalette(palette);
  setAutoFillBackground(true);
  BuildControls();
}

void MainWindow::BuildControls() {
  MakeLabel(this, "透明标签提交地址", "提交地址：", 10, 7, 64, 16);
  // One line, as the platform's address box; a box that cuts long lines for
  // display, so that an address of megabytes pastes as fast as a form body.
  address_ = Place(new LongTextEdit(this), "编辑框提交地址", 10, 26, 288, 28);
  address_->setAccessibleName(FromUtf8("提交地址"));
  address_->SetSingleLine(true);
  address_->setLineWrapMode(QPlainTextEdit::NoWrap);
  address_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  address_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  address_->setTabChangesFocus(true);

  MakeLabel(this, "透明标签提交数据", "提交数据：", 10, 60, 64, 16);
  data_ = MakeMultiLineBox(this, "编辑框提交数据", "提交数据", 10, 79, 288, 120);
  MakeLabel(this, "透明标签返回信息", "返回信息：", 10, 206, 64, 16);
  return_ = MakeMultiLineBox(this, "编辑框返回信息", "返回信息", 10, 226, 287, 152);

  auto* addressType = Place(new QGroupBox(FromUtf8("地址类型"), this), "分组框地址类型", 304, 16, 88, 72);
  http_ = MakeRadio(addressType, "单选框http", "http", 16, true);
  https_ = MakeRadio(addressType, "单选框https", "https", 40, false);
  auto* accessType = Place(new QGroupBox(FromUtf8("访问类型"), this), "分组框数据包类型", 304, 96, 88, 72);
  post_ = MakeRadio(accessType, "单选框post", "post", 16, true);
  get_ = MakeRadio(accessType, "单选框get", "get", 40, false);
  for (QGroupBox* group : {addressType, accessType}) {
    group->setFocusPolicy(Qt::NoFocus);
    group->setAccessibleName(group->title());
  }

  auto* send = MakeButton(this, "按钮提交", "发送数据包", 180);
  auto* copyAddress = MakeButton(this, "按钮复制提交地址", "复制提交地址", 221);
  auto* copyData = MakeButton(this, "按钮复制提交数据", "复制提交数据", 262);
  auto* copyReturn = MakeButton(this, "按钮复制返回信息", "复制返回信息", 303);
  auto* clear = MakeButton(this, "按钮清空", "清空所有数据", 347);

  outcome_ = MakeLabel(this, "透明标签1", kCreditLine, 19, 386, 360, 19);
  outcome_->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  ShowOutcome({}, false);

  connect(send, &QPushButton::clicked, this, [this] {
    if (handlers_.send) handlers_.send();
  });
  connect(copyAddress, &QPushButton::clicked, this, [this] {
    if (handlers_.copy) handlers_.copy(EditBox::kAddress);
  });
  connect(copyData, &QPushButton::clicked, this, [this] {
    if (handlers_.copy) handlers_.copy(EditBox::kData);
  });
  connect(copyReturn, &QPushButton::clicked, this, [this] {
    if (handlers_.copy) handlers_.copy(EditBox::kReturn);
  });
  connect(clear, &QPushButton::clicked, this, [this] {
    if (handlers_.clear) handlers_.clear();
  });

  tabCycle_ = {address_, data_, return_, send, copyReturn, copyData, copyAddress, clear, http_, https_, post_, get_};
  for (QWidget* control : tabCycle_) {
    control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(this);
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
  const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
  const bool plain = modifiers == Qt::NoModifier;
  const bool multiLine = control == data_ || control == return_;

  if (event->type() == QEvent::ShortcutOverride) {
    // Claim Esc before any control can make a shortcut of it.
    if (key->key() == Qt::Key_Escape && plain) {
      event->accept();
      return true;
    }
    return false;
  }
  switch (key->key()) {
    case Qt::Key_Escape:
      if (plain) close();
      return plain;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      MoveFocus(control, key->key() == Qt::Key_Tab && !(modifiers & Qt::ShiftModifier));
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return !multiLine;  // a new line in a multi-line box; nothing anywhere else
    case Qt::Key_F1:
      return true;
    default:
      break;
  }
  if (IsArrow(key->key()) && plain) {
    QRadioButton* other = control == http_    ? https_
                          : control == https_ ? http_
                          : control == post_  ? get_
                          : control == get_   ? post_
                                              : nullptr;
    if (other) {
      other->setFocus(Qt::OtherFocusReason);
      other->setChecked(true);
      return true;
    }
  }
  return false;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  if (handlers_.destroyed) handlers_.destroyed();
}

}  // namespace pakeno
