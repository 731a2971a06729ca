#include "script/engine/preprocessor.h"

#include <algorithm>
#include <cctype>

namespace qm::script {

namespace {

std::string Upper(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string Trimmed(const std::string& s) {
  std::size_t a = 0, b = s.size();
  while (a < b && static_cast<unsigned char>(s[a]) <= ' ') ++a;
  while (b > a && static_cast<unsigned char>(s[b - 1]) <= ' ') --b;
  return s.substr(a, b - a);
}

}  // namespace

void Preprocessor::Define(const std::string& name) {
  defines_.insert(Upper(name));
}

void Preprocessor::Recount() {
  skip_depth_ = 0;
  for (const auto& c : conds_)
    if (!c.active) ++skip_depth_;
}

Preprocessor::Action Preprocessor::Directive(const std::string& body, int file, int row, int col,
                                             std::string& name) {
  std::size_t i = 0;
  while (i < body.size() && (std::isalpha(static_cast<unsigned char>(body[i])) || body[i] == '_'))
    ++i;
  const std::string word = Upper(body.substr(0, i));
  const std::string arg = Trimmed(body.substr(i));
  if (word == "IFDEF" || word == "IFNDEF") {
    const bool defined = defines_.count(Upper(arg)) > 0;
    const bool parent = Active();
    conds_.push_back(
        {parent && (word == "IFDEF" ? defined : !defined), parent, false, file, row, col});
    Recount();
    return Action::kNone;
  }
  if (word == "ELSE") {
    if (conds_.empty() || conds_.back().seen_else)
      throw CompileError{"Misplaced {$ELSE}", file, row, col};
    auto& c = conds_.back();
    c.seen_else = true;
    c.active = c.parent_active && !c.active;
    Recount();
    return Action::kNone;
  }
  if (word == "ENDIF") {
    if (conds_.empty()) throw CompileError{"Misplaced {$ENDIF}", file, row, col};
    conds_.pop_back();
    Recount();
    return Action::kNone;
  }
  if (!Active()) return Action::kNone;
  if (word == "DEFINE") {
    if (arg.empty()) throw CompileError{"Name expected after {$DEFINE}", file, row, col};
    defines_.insert(Upper(arg));
  } else if (word == "UNDEF") {
    defines_.erase(Upper(arg));
  } else if (word == "I" || word == "INCLUDE") {
    name = arg;
    if (name.size() >= 2 && name.front() == '\'' && name.back() == '\'')
      name = name.substr(1, name.size() - 2);
    if (name.empty()) throw CompileError{"File name expected after {$I}", file, row, col};
    return Action::kInclude;
  }
  // Other switches ({$R+}, {$H+} and the like) have no meaning here.
  return Action::kNone;
}

std::string Preprocessor::Include(const std::string& name) {
  std::string text;
  bool ok = false;
  if (need_file_) ok = need_file_(name, text);
  if (!ok) throw IncludeError("Unable to find file '" + name + "'");
  files_.push_back(name);
  return text;
}

void Preprocessor::Finish(int file, int row, int col) const {
  (void)file;
  (void)row;
  (void)col;
  if (!conds_.empty()) {
    const Cond& open = conds_.back();
    throw CompileError{"Missing {$ENDIF}", open.file, open.row, open.col};
  }
}

}  // namespace qm::script
