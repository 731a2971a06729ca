#pragma once
// Failures that reach the user. Core code throws UserError with the text the user
// should read; command boundaries (menu actions, qmtool subcommands, script routine
// calls) catch it and show it.
#include <stdexcept>
#include <string>

namespace qm {

class UserError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "Cannot open file "%s". %s" and "Cannot create file "%s". %s".
std::string CannotOpenMessage(const std::string& path, const std::string& reason);
std::string CannotCreateMessage(const std::string& path, const std::string& reason);
// "Cannot write file "%s". %s": a file that was created but could not be completed.
std::string CannotWriteMessage(const std::string& path, const std::string& reason);

// The system's text for an errno value.
std::string SystemReason(int errnum);

}  // namespace qm
