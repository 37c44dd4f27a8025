// The window under QT_QPA_PLATFORM=offscreen: layout, captions, keyboard.

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "app/main_window.h"
#include "app/qt_platform.h"
#include "base/version.h"
#include "encoding/gbk.h"
#include "support/fakes.h"
#include "window_layout/window_layout.h"
#include "workflows/clipboard_commands.h"

using namespace Qt::Literals::StringLiterals;

namespace pakeno {
namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

class Window : public ::testing::Test {
 protected:
  void SetUp() override {
    WindowHandlers handlers;
    handlers.created = [this] {
      visibleWhenCreated = window->isVisible();
      ++created;
    };
    handlers.destroyed = [this] { ++destroyed; };
    handlers.send = [this] { ++sends; };
    handlers.copy = [this](EditBox box) { copied.push_back(box); };
    handlers.clear = [this] { ++clears; };
    window = std::make_unique<MainWindow>(handlers);
    window->Load();
    window->activateWindow();
    QApplication::processEvents();
  }

  template <typename T = QWidget>
  T* Control(const char* name) {
    T* control = window->findChild<T*>(U(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
  }

  // Presses a key on `control` after giving it the focus.
  void Press(QWidget* control, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    control->setFocus();
    QTest::keyClick(control, key, modifiers);
  }

  std::unique_ptr<MainWindow> window;
  bool visibleWhenCreated = true;
  int created = 0, destroyed = 0, sends = 0, clears = 0;
  std::vector<EditBox> copied;  // the box of each copy press, in order
};

TEST_F(Window, ControlTable) {
  const char* kinds[] = {"QLabel", "QPlainTextEdit", "QPlainTextEdit", "QGroupBox", "QRadioButton", "QPushButton"};
  for (const ControlPlan& row : kControls) {
    SCOPED_TRACE(row.name);
    QWidget* control = Control(row.name);
    ASSERT_NE(control, nullptr);
    EXPECT_STREQ(control->metaObject()->className(), kinds[static_cast<int>(row.kind)]);
    EXPECT_EQ(control->parentWidget()->objectName(),
              row.parent >= 0 ? U(kControls[static_cast<size_t>(row.parent)].name) : U("MainWindow"));
    EXPECT_EQ(control->geometry(), QRect(row.left, row.top, row.width, row.height));
    EXPECT_TRUE(control->isVisible());
    EXPECT_TRUE(control->isEnabled());
    QString caption;
    if (auto* label = qobject_cast<QLabel*>(control)) caption = label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(control)) caption = button->text();
    if (auto* group = qobject_cast<QGroupBox*>(control)) caption = group->title();
    if (auto* box = qobject_cast<QPlainTextEdit*>(control)) caption = box->toPlainText();
    EXPECT_EQ(caption, U(row.caption));
  }
  EXPECT_TRUE(Control<QRadioButton>("单选框http")->isChecked());
  EXPECT_FALSE(Control<QRadioButton>("单选框https")->isChecked());
  EXPECT_TRUE(Control<QRadioButton>("单选框post")->isChecked());
  EXPECT_FALSE(Control<QRadioButton>("单选框get")->isChecked());
  auto* credit = Control<QLabel>("透明标签1");
  EXPECT_EQ(credit->palette().color(QPalette::WindowText), QColor(0, 136, 255));
  EXPECT_EQ(credit->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
  EXPECT_FALSE(credit->text().isEmpty());
}

TEST_F(Window, TheCreditLineTellsTheOutcomeAndComesBack) {
  auto* label = Control<QLabel>("透明标签1");
  const QString credit = label->text();
  window->ShowOutcome(Gbk("404 Not Found · 4 字节 · 3 毫秒"), true);
  EXPECT_EQ(label->text(), U("404 Not Found · 4 字节 · 3 毫秒"));
  EXPECT_EQ(label->accessibleName(), label->text());  // what a screen reader reads
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(204, 0, 0));
  window->ShowOutcome(Gbk("200 OK · 5 字节 · 3 毫秒"), false);
  EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 136, 255));
  window->ShowOutcome({}, false);
  EXPECT_EQ(label->text(), credit);
  EXPECT_EQ(label->accessibleName(), credit);
}

TEST_F(Window, TitleSizeAndLoadOrder) {
  EXPECT_EQ(window->windowTitle(), U("Pakeno ") + QString::fromLatin1(kVersion) + U(" 版 BY：Tarvo"));
  EXPECT_EQ(window->size(), QSize(399, 411));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(created, 1);
  EXPECT_FALSE(visibleWhenCreated);  // the created handler ran before the window was shown
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowIcon().availableSizes().size(), 5);
}

TEST_F(Window, TabCycleRunsThroughTwelveStopsBothWays) {
  const auto order = [](size_t i) { return kControls[IndexOf(kTabCycle[i])].name; };
  Control(order(0))->setFocus();
  for (int i = 1; i <= 12; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), U(order(i % 12))) << "after Tab " << i;
  }
  for (int i = 11; i >= 0; --i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), U(order(i))) << "after Shift+Tab to " << i;
  }
  EXPECT_EQ(Control<QPlainTextEdit>("编辑框提交数据")->toPlainText(), "");  // no tab character went in
}

