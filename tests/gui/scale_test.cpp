// The window at a scale factor (QT_SCALE_FACTOR, set by the suite: 2 and
// 1.5): the layout scales whole, every caption fits its control with the
// CJK font the tool installs, and the icon has an image large enough.

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QScreen>

#include <gtest/gtest.h>

#include "app/app_icon.h"
#include "app/main_window.h"
#include "encoding/gbk.h"
#include "workflows/outcome_line.h"

namespace pakeno {
namespace {

class Scaled : public ::testing::Test {
 protected:
  void SetUp() override {
    window = std::make_unique<MainWindow>(WindowHandlers{});
    window->Load();
    QApplication::processEvents();
  }
  std::unique_ptr<MainWindow> window;
};

TEST_F(Scaled, TheScaleFactorIsInForce) {
  const double expected = qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble();
  EXPECT_DOUBLE_EQ(window->devicePixelRatio(), expected);
  // The layout is in logical pixels: the same numbers at every scale.
  EXPECT_EQ(window->size(), QSize(399, 411));
}

TEST_F(Scaled, EveryCaptionFitsItsControl) {
  int checked = 0;
  for (QWidget* control : window->findChildren<QWidget*>()) {
    if (control->objectName().startsWith(u"qt_")) continue;
    SCOPED_TRACE(control->objectName().toStdString());
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
      // The style's own size for the caption, padding and indicator included.
      EXPECT_LE(button->sizeHint().width(), button->width()) << button->text().toStdString();
      ++checked;
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
      EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width()) << label->text().toStdString();
      ++checked;
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
      // The title sits inside the frame, with a margin on either side.
      EXPECT_LE(group->fontMetrics().horizontalAdvance(group->title()) + 16, group->width());
      ++checked;
    }
  }
  EXPECT_EQ(checked, 15);  // 5 push buttons, 4 radio boxes, 4 labels, 2 group boxes
}

TEST_F(Scaled, EveryOutcomeLineFitsTheLabelOnOneLine) {
  auto* label = window->findChild<QLabel*>(QString::fromUtf8("透明标签1"));
  ASSERT_NE(label, nullptr);
  std::vector<Text> whole = {Gbk("2 次重定向 → 404 Not Found · 12,345,678 字节 · 12,345 毫秒")};
  for (int kind = 1; kind <= static_cast<int>(transport::FailureKind::kOther); ++kind)
    whole.push_back(Gbk("发送失败：") + FailureSentence(static_cast<transport::FailureKind>(kind)));
  for (const Text& line : whole) {
    window->ShowOutcome(line, true);
    // Shown whole, not cut short.
    EXPECT_EQ(label->text(), QString::fromUtf8(GbkToUtf8(line))) << GbkToUtf8(line);
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width()) << GbkToUtf8(line);
  }
  // A server's long reason phrase ends in an ellipsis rather than a second line.
  const Text longest = "302 " + Text(200, 'W') + Gbk(" · 1 字节 · 1 毫秒");
  window->ShowOutcome(longest, false);
  EXPECT_TRUE(label->text().endsWith(QChar(0x2026)));
  EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width());
  EXPECT_EQ(label->accessibleName(), QString::fromUtf8(GbkToUtf8(longest)));
}

TEST_F(Scaled, TheIconHasAnImageForTheScale) {
  const qreal ratio = window->devicePixelRatio();
  const QIcon icon = AppIcon();
  for (const int logical : {16, 32, 48}) {
    // What the icon really draws at this size: never scaled up, and not blank.
    const int needed = qCeil(logical * ratio);
    const QImage image = icon.pixmap(QSize(needed, needed)).toImage();
    EXPECT_GE(image.width(), needed) << logical << " at " << ratio;
    EXPECT_GT(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 0) << logical << " at " << ratio;
  }
}

}  // namespace
}  // namespace pakeno
