#include "app/qt_platform.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "base/event_pump.h"
#include "encoding/gbk.h"

using namespace Qt::Literals::StringLiterals;

namespace pakeno {
namespace {

QString ToQt(const Text& gbk) { return QString::fromStdString(GbkToUtf8(gbk)); }

QMessageBox::Icon ToQt(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kWarning:
      return QMessageBox::Warning;
    case MessageIcon::kQuestion:
      return QMessageBox::Question;
    case MessageIcon::kError:
      return QMessageBox::Critical;
    case MessageIcon::kNone:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

MessageAnswer QtMessageBoxes::Show(const Text& text, const Text& title, MessageButtons buttons, MessageIcon icon) {
  // No owner window; modal for the whole application. The buttons speak the
  // tool's language whatever the locale; Y and N stay their accelerators.
  QMessageBox box(ToQt(icon), ToQt(title), ToQt(text));
  box.setWindowModality(Qt::ApplicationModal);
  if (buttons == MessageButtons::kOk) {
    box.setDefaultButton(box.addButton(u"确定"_s, QMessageBox::AcceptRole));
    box.exec();
    return MessageAnswer::kOk;
  }
  QPushButton* yes = box.addButton(u"是(&Y)"_s, QMessageBox::YesRole);
  QPushButton* no = box.addButton(u"否(&N)"_s, QMessageBox::NoRole);
  box.setDefaultButton(yes);
  box.setEscapeButton(no);
  box.exec();
  return box.clickedButton() == yes ? MessageAnswer::kYes : MessageAnswer::kNo;
}

bool QtClipboard::SetText(const Text& text) {
  // Unicode against Unicode: bytes that are not GBK (a UTF-8 page in the
  // return box) cannot survive a round trip through GBK, yet copy fine.
  QString shown = ToQt(text);
  shown.replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n');  // the desktop's line breaks
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->setText(shown);
  return clipboard->text() == shown;
}

void QtBrowser::Open(const Text& address) {
  QDesktopServices::openUrl(QUrl(QString::fromStdString(Gb18030ToUtf8(address)), QUrl::StrictMode));
}

void InstallQtEventPump() {
  SetEventPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
}

}  // namespace pakeno