TEST_F(Window, EscClosesFromEveryControl) {
  for (QWidget* control : window->TabCycle()) {
    destroyed = 0;
    Press(control, Qt::Key_Escape);
    EXPECT_EQ(destroyed, 1) << control->objectName().toStdString();
    window->show();
    QApplication::processEvents();
  }
  destroyed = 0;
  Press(window->TabCycle()[0], Qt::Key_Escape, Qt::ShiftModifier);
  EXPECT_EQ(destroyed, 0);  // only a plain Esc closes
}

TEST_F(Window, EnterPressesNothingAndMovesNothing) {
  for (QWidget* control : window->TabCycle()) {
    Press(control, Qt::Key_Return);
    Press(control, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(QApplication::focusWidget(), control) << control->objectName().toStdString();
  }
  EXPECT_EQ(sends + clears, 0);
  EXPECT_TRUE(copied.empty());
  EXPECT_EQ(Control<QPlainTextEdit>("编辑框提交数据")->toPlainText(), "\n\n");
  EXPECT_EQ(Control<QPlainTextEdit>("编辑框返回信息")->toPlainText(), "\n\n");
  EXPECT_EQ(Control<QPlainTextEdit>("编辑框提交地址")->toPlainText(), "");
  Press(window->TabCycle()[3], Qt::Key_F1);
  EXPECT_EQ(sends, 0);
}

TEST_F(Window, ArrowKeysMoveWithinARadioPair) {
  auto* http = Control<QRadioButton>("单选框http");
  auto* https = Control<QRadioButton>("单选框https");
  auto* post = Control<QRadioButton>("单选框post");
  Press(http, Qt::Key_Down);
  EXPECT_EQ(QApplication::focusWidget(), https);
  EXPECT_TRUE(https->isChecked());
  EXPECT_FALSE(http->isChecked());
  EXPECT_TRUE(post->isChecked());  // the other pair is untouched
  QTest::keyClick(https, Qt::Key_Left);
  EXPECT_TRUE(http->isChecked());
  Press(post, Qt::Key_Right);
  EXPECT_TRUE(Control<QRadioButton>("单选框get")->isChecked());
  EXPECT_TRUE(http->isChecked());
  QTest::mouseClick(http, Qt::LeftButton);
  EXPECT_TRUE(http->isChecked());  // clicking a checked radio box keeps it checked
}

TEST_F(Window, BoxesHoldLongTextsAndConvertAtTheBoundary) {
  const Text address = "http://srv/?" + Text(40'000, 'a');
  window->WriteText(EditBox::kAddress, address);
  EXPECT_EQ(window->ReadText(EditBox::kAddress), address);
  window->WriteText(EditBox::kReturn, "\xD6\xD0\xCE\xC4\xFF");
  EXPECT_EQ(Control<QPlainTextEdit>("编辑框返回信息")->toPlainText(), U("中文\xEF\xBF\xBD"));
  Control<QPlainTextEdit>("编辑框提交数据")->setPlainText(U("名=\xF0\x9F\x98\x80"));
  EXPECT_EQ(window->ReadText(EditBox::kData), "\xC3\xFB=?");
  auto* data = Control<QPlainTextEdit>("编辑框提交数据");
  EXPECT_EQ(data->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(data->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  EXPECT_FALSE(data->isReadOnly());
  EXPECT_FALSE(Control<QPlainTextEdit>("编辑框返回信息")->isReadOnly());
}

TEST_F(Window, TheAddressBoxKeepsTheFirstLineOfAPaste) {
  auto* address = Control<QPlainTextEdit>("编辑框提交地址");
  const struct {
    QString before;
    int cursor;
    QString pasted, after;
  } cases[] = {
      {u""_s, 0, u"http://srv/a\r\nX-Injected: yes"_s, u"http://srv/a"_s},
      {u""_s, 0, u"http://srv/form.php\n"_s, u"http://srv/form.php"_s},  // a trailing line break
      {u""_s, 0, u"http://srv/a\rb"_s, u"http://srv/a"_s},
      {u"http://srv/?q="_s, 14, u"1\n2\n3"_s, u"http://srv/?q=1"_s},
      {u"srv/x"_s, 3, u":81\r\n:82"_s, u"srv:81/x"_s},  // in the middle: the text after the cursor stays
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pasted.toStdString());
    address->setPlainText(c.before);
    QTextCursor cursor = address->textCursor();
    cursor.setPosition(c.cursor);
    address->setTextCursor(cursor);
    QGuiApplication::clipboard()->setText(c.pasted);
    address->paste();
    EXPECT_EQ(address->toPlainText(), c.after);
  }
}

TEST_F(Window, CopyingAUtf8PageFromTheReturnBoxSucceeds) {
  // A UTF-8 page shows as GBK-read bytes, some of them no GBK at all; the
  // clipboard gets what the box shows, and the copy is confirmed.
  const Text page = "<p>\xE4\xB8\xAD\xE6\x96\x87\xE9\xA1\xB5\xE9\x9D\xA2</p>\r\nline 2\rline 3";
  window->WriteText(EditBox::kReturn, page);
  QtClipboard clipboard;
  testing::FakeMessageBoxes boxes;
  PressCopy(*window, EditBox::kReturn, clipboard, boxes);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, Gbk("已复制到剪贴板，可粘贴使用。"));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), Control<QPlainTextEdit>("编辑框返回信息")->toPlainText());
}

