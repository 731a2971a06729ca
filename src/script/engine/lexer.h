#pragma once
// Turns script text into tokens with file, row and column. Directives in braces
// ({$...}) go to the preprocessor, which may pull in included files and skip
// conditional parts; the token list that comes out is what the compiler sees.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "script/engine/preprocessor.h"

namespace qm::script {

enum class Tok {
  kEof,
  kIdent,
  kInt,
  kReal,
  kString,
  // symbols
  kPlus,
  kMinus,
  kStar,
  kSlash,
  kEq,
  kNe,
  kLt,
  kLe,
  kGt,
  kGe,
  kAssign,
  kColon,
  kSemi,
  kComma,
  kDot,
  kDotDot,
  kLParen,
  kRParen,
  kLBrack,
  kRBrack,
  kCaret,
  kAt,
  // keywords
  kAnd,
  kArray,
  kBegin,
  kCase,
  kConst,
  kDiv,
  kDo,
  kDownto,
  kElse,
  kEnd,
  kExcept,
  kFinally,
  kFor,
  kForward,
  kFunction,
  kIf,
  kIn,
  kMod,
  kNil,
  kNot,
  kOf,
  kOr,
  kProcedure,
  kProgram,
  kRaise,
  kRecord,
  kRepeat,
  kSet,
  kShl,
  kShr,
  kThen,
  kTo,
  kTry,
  kType,
  kUntil,
  kVar,
  kWhile,
  kWith,
  kXor,
  kUses,
  kUnit,
  kInterface,
  kImplementation,
  kClass,
  kGoto,
  kLabel,
};

struct Token {
  Tok kind = Tok::kEof;
  std::string text;   // identifier as written, or the string literal's value
  std::string lower;  // identifier in lower case
  std::int64_t ival = 0;
  double fval = 0;
  int file = 0, row = 1, col = 1, pos = 0;
};

const char* TokName(Tok t);

class Lexer {
 public:
  explicit Lexer(Preprocessor& pre) : pre_(pre) {}
  // Appends the tokens of `text` (file number `file`) to `out`; the last call's
  // caller adds the end token. Throws CompileError.
  void Tokenize(const std::string& text, int file, std::vector<Token>& out, int depth = 0);

 private:
  Preprocessor& pre_;
};

}  // namespace qm::script
