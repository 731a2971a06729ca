#include "common/errors.h"

#include <cstring>

namespace qm {

std::string CannotOpenMessage(const std::string& path, const std::string& reason) {
  return "Cannot open file \"" + path + "\". " + reason;
}

std::string CannotCreateMessage(const std::string& path, const std::string& reason) {
  return "Cannot create file \"" + path + "\". " + reason;
}

std::string CannotWriteMessage(const std::string& path, const std::string& reason) {
  return "Cannot write file \"" + path + "\". " + reason;
}

std::string SystemReason(int errnum) {
  char buffer[256];
  // GNU strerror_r may return a static string instead of filling the buffer.
  const char* text = strerror_r(errnum, buffer, sizeof buffer);
  return text ? std::string(text) : std::string("Unknown error");
}

}  // namespace qm
