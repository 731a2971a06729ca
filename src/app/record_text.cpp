#include "app/record_text.h"

#include "common/text_encoding.h"

namespace qm {

QString RecordTextToQString(std::string_view text) {
  return QString::fromStdString(Cp1252ToUtf8(text));
}

std::string QStringToRecordText(const QString& text, std::size_t capacity) {
  std::string bytes = Utf8ToCp1252(text.toStdString());
  if (bytes.size() > capacity) bytes.resize(capacity);
  return bytes;
}

}  // namespace qm
