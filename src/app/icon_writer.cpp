// Writes the application icon as <dir>/<size>.png for every size it holds.

#include <QDir>
#include <QGuiApplication>

#include "app/app_icon.h"

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  if (argc != 2) return 2;
  const QString dir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(dir);
  for (int size : pakeno::kIconSizes) {
    if (!pakeno::DrawAppIcon(size).save(dir + QStringLiteral("/%1.png").arg(size))) return 1;
  }
  return 0;
}
