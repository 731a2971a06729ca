#pragma once
// The compiler: a recursive-descent parser that checks types and emits register
// byte code in one pass over the token list.
#include <string>
#include <vector>

#include "script/engine/bytecode.h"
#include "script/engine/lexer.h"

namespace qm::script {

// A registered host routine as the compiler sees it.
struct HostDecl {
  std::string declaration;  // "function InputBox(c,p,d: String): String"
};

struct HostVarDecl {
  std::string name;
  std::string type_name;
};

// The parsed signature of a host routine, for the machine's calls.
struct HostSignature {
  std::string name;
  std::vector<ParamMode> modes;
  std::vector<const Type*> params;
  const Type* result = nullptr;  // null for procedures
};

struct CompileOutput {
  Program program;
  std::vector<HostSignature> hosts;  // in registration order
};

// Compiles the tokens (ending with kEof). Throws CompileError at the first error.
void CompileTokens(const std::vector<Token>& tokens, const std::vector<HostDecl>& hosts,
                   const std::vector<HostVarDecl>& vars, CompileOutput& out);

}  // namespace qm::script
