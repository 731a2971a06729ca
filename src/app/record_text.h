#pragma once
// Record strings are Windows-1252 bytes; widgets hold QString. These convert at
// the edge between them.
#include <QString>
#include <string>
#include <string_view>

namespace qm {

QString RecordTextToQString(std::string_view text);
// Characters Windows-1252 cannot hold become '?'; the result is cut to capacity.
std::string QStringToRecordText(const QString& text, std::size_t capacity);

}  // namespace qm
