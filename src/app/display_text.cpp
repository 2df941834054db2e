#include "app/display_text.h"

#include <QFile>
#include <QStringDecoder>

namespace corvane {

QString DisplayText(std::string_view bytes) {
  QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
  QString text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  if (!utf8.hasError()) return text;
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string PathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace corvane