TEST(QtMessageBoxes, ChineseButtonsWhateverTheLocaleAndTheirKeys) {
  const QStringList ok{U("确定")}, yesNo{U("是(&Y)"), U("否(&N)")};
  const struct {
    MessageButtons buttons;
    Qt::Key key;
    QStringList captions;
    MessageAnswer expected;
  } cases[] = {
      {MessageButtons::kOk, Qt::Key_Return, ok, MessageAnswer::kOk},
      {MessageButtons::kYesNo, Qt::Key_Y, yesNo, MessageAnswer::kYes},
      {MessageButtons::kYesNo, Qt::Key_N, yesNo, MessageAnswer::kNo},
      {MessageButtons::kYesNo, Qt::Key_Escape, yesNo, MessageAnswer::kNo},
      {MessageButtons::kYesNo, Qt::Key_Return, yesNo, MessageAnswer::kYes},  // Yes is the default button
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    QStringList captions;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      for (QAbstractButton* button : box->buttons()) captions << button->text();
      QTest::keyClick(box, c.key);
    });
    EXPECT_EQ(QtMessageBoxes().Show(Gbk("问题"), Gbk("信息："), c.buttons, MessageIcon::kNone), c.expected);
    EXPECT_EQ(captions, c.captions);
  }
}

// Walks the accessible tree below `node` and notes, for every widget named
// after the control convention, the role and the name a screen reader gets.
void CollectControls(QAccessibleInterface* node, std::map<QString, std::pair<QAccessible::Role, QString>>& found) {
  if (!node) return;
  // Qt names the parts of its own composite widgets "qt_…": those are no controls.
  if (auto* widget = qobject_cast<QWidget*>(node->object());
      widget && !widget->objectName().isEmpty() && !widget->objectName().startsWith(u"qt_"_s)) {
    found[widget->objectName()] = {node->role(), node->text(QAccessible::Name)};
  }
  for (int i = 0; i < node->childCount(); ++i) CollectControls(node->child(i), found);
}

TEST_F(Window, EveryControlHasTheRoleAndNameOfItsKind) {
  std::map<QString, std::pair<QAccessible::Role, QString>> found;
  CollectControls(QAccessible::queryAccessibleInterface(window.get()), found);
  found.erase(u"MainWindow"_s);
  // The kind a control's name begins with decides the role it must have.
  const std::pair<const char*, QAccessible::Role> kinds[] = {{"编辑框", QAccessible::EditableText},
                                                             {"按钮", QAccessible::Button},
                                                             {"单选框", QAccessible::RadioButton},
                                                             {"分组框", QAccessible::Grouping},
                                                             {"透明标签", QAccessible::StaticText}};
  for (const auto& [name, roleAndText] : found) {
    SCOPED_TRACE(name.toStdString());
    const auto kind =
        std::find_if(std::begin(kinds), std::end(kinds), [&](const auto& k) { return name.startsWith(U(k.first)); });
    ASSERT_NE(kind, std::end(kinds)) << "a control whose name tells no kind";
    EXPECT_EQ(roleAndText.first, kind->second);
    EXPECT_FALSE(roleAndText.second.isEmpty()) << "no accessible name";
  }
  EXPECT_EQ(found.size(), 18u);  // every control of the window is in the tree
  EXPECT_EQ(found[U("分组框地址类型")].second, U("地址类型"));
  EXPECT_EQ(found[U("分组框数据包类型")].second, U("访问类型"));
  EXPECT_EQ(found[U("透明标签提交地址")].second, U("提交地址"));
  EXPECT_EQ(found[U("按钮复制返回信息")].second, U("复制返回信息"));
  EXPECT_EQ(found[U("单选框https")].second, U("https"));
}

TEST_F(Window, ButtonsReachTheirHandlers) {
  QTest::mouseClick(Control("按钮提交"), Qt::LeftButton);
  QTest::mouseClick(Control("按钮复制提交地址"), Qt::LeftButton);
  QTest::mouseClick(Control("按钮复制提交数据"), Qt::LeftButton);
  QTest::mouseClick(Control("按钮复制返回信息"), Qt::LeftButton);
  QTest::mouseClick(Control("按钮清空"), Qt::LeftButton);
  EXPECT_EQ(sends, 1);
  EXPECT_EQ(copied, (std::vector<EditBox>{EditBox::kAddress, EditBox::kData, EditBox::kReturn}));  // each its own box
  EXPECT_EQ(clears, 1);
}

}  // namespace
}  // namespace pakeno
