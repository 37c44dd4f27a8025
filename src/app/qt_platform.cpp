#include "app/qt_platform.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include "encoding/gbk.h"
#include "platform/event_pump.h"

namespace pakeno {
namespace {

QString ToQt(const Text& gbk) { return QString::fromStdString(GbkToUtf8(gbk)); }

QMessageBox::Icon ToQt(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kWarning: return QMessageBox::Warning;
    case MessageIcon::kQuestion: return QMessageBox::Question;
    case MessageIcon::kError: return QMessageBox::Critical;
    case MessageIcon::kNone: break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

MessageAnswer QtMessageBoxes::Show(const Text& text, const Text& title, MessageButtons buttons, MessageIcon icon) {
  // No owner window; modal for the whole application.
  QMessageBox box(ToQt(icon), ToQt(title), ToQt(text),
                  buttons == MessageButtons::kYesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
  box.setWindowModality(Qt::ApplicationModal);
  const int answer = box.exec();
  if (buttons == MessageButtons::kOk) return MessageAnswer::kOk;
  return answer == QMessageBox::Yes ? MessageAnswer::kYes : MessageAnswer::kNo;
}

void QtClipboard::SetText(const Text& text) { QGuiApplication::clipboard()->setText(ToQt(text)); }

Text QtClipboard::GetText() { return Utf8ToGbk(QGuiApplication::clipboard()->text().toStdString()); }

void QtBrowser::Open(const Text& address) {
  QDesktopServices::openUrl(QUrl(ToQt(address), QUrl::StrictMode));
}

void InstallQtEventPump() {
  SetEventPump([] { QCoreApplication::processEvents(QEventLoop::AllEvents); });
}

}  // namespace pakeno
