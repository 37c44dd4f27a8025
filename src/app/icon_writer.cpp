// Writes the application icon as <dir>/<size>.png for every size it holds,
// for the desktop's icon theme, and as <dir>/pakeno.ico, the same images as
// the Windows build's resource takes them.

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QtEndian>

#include "app/app_icon.h"

namespace {

void Append16(QByteArray& out, quint16 value) {
  value = qToLittleEndian(value);
  out.append(reinterpret_cast<const char*>(&value), 2);
}

void Append32(QByteArray& out, quint32 value) {
  value = qToLittleEndian(value);
  out.append(reinterpret_cast<const char*>(&value), 4);
}

// An icon file whose images are PNG, as Windows reads them since Vista.
QByteArray IconFile(const QList<QByteArray>& pngs, const QList<int>& sizes) {
  QByteArray out;
  Append16(out, 0);
  Append16(out, 1);  // an icon, not a cursor
  Append16(out, static_cast<quint16>(pngs.size()));
  quint32 offset = 6 + 16 * static_cast<quint32>(pngs.size());
  for (qsizetype i = 0; i < pngs.size(); ++i) {
    out.append(static_cast<char>(sizes[i] >= 256 ? 0 : sizes[i]));
    out.append(static_cast<char>(sizes[i] >= 256 ? 0 : sizes[i]));
    out.append('\0');  // no palette
    out.append('\0');
    Append16(out, 1);   // planes
    Append16(out, 32);  // bits per pixel
    Append32(out, static_cast<quint32>(pngs[i].size()));
    Append32(out, offset);
    offset += static_cast<quint32>(pngs[i].size());
  }
  for (const QByteArray& png : pngs) out += png;
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication application(argc, argv);
  if (argc != 2) return 2;
  const QString dir = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(dir);
  QList<QByteArray> pngs;
  QList<int> sizes;
  for (int size : pakeno::kIconSizes) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!pakeno::DrawAppIcon(size).save(&buffer, "PNG")) return 1;
    QFile file(dir + QStringLiteral("/%1.png").arg(size));
    if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size()) return 1;
    pngs.append(png);
    sizes.append(size);
  }
  QFile icon(dir + QStringLiteral("/pakeno.ico"));
  const QByteArray ico = IconFile(pngs, sizes);
  return icon.open(QIODevice::WriteOnly) && icon.write(ico) == ico.size() ? 0 : 1;
}
