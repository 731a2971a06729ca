#include "script/engine/lexer.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <unordered_map>

namespace qm::script {

namespace {

const std::unordered_map<std::string, Tok>& Keywords() {
  static const std::unordered_map<std::string, Tok> k = {
      {"and", Tok::kAnd},
      {"array", Tok::kArray},
      {"begin", Tok::kBegin},
      {"case", Tok::kCase},
      {"const", Tok::kConst},
      {"div", Tok::kDiv},
      {"do", Tok::kDo},
      {"downto", Tok::kDownto},
      {"else", Tok::kElse},
      {"end", Tok::kEnd},
      {"except", Tok::kExcept},
      {"finally", Tok::kFinally},
      {"for", Tok::kFor},
      {"forward", Tok::kForward},
      {"function", Tok::kFunction},
      {"if", Tok::kIf},
      {"in", Tok::kIn},
      {"mod", Tok::kMod},
      {"nil", Tok::kNil},
      {"not", Tok::kNot},
      {"of", Tok::kOf},
      {"or", Tok::kOr},
      {"procedure", Tok::kProcedure},
      {"program", Tok::kProgram},
      {"raise", Tok::kRaise},
      {"record", Tok::kRecord},
      {"repeat", Tok::kRepeat},
      {"set", Tok::kSet},
      {"shl", Tok::kShl},
      {"shr", Tok::kShr},
      {"then", Tok::kThen},
      {"to", Tok::kTo},
      {"try", Tok::kTry},
      {"type", Tok::kType},
      {"until", Tok::kUntil},
      {"var", Tok::kVar},
      {"while", Tok::kWhile},
      {"with", Tok::kWith},
      {"xor", Tok::kXor},
      {"uses", Tok::kUses},
      {"unit", Tok::kUnit},
      {"interface", Tok::kInterface},
      {"implementation", Tok::kImplementation},
      {"class", Tok::kClass},
      {"goto", Tok::kGoto},
      {"label", Tok::kLabel},
  };
  return k;
}

bool IsIdentStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsIdentChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

}  // namespace

const char* TokName(Tok t) {
  switch (t) {
    case Tok::kEof:
      return "end of file";
    case Tok::kIdent:
      return "identifier";
    case Tok::kInt:
      return "integer";
    case Tok::kReal:
      return "real number";
    case Tok::kString:
      return "string";
    case Tok::kPlus:
      return "'+'";
    case Tok::kMinus:
      return "'-'";
    case Tok::kStar:
      return "'*'";
    case Tok::kSlash:
      return "'/'";
    case Tok::kEq:
      return "'='";
    case Tok::kNe:
      return "'<>'";
    case Tok::kLt:
      return "'<'";
    case Tok::kLe:
      return "'<='";
    case Tok::kGt:
      return "'>'";
    case Tok::kGe:
      return "'>='";
    case Tok::kAssign:
      return "':='";
    case Tok::kColon:
      return "':'";
    case Tok::kSemi:
      return "';'";
    case Tok::kComma:
      return "','";
    case Tok::kDot:
      return "'.'";
    case Tok::kDotDot:
      return "'..'";
    case Tok::kLParen:
      return "'('";
    case Tok::kRParen:
      return "')'";
    case Tok::kLBrack:
      return "'['";
    case Tok::kRBrack:
      return "']'";
    case Tok::kCaret:
      return "'^'";
    case Tok::kAt:
      return "'@'";
    default:
      break;
  }
  for (const auto& [name, tok] : Keywords())
    if (tok == t) return name.c_str();
  return "token";
}

void Lexer::Tokenize(const std::string& text, int file, std::vector<Token>& out, int depth) {
  if (depth > 16) throw CompileError{"Include files nested too deeply", file, 1, 1};
  std::size_t i = 0;
  int row = 1;
  std::size_t line_start = 0;
  const std::size_t n = text.size();
  auto col_of = [&](std::size_t at) { return static_cast<int>(at - line_start) + 1; };
  auto newline = [&](std::size_t at) {
    ++row;
    line_start = at + 1;
  };
  while (i < n) {
    const char c = text[i];
    if (c == '\n') {
      newline(i);
      ++i;
      continue;
    }
    if (c == '\r') {
      if (i + 1 < n && text[i + 1] == '\n') ++i;
      newline(i);
      ++i;
      continue;
    }
    if (static_cast<unsigned char>(c) <= ' ') {
      ++i;
      continue;
    }
    const int trow = row, tcol = col_of(i);
    const std::size_t tpos = i;
    // Comments and directives.
    if (c == '{' || (c == '(' && i + 1 < n && text[i + 1] == '*')) {
      const bool brace = c == '{';
      std::size_t j = i + (brace ? 1 : 2);
      const bool directive = j < n && text[j] == '$';
      std::size_t body_start = j + (directive ? 1 : 0);
      std::size_t end = std::string::npos;
      while (j < n) {
        if (brace ? text[j] == '}' : (text[j] == '*' && j + 1 < n && text[j + 1] == ')')) {
          end = j;
          break;
        }
        if (text[j] == '\n' || (text[j] == '\r' && !(j + 1 < n && text[j + 1] == '\n'))) newline(j);
        ++j;
      }
      if (end == std::string::npos) throw CompileError{"Unterminated comment", file, trow, tcol};
      i = end + (brace ? 1 : 2);
      if (directive) {
        std::string name;
        if (pre_.Directive(text.substr(body_start, end - body_start), file, trow, tcol, name) ==
            Preprocessor::Action::kInclude) {
          const std::string inc = pre_.Include(name);
          const int inc_file = static_cast<int>(pre_.Files().size());
          Tokenize(inc, inc_file, out, depth + 1);
        }
      }
      continue;
    }
    if (c == '/' && i + 1 < n && text[i + 1] == '/') {
      while (i < n && text[i] != '\n' && text[i] != '\r') ++i;
      continue;
    }
    Token t;
    t.file = file;
    t.row = trow;
    t.col = tcol;
    t.pos = static_cast<int>(tpos);
    if (IsIdentStart(c)) {
      std::size_t j = i;
      while (j < n && IsIdentChar(text[j])) ++j;
      t.text = text.substr(i, j - i);
      t.lower = t.text;
      for (auto& ch : t.lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      auto k = Keywords().find(t.lower);
      t.kind = k == Keywords().end() ? Tok::kIdent : k->second;
      i = j;
    } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '$') {
      std::size_t j = i;
      if (c == '$') {
        ++j;
        std::uint64_t v = 0;
        const std::size_t start = j;
        while (j < n && std::isxdigit(static_cast<unsigned char>(text[j]))) {
          if (v >> 60) throw CompileError{"Integer constant too large", file, trow, tcol};
          v = v * 16 + static_cast<std::uint64_t>(std::isdigit(static_cast<unsigned char>(text[j]))
                                                      ? text[j] - '0'
                                                      : (std::tolower(text[j]) - 'a' + 10));
          ++j;
        }
        if (j == start) throw CompileError{"Hexadecimal digits expected", file, trow, tcol};
        t.kind = Tok::kInt;
        t.ival = static_cast<std::int64_t>(v);
      } else {
        while (j < n && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
        bool real = false;
        if (j + 1 < n && text[j] == '.' && std::isdigit(static_cast<unsigned char>(text[j + 1]))) {
          real = true;
          ++j;
          while (j < n && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
        }
        if (j < n && (text[j] == 'e' || text[j] == 'E')) {
          std::size_t k = j + 1;
          if (k < n && (text[k] == '+' || text[k] == '-')) ++k;
          if (k < n && std::isdigit(static_cast<unsigned char>(text[k]))) {
            real = true;
            j = k;
            while (j < n && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
          }
        }
        const std::string digits = text.substr(i, j - i);
        if (real) {
          t.kind = Tok::kReal;
          t.fval = std::strtod(digits.c_str(), nullptr);
        } else {
          std::uint64_t v = 0;
          for (char d : digits) {
            if (v > (std::uint64_t{1} << 63) / 10)
              throw CompileError{"Integer constant too large", file, trow, tcol};
            v = v * 10 + static_cast<std::uint64_t>(d - '0');
          }
          if (v > static_cast<std::uint64_t>(INT64_MAX))
            throw CompileError{"Integer constant too large", file, trow, tcol};
          t.kind = Tok::kInt;
          t.ival = static_cast<std::int64_t>(v);
        }
      }
      i = j;
    } else if (c == '\'' || c == '#') {
      t.kind = Tok::kString;
      while (i < n && (text[i] == '\'' || text[i] == '#')) {
        if (text[i] == '\'') {
          std::size_t j = i + 1;
          for (;;) {
            if (j >= n || text[j] == '\n' || text[j] == '\r')
              throw CompileError{"Unterminated string", file, trow, tcol};
            if (text[j] == '\'') {
              if (j + 1 < n && text[j + 1] == '\'') {
                t.text += '\'';
                j += 2;
                continue;
              }
              break;
            }
            t.text += text[j++];
          }
          i = j + 1;
        } else {
          std::size_t j = i + 1;
          std::int64_t v = 0;
          const std::size_t start = j;
          if (j < n && text[j] == '$') {
            ++j;
            while (j < n && std::isxdigit(static_cast<unsigned char>(text[j])) && v < 4096) {
              v = v * 16 + (std::isdigit(static_cast<unsigned char>(text[j]))
                                ? text[j] - '0'
                                : (std::tolower(text[j]) - 'a' + 10));
              ++j;
            }
          } else {
            while (j < n && std::isdigit(static_cast<unsigned char>(text[j])) && v < 4096) {
              v = v * 10 + (text[j] - '0');
              ++j;
            }
          }
          if (j == start || (text[start] == '$' && j == start + 1) || v > 255)
            throw CompileError{"Invalid character constant", file, row, col_of(i)};
          t.text += static_cast<char>(v);
          i = j;
        }
      }
    } else {
      auto two = [&](char a, char b) { return c == a && i + 1 < n && text[i + 1] == b; };
      std::size_t len = 2;
      if (two(':', '='))
        t.kind = Tok::kAssign;
      else if (two('<', '='))
        t.kind = Tok::kLe;
      else if (two('>', '='))
        t.kind = Tok::kGe;
      else if (two('<', '>'))
        t.kind = Tok::kNe;
      else if (two('.', '.'))
        t.kind = Tok::kDotDot;
      else {
        len = 1;
        switch (c) {
          case '+':
            t.kind = Tok::kPlus;
            break;
          case '-':
            t.kind = Tok::kMinus;
            break;
          case '*':
            t.kind = Tok::kStar;
            break;
          case '/':
            t.kind = Tok::kSlash;
            break;
          case '=':
            t.kind = Tok::kEq;
            break;
          case '<':
            t.kind = Tok::kLt;
            break;
          case '>':
            t.kind = Tok::kGt;
            break;
          case ':':
            t.kind = Tok::kColon;
            break;
          case ';':
            t.kind = Tok::kSemi;
            break;
          case ',':
            t.kind = Tok::kComma;
            break;
          case '.':
            t.kind = Tok::kDot;
            break;
          case '(':
            t.kind = Tok::kLParen;
            break;
          case ')':
            t.kind = Tok::kRParen;
            break;
          case '[':
            t.kind = Tok::kLBrack;
            break;
          case ']':
            t.kind = Tok::kRBrack;
            break;
          case '^':
            t.kind = Tok::kCaret;
            break;
          case '@':
            t.kind = Tok::kAt;
            break;
          default:
            throw CompileError{"Unexpected character '" + std::string(1, c) + "'", file, trow,
                               tcol};
        }
      }
      i += len;
    }
    if (pre_.Active()) out.push_back(std::move(t));
  }
  if (depth == 0) pre_.Finish(file, row, col_of(n));
}

}  // namespace qm::script
