#pragma once
// Compiler directives: {$I name} / {$INCLUDE name} through the host's file
// callback, and {$DEFINE}, {$UNDEF}, {$IFDEF}, {$IFNDEF}, {$ELSE}, {$ENDIF}.
#include <functional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace qm::script {

// A compiler message that ends the compilation (the first error wins).
struct CompileError {
  std::string message;
  int file = 0, row = 0, col = 0;
};

// An include file that the host could not deliver: this abandons the
// compilation as an exception, not as a compiler message.
class IncludeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Returns false when the file cannot be had; otherwise fills `text`.
using NeedFileFn = std::function<bool(const std::string& name, std::string& text)>;

class Preprocessor {
 public:
  explicit Preprocessor(NeedFileFn need_file) : need_file_(std::move(need_file)) {}

  void Define(const std::string& name);
  // Whether tokens are kept at this point (all enclosing conditions hold).
  bool Active() const { return skip_depth_ == 0; }
  enum class Action { kNone, kInclude };
  // Handles the directive text after "{$" up to "}". For an include, `name`
  // receives the file name. Throws CompileError on a misplaced directive.
  Action Directive(const std::string& body, int file, int row, int col, std::string& name);
  // Asks the host for an included file; throws IncludeError when it fails.
  std::string Include(const std::string& name);
  // Called at the end of the main text: every {$IFDEF} must be closed.
  void Finish(int file, int row, int col) const;
  // Included file names in order; number i + 1 in line information.
  std::vector<std::string>& Files() { return files_; }

 private:
  NeedFileFn need_file_;
  std::set<std::string> defines_;
  struct Cond {
    bool active;  // this branch keeps tokens
    bool parent_active;
    bool seen_else;
    int file, row, col;  // where it was opened, for an unclosed one
  };
  std::vector<Cond> conds_;
  int skip_depth_ = 0;
  std::vector<std::string> files_;
  void Recount();
};

}  // namespace qm::script
