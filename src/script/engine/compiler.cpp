#include "script/engine/compiler.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <deque>
#include <memory>
#include <optional>
#include <unordered_map>

#include "script/engine/builtins.h"
#include "script/engine/classes.h"

namespace qm::script {

std::string TypeName(const Type* t) {
  if (!t) return "?";
  if (!t->name.empty()) return t->name;
  switch (t->kind) {
    case TypeKind::kInteger:
      return "Integer";
    case TypeKind::kBoolean:
      return "Boolean";
    case TypeKind::kChar:
      return "Char";
    case TypeKind::kEnum:
      return "enumeration";
    case TypeKind::kReal:
      return "Double";
    case TypeKind::kString:
      return "String";
    case TypeKind::kSet:
      return "set of " + TypeName(t->base);
    case TypeKind::kStaticArray:
      return "array[" + std::to_string(t->lo) + ".." + std::to_string(t->hi) + "] of " +
             TypeName(t->elem);
    case TypeKind::kDynArray:
      return "array of " + TypeName(t->elem);
    case TypeKind::kOpenArray:
      return "array of " + TypeName(t->elem);
    case TypeKind::kRecord:
      return "record";
    case TypeKind::kClass:
      return t->cls ? t->cls->name : "class";
    case TypeKind::kNil:
      return "nil";
    case TypeKind::kVoid:
      return "no value";
    case TypeKind::kArrayOfConst:
      return "array of const";
  }
  return "?";
}

namespace {

struct ConstVal {
  std::int64_t i = 0;
  double d = 0;
  std::string s;
  std::bitset<256> set;
};

// An expression's value: a compile-time constant or a register.
struct Ex {
  const Type* type = nullptr;
  bool is_const = false;
  ConstVal cv;
  int reg = -1;
  bool temp = false;   // reg is a temporary of this expression
  bool fresh = false;  // a new value nobody else holds (no copy needed)
};

// Where a designator lives.
struct Place {
  enum Kind { kReg, kGlobal, kUp, kElem, kField, kRef, kStrChar, kProp } kind = kReg;
  const Type* type = nullptr;
  int a = 0, b = 0;
  bool readonly = false;
  std::shared_ptr<Place> parent;       // kStrChar: the string's place
  const MemberInfo* member = nullptr;  // kProp
  int index_reg = -1;                  // kProp with index
  int arr_src =
      0;  // kElem: the array is in register a (0), behind reference a (1), in global a (2)
};

struct FuncDecl {
  std::string name;
  std::vector<std::string> pnames;
  std::vector<const Type*> ptypes;
  std::vector<ParamMode> pmodes;
  const Type* result = nullptr;
  int index = -1;  // function number
  int level = 1;
  bool defined = false;
  bool forward = false;
  int host = -1;  // host routine number
};

struct Symbol {
  enum Kind { kVar, kConst, kType, kFunc, kBuiltin, kClassType } kind = kVar;
  const Type* type = nullptr;
  int level = 0, slot = 0;
  bool is_ref = false;    // var/out parameter: the slot holds a reference
  bool readonly = false;  // const parameter
  ConstVal cv;
  int func = -1;  // FuncDecl number
  int builtin = -1;
};

enum class Intr {
  kWrite,
  kIntToStr,
  kStrToInt,
  kStrToIntDef,
  kFloatToStr,
  kStrToFloat,
  kIntToHex,
  kFormat,
  kLength,
  kSetLength,
  kCopy,
  kPos,
  kDelete,
  kInsert,
  kUpperCase,
  kLowerCase,
  kTrim,
  kTrimLeft,
  kTrimRight,
  kStringOfChar,
  kChr,
  kOrd,
  kInc,
  kDec,
  kSucc,
  kPred,
  kLow,
  kHigh,
  kAbs,
  kSqr,
  kSqrt,
  kRound,
  kTrunc,
  kInt,
  kFrac,
  kSin,
  kCos,
  kArcTan,
  kExp,
  kLn,
  kPower,
  kPi,
  kOdd,
  kMin,
  kMax,
  kNow,
  kDate,
  kTime,
  kFormatDateTime,
  kDateToStr,
  kTimeToStr,
  kSleep,
  kAssigned,
  kExit,
  kBreak,
  kContinue,
  kInclude,
  kExclude,
  kBoolToStr,
};

const std::vector<std::pair<const char*, Intr>>& IntrinsicNames() {
  static const std::vector<std::pair<const char*, Intr>> v = {
      {"inttostr", Intr::kIntToStr},
      {"strtoint", Intr::kStrToInt},
      {"strtointdef", Intr::kStrToIntDef},
      {"floattostr", Intr::kFloatToStr},
      {"strtofloat", Intr::kStrToFloat},
      {"inttohex", Intr::kIntToHex},
      {"format", Intr::kFormat},
      {"length", Intr::kLength},
      {"setlength", Intr::kSetLength},
      {"copy", Intr::kCopy},
      {"pos", Intr::kPos},
      {"delete", Intr::kDelete},
      {"insert", Intr::kInsert},
      {"uppercase", Intr::kUpperCase},
      {"lowercase", Intr::kLowerCase},
      {"trim", Intr::kTrim},
      {"trimleft", Intr::kTrimLeft},
      {"trimright", Intr::kTrimRight},
      {"stringofchar", Intr::kStringOfChar},
      {"chr", Intr::kChr},
      {"ord", Intr::kOrd},
      {"inc", Intr::kInc},
      {"dec", Intr::kDec},
      {"succ", Intr::kSucc},
      {"pred", Intr::kPred},
      {"low", Intr::kLow},
      {"high", Intr::kHigh},
      {"abs", Intr::kAbs},
      {"sqr", Intr::kSqr},
      {"sqrt", Intr::kSqrt},
      {"round", Intr::kRound},
      {"trunc", Intr::kTrunc},
      {"int", Intr::kInt},
      {"frac", Intr::kFrac},
      {"sin", Intr::kSin},
      {"cos", Intr::kCos},
      {"arctan", Intr::kArcTan},
      {"exp", Intr::kExp},
      {"ln", Intr::kLn},
      {"power", Intr::kPower},
      {"pi", Intr::kPi},
      {"odd", Intr::kOdd},
      {"min", Intr::kMin},
      {"max", Intr::kMax},
      {"now", Intr::kNow},
      {"date", Intr::kDate},
      {"time", Intr::kTime},
      {"formatdatetime", Intr::kFormatDateTime},
      {"datetostr", Intr::kDateToStr},
      {"timetostr", Intr::kTimeToStr},
      {"sleep", Intr::kSleep},
      {"assigned", Intr::kAssigned},
      {"exit", Intr::kExit},
      {"break", Intr::kBreak},
      {"continue", Intr::kContinue},
      {"include", Intr::kInclude},
      {"exclude", Intr::kExclude},
      {"booltostr", Intr::kBoolToStr},
  };
  return v;
}

struct LoopCtx {
  std::vector<int> breaks, continues;
  std::size_t try_depth;
};

struct TryCtx {
  bool finally;
  int state_reg, aux_reg, fin_pc_patch;  // fin_pc_patch: jumps to the finally block
  std::vector<int> fin_jumps;            // jumps to patch to the finally block
};

struct RoutineCtx {
  Function* fn;
  FuncDecl* decl;  // null for the main block
  int level;
  int next_reg, max_reg;
  int floor;
  std::vector<LoopCtx> loops;
  std::vector<TryCtx> tries;
};

struct WithCtx {
  int reg;  // holds the record (shared) or object
  const Type* type;
};

class Compiler {
 public:
  Compiler(const std::vector<Token>& toks, CompileOutput& out)
      : toks_(&toks), out_(out), p_(out.program) {
    p_.types = std::make_unique<TypePool>();
    pool_ = p_.types.get();
    MakeBasicTypes();
  }

  void RegisterHosts(const std::vector<HostDecl>& hosts);
  void RegisterVars(const std::vector<HostVarDecl>& vars);
  void CompileProgram();
  void ParseHostDecl(const std::vector<Token>& toks, int number);

 private:
  // ---- tokens
  const std::vector<Token>* toks_;
  std::size_t pos_ = 0;
  const Token& Cur() const { return (*toks_)[pos_]; }
  const Token& Peek(int n = 1) const {
    return (*toks_)[std::min(pos_ + static_cast<std::size_t>(n), toks_->size() - 1)];
  }
  bool Is(Tok k) const { return Cur().kind == k; }
  bool Accept(Tok k) {
    if (!Is(k)) return false;
    Next();
    return true;
  }
  void Next() {
    if (pos_ + 1 < toks_->size()) ++pos_;
  }
  [[noreturn]] void Fail(const std::string& msg) const { Fail(msg, Cur()); }
  [[noreturn]] void Fail(const std::string& msg, const Token& at) const {
    throw CompileError{msg, at.file, at.row, at.col};
  }
  void Expect(Tok k) {
    if (!Is(k)) {
      std::string got = Is(Tok::kIdent) ? "'" + Cur().text + "'" : TokName(Cur().kind);
      Fail(std::string(TokName(k)) + " expected but " + got + " found");
    }
    Next();
  }
  std::string ExpectIdent() {
    if (!Is(Tok::kIdent)) {
      Fail(std::string("Identifier expected but ") + TokName(Cur().kind) + " found");
    }
    std::string s = Cur().lower;
    Next();
    return s;
  }

  // ---- output
  CompileOutput& out_;
  Program& p_;
  TypePool* pool_;
  std::vector<std::unique_ptr<FuncDecl>> decls_;
  RoutineCtx* rc_ = nullptr;
  std::vector<WithCtx> withs_;
  struct GlobalInit {
    int slot;
    int layout;  // >= 0: make an aggregate
    const Type* type;
    ConstVal cv;
    std::vector<ConstVal> elems;  // typed array constants
  };
  std::vector<GlobalInit> global_inits_;
  std::deque<Function> funcs_;

  int Emit(Op op, int a = 0, int b = 0, int c = 0) {
    rc_->fn->code.push_back(Instr{op, 0, a, b, c});
    return static_cast<int>(rc_->fn->code.size()) - 1;
  }
  int Here() const { return static_cast<int>(rc_->fn->code.size()); }
  void PatchA(int at, int target) { rc_->fn->code[at].a = target; }
  void PatchB(int at, int target) { rc_->fn->code[at].b = target; }
  // Sets the target of any jump instruction.
  void PatchJump(int at, int target);
  // A jump taken when the boolean `c` is `when`, to `target` (or patched
  // later); -1 when a constant condition never jumps. An integer comparison
  // emitted just before folds into the jump.
  int EmitCondJump(Ex& c, bool when, int target = 0);
  // Points jumps that land on a jump or a return straight at their end.
  void ThreadJumps();
  // Sets each routine's release_end from the instructions that write its slots.
  void MarkReleaseRanges();
  int Temp() {
    int r = rc_->next_reg++;
    if (rc_->next_reg > rc_->max_reg) rc_->max_reg = rc_->next_reg;
    if (rc_->max_reg > 60000) Fail("Routine too large");
    return r;
  }
  void EmitLine(const Token& at) {
    p_.lines.push_back(LineInfo{at.file, at.row, at.col, at.pos});
    Emit(Op::kLine, static_cast<int>(p_.lines.size()) - 1);
  }

  // ---- types
  const Type *t_int_, *t_int64_, *t_cardinal_, *t_byte_, *t_word_, *t_shortint_, *t_smallint_;
  const Type *t_bool_, *t_char_, *t_real_, *t_single_, *t_string_, *t_void_, *t_nil_, *t_aoc_;
  std::unordered_map<std::string, const ClassInfo*> classes_;
  std::unordered_map<const ClassInfo*, const Type*> class_types_;

  Type* MakeInt(const char* name, std::int64_t lo, std::int64_t hi, int bits, bool uns) {
    Type* t = pool_->Make(TypeKind::kInteger, name);
    t->lo = lo;
    t->hi = hi;
    t->bits = bits;
    t->is_unsigned = uns;
    return t;
  }
  void MakeBasicTypes();
  const Type* ClassType(const ClassInfo* c) { return class_types_.at(c); }

  // ---- scopes
  std::vector<std::unordered_map<std::string, Symbol>> scopes_;
  const Symbol* Lookup(const std::string& name) const {
    for (auto it = scopes_.rbegin(); it != scopes_.rend(); ++it) {
      auto f = it->find(name);
      if (f != it->end()) return &f->second;
    }
    return nullptr;
  }
  void Declare(const std::string& name, Symbol s, const Token& at) {
    auto& scope = scopes_.back();
    if (scope.count(name)) Fail("Duplicate identifier '" + name + "'", at);
    scope.emplace(name, std::move(s));
  }
  int NewGlobal(const Type* type);
  int NewLocal(const Type* type);

  // ---- declarations
  void ParseDeclarations(bool program_level);
  void ParseConstSection();
  void ParseTypeSection();
  void ParseVarSection(bool program_level);
  void ParseRoutine(bool is_function);
  void ParseParams(FuncDecl& d);
  const Type* ParseType();
  const Type* NamedType(const std::string& lower, const Token& at);
  int LayoutOf(const Type* t);
  ConstVal ParseConstExpr(const Type*& type);
  void ParseTypedConstValue(const Type* type, GlobalInit& init);

  // ---- statements
  void ParseBlock(bool main);
  void ParseCompound();
  void ParseStatement();
  void ParseStatementList(Tok end1, Tok end2 = Tok::kEof);
  void ParseIf();
  void ParseWhile();
  void ParseRepeat();
  void ParseFor();
  void ParseCase();
  void ParseWith();
  void ParseTry();
  void ParseRaise();
  void EmitExit();
  void EmitLoopJump(bool is_break, const Token& at);
  void CrossTries(std::size_t down_to);
  void ParseAssignOrCall();
  void AssignTo(const Place& place, Ex value, const Token& at);

  // ---- expressions
  Ex ParseExpr();
  Ex ParseSimple();
  Ex ParseTerm();
  Ex ParseFactor();
  Ex ParseSetConstructor(const Type* elem_hint);
  Ex Binary(Tok op, Ex l, Ex r, const Token& at);
  Ex Compare(Tok op, Ex l, Ex r, const Token& at);
  int ToReg(Ex& e);
  Ex Coerce(Ex e, const Type* to, const Token& at, bool for_param = false);
  bool Assignable(const Type* from, const Type* to) const;
  Ex LoadPlace(const Place& p);
  void StorePlace(const Place& p, int reg);
  int RefTo(const Place& p, const Token& at);
  int ObjectReg(const Place& p);

  // Identifier expressions: a place (variable-like) or a value.
  struct Designator {
    bool is_place = false;
    Place place;
    Ex value;
  };
  Designator ParseDesignator(bool want_statement);
  void Selectors(Designator& d);
  Ex CallRoutine(FuncDecl& d, const Token& at, std::optional<int> self_reg = std::nullopt);
  void CompileArgs(const std::vector<const Type*>& types, const std::vector<ParamMode>& modes,
                   int base, const Token& at, const std::string& name, bool parens_already);
  Ex CallMember(const MemberInfo& m, int self_reg, const ClassInfo* cls, const Token& at,
                bool constructor);
  Ex Intrinsic(Intr which, const Token& at);
  Ex CallBuiltinOp(Builtin b, const Type* result, std::vector<Ex> args, int extra = 0);
  std::vector<Ex> ParseArgList(const Token& at, std::size_t min_args, std::size_t max_args,
                               const std::string& name);
  Ex EnsureValue(Designator d, const Token& at);
};

void Compiler::MakeBasicTypes() {
  t_int_ = MakeInt("Integer", INT32_MIN, INT32_MAX, 32, false);
  t_int64_ = MakeInt("Int64", INT64_MIN, INT64_MAX, 64, false);
  t_cardinal_ = MakeInt("Cardinal", 0, UINT32_MAX, 32, true);
  t_byte_ = MakeInt("Byte", 0, 255, 8, true);
  t_word_ = MakeInt("Word", 0, 65535, 16, true);
  t_shortint_ = MakeInt("ShortInt", -128, 127, 8, false);
  t_smallint_ = MakeInt("SmallInt", -32768, 32767, 16, false);
  Type* b = pool_->Make(TypeKind::kBoolean, "Boolean");
  b->lo = 0;
  b->hi = 1;
  t_bool_ = b;
  Type* c = pool_->Make(TypeKind::kChar, "Char");
  c->lo = 0;
  c->hi = 255;
  t_char_ = c;
  t_real_ = pool_->Make(TypeKind::kReal, "Double");
  Type* s = pool_->Make(TypeKind::kReal, "Single");
  s->real_size = 4;
  t_single_ = s;
  t_string_ = pool_->Make(TypeKind::kString, "String");
  t_void_ = pool_->Make(TypeKind::kVoid);
  t_nil_ = pool_->Make(TypeKind::kNil, "nil");
  t_aoc_ = pool_->Make(TypeKind::kArrayOfConst);

  scopes_.emplace_back();  // the system scope
  auto type_sym = [&](const char* name, const Type* t) {
    Symbol sym;
    sym.kind = Symbol::kType;
    sym.type = t;
    scopes_.back()[name] = sym;
  };
  type_sym("integer", t_int_);
  type_sym("longint", t_int_);
  type_sym("int64", t_int64_);
  type_sym("cardinal", t_cardinal_);
  type_sym("longword", t_cardinal_);
  type_sym("byte", t_byte_);
  type_sym("word", t_word_);
  type_sym("shortint", t_shortint_);
  type_sym("smallint", t_smallint_);
  type_sym("boolean", t_bool_);
  type_sym("char", t_char_);
  type_sym("string", t_string_);
  type_sym("ansistring", t_string_);
  type_sym("double", t_real_);
  type_sym("extended", t_real_);
  type_sym("real", t_real_);
  type_sym("tdatetime", t_real_);
  type_sym("single", t_single_);
  for (const ClassInfo* ci : AllClasses()) {
    Type* t = pool_->Make(TypeKind::kClass, ci->name);
    t->cls = ci;
    class_types_[ci] = t;
    std::string lower = ci->name;
    for (auto& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    Symbol sym;
    sym.kind = Symbol::kClassType;
    sym.type = t;
    scopes_.back()[lower] = sym;
  }
  {
    Symbol sym;
    sym.kind = Symbol::kClassType;
    sym.type = class_types_[FindClass("tstringlist")];
    scopes_.back()["tstrings"] = sym;
  }
  auto const_sym = [&](const char* name, const Type* t, std::int64_t v) {
    Symbol sym;
    sym.kind = Symbol::kConst;
    sym.type = t;
    sym.cv.i = v;
    scopes_.back()[name] = sym;
  };
  const_sym("true", t_bool_, 1);
  const_sym("false", t_bool_, 0);
  const_sym("maxint", t_int_, INT32_MAX);
  const_sym("maxlongint", t_int_, INT32_MAX);
  for (const auto& [name, id] : IntrinsicNames()) {
    Symbol sym;
    sym.kind = Symbol::kBuiltin;
    sym.builtin = static_cast<int>(id);
    scopes_.back()[name] = sym;
  }
  scopes_.emplace_back();  // the program scope (host routines, registered variables)
}

int Compiler::LayoutOf(const Type* t) {
  if (t->layout >= 0) return t->layout;
  Layout l;
  if (t->kind == TypeKind::kRecord) {
    for (const auto& f : t->fields)
      l.elems.push_back(f.type->IsAggregate() ? LayoutOf(f.type) : -1);
  } else {
    l.elems.push_back(t->elem->IsAggregate() ? LayoutOf(t->elem) : -1);
    l.repeat = static_cast<int>(t->Count());
  }
  p_.layouts.push_back(std::move(l));
  const_cast<Type*>(t)->layout = static_cast<int>(p_.layouts.size()) - 1;
  return t->layout;
}

int Compiler::NewGlobal(const Type* type) {
  const int slot = p_.nglobals++;
  if (p_.nglobals > 1000000) Fail("Too many global variables");
  if (type->IsAggregate()) global_inits_.push_back({slot, LayoutOf(type), type, {}, {}});
  return slot;
}

int Compiler::NewLocal(const Type* type) {
  const int slot = Temp();
  if (type->IsAggregate()) rc_->fn->agg_init.emplace_back(slot, LayoutOf(type));
  return slot;
}

void Compiler::ParseHostDecl(const std::vector<Token>& toks, int number) {
  const auto* saved = toks_;
  const std::size_t saved_pos = pos_;
  toks_ = &toks;
  pos_ = 0;
  auto d = std::make_unique<FuncDecl>();
  const bool is_function = Is(Tok::kFunction);
  if (!Accept(Tok::kFunction) && !Accept(Tok::kProcedure)) Fail("Invalid host routine declaration");
  const Token& name_tok = Cur();
  d->name = ExpectIdent();
  ParseParams(*d);
  if (is_function) {
    Expect(Tok::kColon);
    d->result = ParseType();
  }
  Accept(Tok::kSemi);
  if (!Is(Tok::kEof)) Fail("Invalid host routine declaration");
  d->host = number;
  d->defined = true;
  HostSignature sig;
  sig.name = name_tok.text;
  sig.modes = d->pmodes;
  sig.params = d->ptypes;
  sig.result = d->result;
  out_.hosts.push_back(std::move(sig));
  Symbol sym;
  sym.kind = Symbol::kFunc;
  sym.func = static_cast<int>(decls_.size());
  std::string lower = d->name;
  decls_.push_back(std::move(d));
  scopes_.back()[lower] = sym;  // a later registration of the same name wins
  toks_ = saved;
  pos_ = saved_pos;
}

void Compiler::RegisterHosts(const std::vector<HostDecl>& hosts) {
  int number = 0;
  for (const auto& h : hosts) {
    Preprocessor pre(nullptr);
    Lexer lex(pre);
    std::vector<Token> toks;
    try {
      lex.Tokenize(h.declaration, 0, toks);
    } catch (const CompileError& e) {
      throw CompileError{"Invalid host routine declaration '" + h.declaration + "'", 0, 1, 1};
    }
    Token eof;
    eof.row = toks.empty() ? 1 : toks.back().row;
    toks.push_back(eof);
    try {
      ParseHostDecl(toks, number++);
    } catch (const CompileError& e) {
      throw CompileError{"Invalid host routine declaration '" + h.declaration + "': " + e.message,
                         0, 1, 1};
    }
  }
}

void Compiler::RegisterVars(const std::vector<HostVarDecl>& vars) {
  for (const auto& v : vars) {
    std::string lower = v.name;
    for (auto& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    std::string tlower = v.type_name;
    for (auto& ch : tlower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    const Symbol* ts = Lookup(tlower);
    if (!ts || (ts->kind != Symbol::kType && ts->kind != Symbol::kClassType))
      throw CompileError{
          "Unknown type '" + v.type_name + "' of registered variable '" + v.name + "'", 0, 1, 1};
    Symbol sym;
    sym.kind = Symbol::kVar;
    sym.type = ts->type;
    sym.level = 0;
    sym.slot = NewGlobal(ts->type);
    scopes_.back()[lower] = sym;
    p_.globals.push_back({v.name, ts->type, sym.slot});
  }
}

const Type* Compiler::NamedType(const std::string& lower, const Token& at) {
  const Symbol* s = Lookup(lower);
  if (!s) Fail("Unknown type '" + at.text + "'", at);
  if (s->kind != Symbol::kType && s->kind != Symbol::kClassType)
    Fail("'" + at.text + "' is not a type", at);
  return s->type;
}

const Type* Compiler::ParseType() {
  const Token& at = Cur();
  if (Is(Tok::kIdent)) {
    // A subrange may start with a constant name: `Low..High`.
    const Symbol* s = Lookup(Cur().lower);
    if (s && s->kind == Symbol::kConst && Peek().kind == Tok::kDotDot) {
      // falls through to the subrange below
    } else {
      std::string name = ExpectIdent();
      const Type* t = NamedType(name, at);
      if (t->kind == TypeKind::kString && Accept(Tok::kLBrack)) {  // string[N]
        const Type* lt;
        ParseConstExpr(lt);
        Expect(Tok::kRBrack);
      }
      return t;
    }
  }
  if (Accept(Tok::kArray)) {
    if (Accept(Tok::kOf)) {
      const Type* elem = ParseType();
      Type* t = pool_->Make(TypeKind::kDynArray);
      t->elem = elem;
      return t;
    }
    Expect(Tok::kLBrack);
    std::vector<const Type*> ranges;
    do {
      const Type* r = ParseType();
      if (!r->IsOrdinal()) Fail("Ordinal type expected for the array index", at);
      if (r->kind == TypeKind::kInteger && r->Count() > kMaxArrayLength)
        Fail("Array is too large", at);
      ranges.push_back(r);
    } while (Accept(Tok::kComma));
    Expect(Tok::kRBrack);
    Expect(Tok::kOf);
    const Type* elem = ParseType();
    for (auto it = ranges.rbegin(); it != ranges.rend(); ++it) {
      Type* t = pool_->Make(TypeKind::kStaticArray);
      t->elem = elem;
      t->index = *it;
      t->lo = (*it)->lo;
      t->hi = (*it)->hi;
      if (t->Count() <= 0) Fail("Array has no elements", at);
      std::int64_t total = t->Count();
      for (const Type* e = elem; e->kind == TypeKind::kStaticArray; e = e->elem)
        total *= e->Count();
      if (total > kMaxArrayLength) Fail("Array is too large", at);
      elem = t;
    }
    return elem;
  }
  if (Accept(Tok::kRecord)) {
    Type* t = pool_->Make(TypeKind::kRecord);
    while (!Is(Tok::kEnd)) {
      std::vector<std::pair<std::string, Token>> names;
      do {
        const Token& nt = Cur();
        names.emplace_back(ExpectIdent(), nt);
      } while (Accept(Tok::kComma));
      Expect(Tok::kColon);
      const Type* ft = ParseType();
      for (auto& [n, nt] : names) {
        for (const auto& f : t->fields)
          if (f.name == n) Fail("Duplicate identifier '" + nt.text + "'", nt);
        t->fields.push_back({n, ft});
      }
      if (!Accept(Tok::kSemi)) break;
    }
    Expect(Tok::kEnd);
    return t;
  }
  if (Accept(Tok::kSet)) {
    Expect(Tok::kOf);
    const Token& et = Cur();
    const Type* base = ParseType();
    if (!base->IsOrdinal() || base->lo < 0 || base->hi > 255)
      Fail("Sets may only have ordinal elements 0..255", et);
    Type* t = pool_->Make(TypeKind::kSet);
    t->base = base;
    return t;
  }
  if (Accept(Tok::kLParen)) {  // enumeration
    Type* t = pool_->Make(TypeKind::kEnum);
    int n = 0;
    std::vector<std::pair<std::string, Token>> names;
    do {
      const Token& nt = Cur();
      names.emplace_back(ExpectIdent(), nt);
    } while (Accept(Tok::kComma));
    Expect(Tok::kRParen);
    t->lo = 0;
    t->hi = static_cast<std::int64_t>(names.size()) - 1;
    for (auto& [name, nt] : names) {
      t->enum_names.push_back(nt.text);
      Symbol sym;
      sym.kind = Symbol::kConst;
      sym.type = t;
      sym.cv.i = n++;
      Declare(name, sym, nt);
    }
    return t;
  }
  if (Is(Tok::kCaret)) Fail("Pointer types are not supported");
  if (Is(Tok::kClass)) Fail("Scripts cannot declare classes");
  // subrange
  const Type* lt;
  ConstVal lo = ParseConstExpr(lt);
  Expect(Tok::kDotDot);
  const Type* ht;
  ConstVal hi = ParseConstExpr(ht);
  if (!lt->IsOrdinal() || lt->kind != ht->kind) Fail("Invalid subrange", at);
  if (lo.i > hi.i) Fail("Lower bound exceeds upper bound", at);
  Type* t = pool_->Make(lt->kind);
  *t = *lt;
  t->name.clear();
  t->lo = lo.i;
  t->hi = hi.i;
  if (lt->kind == TypeKind::kInteger) {
    t->bits = (lo.i >= INT32_MIN && hi.i <= INT32_MAX) ? 32 : 64;
    t->is_unsigned = false;
  }
  t->base = lt;
  return t;
}

ConstVal Compiler::ParseConstExpr(const Type*& type) {
  const Token& at = Cur();
  const int mark = rc_->next_reg;
  Ex e = ParseExpr();
  rc_->next_reg = mark;
  if (!e.is_const) Fail("Constant expression expected", at);
  type = e.type;
  return e.cv;
}

void Compiler::ParseDeclarations(bool program_level) {
  for (;;) {
    if (Accept(Tok::kConst)) {
      ParseConstSection();
    } else if (Accept(Tok::kType)) {
      ParseTypeSection();
    } else if (Accept(Tok::kVar)) {
      ParseVarSection(program_level);
    } else if (Is(Tok::kProcedure) || Is(Tok::kFunction)) {
      const bool f = Is(Tok::kFunction);
      Next();
      ParseRoutine(f);
    } else if (Is(Tok::kUses)) {
      Fail("Units are not available; scripts are complete programs");
    } else if (Is(Tok::kLabel) || Is(Tok::kGoto)) {
      Fail("Labels and goto are not supported");
    } else {
      return;
    }
  }
}

void Compiler::ParseTypedConstValue(const Type* type, GlobalInit& init) {
  if (type->kind == TypeKind::kStaticArray) {
    if (type->elem->IsAggregate()) Fail("Only arrays of simple values can be typed constants");
    Expect(Tok::kLParen);
    for (std::int64_t i = 0; i < type->Count(); ++i) {
      if (i) Expect(Tok::kComma);
      const Token& at = Cur();
      const int mark = rc_->next_reg;
      Ex e = Coerce(ParseExpr(), type->elem, at);
      rc_->next_reg = mark;
      if (!e.is_const) Fail("Constant expression expected", at);
      init.elems.push_back(e.cv);
    }
    Expect(Tok::kRParen);
    return;
  }
  if (type->IsAggregate() || type->kind == TypeKind::kDynArray || type->kind == TypeKind::kClass)
    Fail("This type cannot be a typed constant");
  const Token& at = Cur();
  const int mark = rc_->next_reg;
  Ex e = Coerce(ParseExpr(), type, at);
  rc_->next_reg = mark;
  if (!e.is_const) Fail("Constant expression expected", at);
  init.cv = e.cv;
}

void Compiler::ParseConstSection() {
  while (Is(Tok::kIdent)) {
    const Token& nt = Cur();
    std::string name = ExpectIdent();
    if (Accept(Tok::kColon)) {  // typed constant: a static variable with a start value
      const Type* type = ParseType();
      Expect(Tok::kEq);
      GlobalInit init{-1, -1, type, {}, {}};
      ParseTypedConstValue(type, init);
      const int slot = p_.nglobals++;
      init.slot = slot;
      if (type->IsAggregate()) init.layout = LayoutOf(type);
      global_inits_.push_back(std::move(init));
      Symbol sym;
      sym.kind = Symbol::kVar;
      sym.type = type;
      sym.level = 0;
      sym.slot = slot;
      Declare(name, sym, nt);
    } else {
      Expect(Tok::kEq);
      Symbol sym;
      sym.kind = Symbol::kConst;
      const Type* t;
      sym.cv = ParseConstExpr(t);
      sym.type = t;
      Declare(name, sym, nt);
    }
    Expect(Tok::kSemi);
  }
}

void Compiler::ParseTypeSection() {
  while (Is(Tok::kIdent)) {
    const Token& nt = Cur();
    std::string name = ExpectIdent();
    Expect(Tok::kEq);
    const Type* t = ParseType();
    if (t->name.empty()) const_cast<Type*>(t)->name = nt.text;
    Symbol sym;
    sym.kind = t->kind == TypeKind::kClass ? Symbol::kClassType : Symbol::kType;
    sym.type = t;
    Declare(name, sym, nt);
    Expect(Tok::kSemi);
  }
}

void Compiler::ParseVarSection(bool program_level) {
  while (Is(Tok::kIdent)) {
    std::vector<std::pair<std::string, Token>> names;
    do {
      const Token& nt = Cur();
      names.emplace_back(ExpectIdent(), nt);
    } while (Accept(Tok::kComma));
    Expect(Tok::kColon);
    const Type* type = ParseType();
    std::optional<GlobalInit> init;
    if (Accept(Tok::kEq)) {  // var X: Integer = 5;
      if (names.size() != 1) Fail("Only one variable can be initialized");
      init = GlobalInit{-1, -1, type, {}, {}};
      ParseTypedConstValue(type, *init);
    }
    for (auto& [name, nt] : names) {
      Symbol sym;
      sym.kind = Symbol::kVar;
      sym.type = type;
      if (program_level) {
        sym.level = 0;
        sym.slot = NewGlobal(type);
        if (init) {
          init->slot = sym.slot;
          init->layout = type->IsAggregate() ? LayoutOf(type) : -1;
          if (type->IsAggregate()) global_inits_.pop_back();  // NewGlobal's plain entry
          global_inits_.push_back(*init);
        }
      } else {
        sym.level = rc_->level;
        sym.slot = NewLocal(type);
        if (init) Fail("Local variables cannot be initialized here", nt);
      }
      Declare(name, sym, nt);
    }
    Expect(Tok::kSemi);
  }
}

void Compiler::ParseParams(FuncDecl& d) {
  if (!Accept(Tok::kLParen)) return;
  if (Accept(Tok::kRParen)) return;
  do {
    ParamMode mode = ParamMode::kValue;
    if (Accept(Tok::kVar))
      mode = ParamMode::kVar;
    else if (Accept(Tok::kConst))
      mode = ParamMode::kConst;
    else if (Is(Tok::kIdent) && Cur().lower == "out" && Peek().kind == Tok::kIdent) {
      Next();
      mode = ParamMode::kOut;
    }
    std::vector<std::string> names;
    do {
      names.push_back(ExpectIdent());
    } while (Accept(Tok::kComma));
    const Type* type = nullptr;
    if (Accept(Tok::kColon)) {
      if (Is(Tok::kArray) && Peek().kind == Tok::kOf) {
        Next();
        Next();
        if (Accept(Tok::kConst)) {
          type = t_aoc_;
        } else {
          Type* t = pool_->Make(TypeKind::kOpenArray);
          t->elem = ParseType();
          type = t;
        }
      } else {
        type = ParseType();
      }
    } else {
      Fail("':' expected");
    }
    for (auto& n : names) {
      d.pnames.push_back(n);
      d.ptypes.push_back(type);
      d.pmodes.push_back(mode);
    }
  } while (Accept(Tok::kSemi));
  Expect(Tok::kRParen);
}

void Compiler::ParseRoutine(bool is_function) {
  const Token& nt = Cur();
  std::string name = ExpectIdent();
  auto nd = std::make_unique<FuncDecl>();
  nd->name = name;
  ParseParams(*nd);
  if (is_function) {
    Expect(Tok::kColon);
    nd->result = ParseType();
  } else if (Is(Tok::kColon)) {
    Fail("A procedure cannot have a result type");
  }
  Expect(Tok::kSemi);
  FuncDecl* d = nullptr;
  auto& scope = scopes_.back();
  auto existing = scope.find(name);
  if (existing != scope.end()) {
    if (existing->second.kind != Symbol::kFunc) Fail("Duplicate identifier '" + nt.text + "'", nt);
    FuncDecl* prev = decls_[static_cast<std::size_t>(existing->second.func)].get();
    if (!prev->forward || prev->defined || prev->host >= 0)
      Fail("Duplicate identifier '" + nt.text + "'", nt);
    if (!nd->ptypes.empty() || nd->result) {
      if (nd->ptypes != prev->ptypes || nd->pmodes != prev->pmodes || nd->result != prev->result)
        Fail("Declaration of '" + nt.text + "' differs from its forward declaration", nt);
    }
    d = prev;
  } else {
    nd->level = rc_->level + 1;
    nd->index = static_cast<int>(funcs_.size());
    funcs_.emplace_back();
    funcs_.back().name = nt.text;
    funcs_.back().level = nd->level;
    Symbol sym;
    sym.kind = Symbol::kFunc;
    sym.func = static_cast<int>(decls_.size());
    decls_.push_back(std::move(nd));
    d = decls_.back().get();
    scope[name] = sym;
  }
  if (Is(Tok::kForward)) {
    Next();
    Expect(Tok::kSemi);
    if (d->forward) Fail("Duplicate forward declaration", nt);
    d->forward = true;
    return;
  }
  if (Is(Tok::kIdent) && (Cur().lower == "external" || Cur().lower == "stdcall"))
    Fail("External routines are not available to scripts");
  d->defined = true;
  Function& fn = funcs_[static_cast<std::size_t>(d->index)];
  fn.nparams = static_cast<int>(d->ptypes.size());
  RoutineCtx ctx{&fn, d, d->level, 1, 1, 0, {}, {}};
  RoutineCtx* outer = rc_;
  rc_ = &ctx;
  const std::vector<WithCtx> outer_withs = std::move(withs_);
  withs_.clear();
  scopes_.emplace_back();
  for (std::size_t i = 0; i < d->ptypes.size(); ++i) {
    Symbol sym;
    sym.kind = Symbol::kVar;
    sym.type = d->ptypes[i];
    sym.level = d->level;
    sym.slot = Temp();
    sym.is_ref = d->pmodes[i] == ParamMode::kVar || d->pmodes[i] == ParamMode::kOut;
    sym.readonly =
        d->pmodes[i] == ParamMode::kConst || (d->ptypes[i]->kind == TypeKind::kArrayOfConst);
    Declare(d->pnames[i], sym, nt);
  }
  if (d->result) {
    Symbol sym;
    sym.kind = Symbol::kVar;
    sym.type = d->result;
    sym.level = d->level;
    sym.slot = 0;
    scopes_.back()["result"] = sym;
    if (d->result->IsAggregate()) fn.agg_init.emplace_back(0, LayoutOf(d->result));
  }
  ParseDeclarations(false);
  fn.locals_end = rc_->next_reg;
  ParseBlock(false);
  Expect(Tok::kSemi);
  for (const auto& [n, sym] : scopes_.back()) {
    if (sym.kind == Symbol::kFunc && decls_[static_cast<std::size_t>(sym.func)]->forward &&
        !decls_[static_cast<std::size_t>(sym.func)]->defined)
      Fail("Unsatisfied forward declaration '" + n + "'", nt);
  }
  scopes_.pop_back();
  fn.nslots = std::max(ctx.max_reg, 1);
  withs_ = outer_withs;
  rc_ = outer;
}

void Compiler::ParseBlock(bool main) {
  const Token& at = Cur();
  Expect(Tok::kBegin);
  if (main) {
    rc_->next_reg = rc_->max_reg = rc_->floor = p_.nglobals;
    for (const auto& gi : global_inits_) {
      if (gi.layout >= 0) Emit(Op::kNewAgg, gi.slot, gi.layout);
      if (!gi.elems.empty()) {
        const int idx = Temp(), val = Temp();
        for (std::size_t i = 0; i < gi.elems.size(); ++i) {
          Ex e;
          e.is_const = true;
          e.type = gi.type->elem;
          e.cv = gi.elems[i];
          Emit(Op::kLoadK, idx, static_cast<int>(i), 0);
          Ex v = e;
          int r = ToReg(v);
          Emit(gi.type->elem->IsManaged() ? Op::kSetEO : Op::kSetE, gi.slot, idx, r);
          rc_->next_reg = val + 1;
        }
        rc_->next_reg = rc_->floor;
      } else if (gi.layout < 0) {
        Ex e;
        e.is_const = true;
        e.type = gi.type;
        e.cv = gi.cv;
        const int r = ToReg(e);
        Emit(gi.type->IsManaged() ? Op::kMovO : Op::kMov, gi.slot, r);
        rc_->next_reg = rc_->floor;
      }
    }
  } else {
    rc_->floor = rc_->next_reg;
  }
  (void)at;
  ParseStatementList(Tok::kEnd);
  Expect(Tok::kEnd);
  Emit(Op::kRet);
  ThreadJumps();
}

void Compiler::CompileProgram() {
  funcs_.emplace_back();
  funcs_.front().name = "main";
  funcs_.front().level = 0;
  RoutineCtx main{&funcs_.front(), nullptr, 0, 0, 0, 0, {}, {}};
  rc_ = &main;
  if (!Is(Tok::kProgram)) {
    if (Is(Tok::kUnit)) Fail("Units are not available; scripts are complete programs");
    Fail("'program' expected");
  }
  Next();
  ExpectIdent();
  Expect(Tok::kSemi);
  if (Is(Tok::kUses)) Fail("Units are not available; scripts are complete programs");
  ParseDeclarations(true);
  if (!Is(Tok::kBegin)) {
    std::string got = Is(Tok::kIdent) ? "'" + Cur().text + "'" : TokName(Cur().kind);
    Fail("'begin' expected but " + got + " found");
  }
  ParseBlock(true);
  Expect(Tok::kDot);
  for (const auto& [n, sym] : scopes_.back()) {
    if (sym.kind == Symbol::kFunc && !decls_[static_cast<std::size_t>(sym.func)]->defined)
      Fail("Unsatisfied forward declaration '" + n + "'");
  }
  main.fn->nslots = std::max(main.max_reg, p_.nglobals + 1);
  MarkReleaseRanges();
  for (auto& f : funcs_) p_.functions.push_back(std::move(f));
  rc_ = nullptr;
}

void Compiler::ParseStatementList(Tok end1, Tok end2) {
  for (;;) {
    if (Is(end1) || Is(end2)) return;
    ParseStatement();
    if (Is(end1) || Is(end2)) return;
    if (!Accept(Tok::kSemi)) {
      std::string got = Is(Tok::kIdent) ? "'" + Cur().text + "'" : TokName(Cur().kind);
      Fail("';' expected but " + got + " found");
    }
  }
}

void Compiler::ParseCompound() {
  Expect(Tok::kBegin);
  ParseStatementList(Tok::kEnd);
  Expect(Tok::kEnd);
}

void Compiler::ParseStatement() {
  rc_->next_reg = rc_->floor;
  const Token& at = Cur();
  switch (at.kind) {
    case Tok::kSemi:
    case Tok::kEnd:
    case Tok::kUntil:
    case Tok::kElse:
    case Tok::kExcept:
    case Tok::kFinally:
      return;  // empty statement
    case Tok::kBegin:
      ParseCompound();
      return;
    case Tok::kIf:
      EmitLine(at);
      ParseIf();
      return;
    case Tok::kWhile:
      ParseWhile();
      return;
    case Tok::kRepeat:
      ParseRepeat();
      return;
    case Tok::kFor:
      EmitLine(at);
      ParseFor();
      return;
    case Tok::kCase:
      EmitLine(at);
      ParseCase();
      return;
    case Tok::kWith:
      EmitLine(at);
      ParseWith();
      return;
    case Tok::kTry:
      ParseTry();
      return;
    case Tok::kRaise:
      EmitLine(at);
      ParseRaise();
      return;
    case Tok::kIdent:
      EmitLine(at);
      ParseAssignOrCall();
      return;
    case Tok::kGoto:
      Fail("Labels and goto are not supported");
    default: {
      std::string got = TokName(at.kind);
      Fail("Statement expected but " + got + " found");
    }
  }
}

namespace {

// The conditional jump taken exactly when `op` is not.
Op OppositeJump(Op op) {
  static constexpr std::pair<Op, Op> kPairs[] = {
      {Op::kJt, Op::kJf},     {Op::kJEq, Op::kJNe},   {Op::kJLt, Op::kJGe},   {Op::kJLe, Op::kJGt},
      {Op::kJEqK, Op::kJNeK}, {Op::kJLtK, Op::kJGeK}, {Op::kJLeK, Op::kJGtK},
  };
  for (const auto& [x, y] : kPairs) {
    if (op == x) return y;
    if (op == y) return x;
  }
  return op;
}

}  // namespace

void Compiler::ParseIf() {
  Next();
  const Token& ct = Cur();
  Ex c = Coerce(ParseExpr(), t_bool_, ct);
  Expect(Tok::kThen);
  const int jf = EmitCondJump(c, false);
  ParseStatement();
  if (Is(Tok::kElse)) {
    Next();
    const int jend = Emit(Op::kJmp, 0);
    if (jf >= 0) PatchJump(jf, Here());
    ParseStatement();
    PatchA(jend, Here());
  } else if (jf >= 0) {
    PatchJump(jf, Here());
  }
}

void Compiler::ParseWhile() {
  const Token& at = Cur();
  Next();
  const int head = Here();
  EmitLine(at);
  rc_->next_reg = rc_->floor;
  const Token& ct = Cur();
  Ex c = Coerce(ParseExpr(), t_bool_, ct);
  Expect(Tok::kDo);
  const bool always = c.is_const && c.cv.i;
  const int jf = EmitCondJump(c, false);
  const int body = Here();
  rc_->loops.push_back({{}, {}, rc_->tries.size()});
  ParseStatement();
  // The test again at the bottom, jumping back while it holds: a turn then
  // runs one jump fewer. The copy is the head's own line event and condition
  // code, which holds no jumps; long conditions keep the jump to the head.
  const int cond_len = jf - head;
  if (!always && jf >= 0 && rc_->fn->code[jf].op != Op::kJmp && cond_len <= 24) {
    for (int i = head; i < jf; ++i) {
      const Instr copy = rc_->fn->code[static_cast<std::size_t>(i)];
      rc_->fn->code.push_back(copy);
    }
    Instr back = rc_->fn->code[static_cast<std::size_t>(jf)];
    back.op = OppositeJump(back.op);
    rc_->fn->code.push_back(back);
    PatchJump(Here() - 1, body);
  } else {
    Emit(Op::kJmp, head);
  }
  const int end = Here();
  if (jf >= 0) PatchJump(jf, end);
  for (int b : rc_->loops.back().breaks) PatchA(b, end);
  for (int c2 : rc_->loops.back().continues) PatchA(c2, head);
  rc_->loops.pop_back();
}

void Compiler::ParseRepeat() {
  Next();
  const int head = Here();
  rc_->loops.push_back({{}, {}, rc_->tries.size()});
  ParseStatementList(Tok::kUntil);
  const Token& ut = Cur();
  Expect(Tok::kUntil);
  const int cont = Here();
  EmitLine(ut);
  rc_->next_reg = rc_->floor;
  const Token& ct = Cur();
  Ex c = Coerce(ParseExpr(), t_bool_, ct);
  EmitCondJump(c, false, head);
  const int end = Here();
  for (int b : rc_->loops.back().breaks) PatchA(b, end);
  for (int c2 : rc_->loops.back().continues) PatchA(c2, cont);
  rc_->loops.pop_back();
}

void Compiler::ParseFor() {
  Next();
  const Token& vt = Cur();
  Designator d = ParseDesignator(false);
  if (!d.is_place || d.place.kind == Place::kStrChar || d.place.kind == Place::kProp)
    Fail("Variable required as the loop counter", vt);
  if (!d.place.type->IsOrdinal()) Fail("Ordinal loop counter required", vt);
  if (d.place.readonly) Fail("Cannot assign to a constant", vt);
  Expect(Tok::kAssign);
  const Token& st = Cur();
  Ex start = Coerce(ParseExpr(), d.place.type, st);
  bool down = false;
  if (Accept(Tok::kDownto))
    down = true;
  else
    Expect(Tok::kTo);
  const Token& et = Cur();
  // The counter and limit live in registers that survive the body.
  const bool direct = d.place.kind == Place::kReg;
  const int saved_floor = rc_->floor;
  int counter;
  if (direct) {
    counter = d.place.a;
    rc_->floor = std::max(rc_->floor, rc_->next_reg);
  } else {
    rc_->floor = std::max(rc_->floor, rc_->next_reg);
    rc_->next_reg = rc_->floor;
    counter = Temp();
    rc_->floor = rc_->next_reg;
  }
  {
    const int r = ToReg(start);
    if (r != counter) Emit(Op::kMov, counter, r);
  }
  rc_->next_reg = rc_->floor;
  const int limit = Temp();
  rc_->floor = rc_->next_reg;
  Ex lim = Coerce(ParseExpr(), d.place.type, et);
  {
    const int r = ToReg(lim);
    if (r != limit) Emit(Op::kMov, limit, r);
  }
  Expect(Tok::kDo);
  rc_->next_reg = rc_->floor;
  const int jskip = Emit(down ? Op::kJLt : Op::kJGt, counter, limit, 0);
  const int body = Here();
  if (!direct) StorePlace(d.place, counter);
  rc_->loops.push_back({{}, {}, rc_->tries.size()});
  const std::size_t lines_before = p_.lines.size();
  const int body_code = Here();
  ParseStatement();
  if (p_.lines.size() == lines_before) {
    // An empty body still passes a line event each turn, so hooks and Stop work.
    rc_->fn->code.insert(rc_->fn->code.begin() + body_code, Instr{Op::kLine, 0, 0, 0, 0});
    p_.lines.push_back(LineInfo{vt.file, vt.row, vt.col, vt.pos});
    rc_->fn->code[static_cast<std::size_t>(body_code)].a = static_cast<int>(p_.lines.size()) - 1;
  }
  const int cont = Here();
  if (rc_->fn->code[static_cast<std::size_t>(body)].op == Op::kLine)
    Emit(down ? Op::kForLoopDL : Op::kForLoopL, counter, limit, body + 1);
  else
    Emit(down ? Op::kForLoopD : Op::kForLoop, counter, limit, body);
  const int end = Here();
  PatchJump(jskip, end);
  for (int b : rc_->loops.back().breaks) PatchA(b, end);
  for (int c : rc_->loops.back().continues) PatchA(c, cont);
  rc_->loops.pop_back();
  rc_->floor = saved_floor;
}

void Compiler::ParseCase() {
  Next();
  const Token& at = Cur();
  Ex sel = ParseExpr();
  const bool is_string = sel.type->kind == TypeKind::kString || sel.type->kind == TypeKind::kChar;
  if (!sel.type->IsOrdinal() && sel.type->kind != TypeKind::kString)
    Fail("Ordinal or string expression expected", at);
  const int saved_floor = rc_->floor;
  rc_->floor = std::max(rc_->floor, rc_->next_reg);
  rc_->next_reg = rc_->floor;
  const int selreg = Temp();
  {
    Ex s = sel;
    if (sel.type->kind == TypeKind::kString) s = sel;
    const int r = ToReg(s);
    Emit(sel.type->IsManaged() ? Op::kMovO : Op::kMov, selreg, r);
  }
  rc_->floor = rc_->next_reg;
  Expect(Tok::kOf);
  std::vector<int> to_end;
  while (!Is(Tok::kElse) && !Is(Tok::kEnd)) {
    std::vector<int> to_body;
    do {
      rc_->next_reg = rc_->floor;
      const Token& lt = Cur();
      Ex lo = ParseExpr();
      if (!lo.is_const) Fail("Constant expression expected", lt);
      const int t = Temp();
      if (Accept(Tok::kDotDot)) {
        const Token& ht = Cur();
        Ex hi = ParseExpr();
        if (!hi.is_const) Fail("Constant expression expected", ht);
        if (sel.type->kind == TypeKind::kString) Fail("Ranges need ordinal values", lt);
        Ex l2 = Coerce(lo, sel.type, lt), h2 = Coerce(hi, sel.type, ht);
        Ex s;
        s.type = sel.type;
        s.reg = selreg;
        Ex a = Compare(Tok::kGe, s, l2, lt);
        const int ra = ToReg(a);
        Ex b = Compare(Tok::kLe, s, h2, ht);
        const int rb = ToReg(b);
        Emit(Op::kAnd, t, ra, rb);
      } else {
        Ex s;
        s.type = sel.type;
        s.reg = selreg;
        Ex cmp = Compare(Tok::kEq, s, lo, lt);
        const int j = EmitCondJump(cmp, true);
        if (j >= 0) to_body.push_back(j);
        continue;
      }
      to_body.push_back(Emit(Op::kJt, t, 0));
    } while (Accept(Tok::kComma));
    Expect(Tok::kColon);
    const int jnext = Emit(Op::kJmp, 0);
    for (int j : to_body) PatchJump(j, Here());
    ParseStatement();
    to_end.push_back(Emit(Op::kJmp, 0));
    PatchA(jnext, Here());
    if (!Accept(Tok::kSemi)) break;
  }
  (void)is_string;
  if (Accept(Tok::kElse)) {
    ParseStatementList(Tok::kEnd);
  }
  Expect(Tok::kEnd);
  for (int j : to_end) PatchA(j, Here());
  rc_->floor = saved_floor;
}

void Compiler::ParseWith() {
  Next();
  const std::size_t outer = withs_.size();
  const int saved_floor = rc_->floor;
  do {
    const Token& at = Cur();
    rc_->next_reg = rc_->floor;
    Designator d = ParseDesignator(false);
    const Type* type = d.is_place ? d.place.type : d.value.type;
    if (type->kind != TypeKind::kRecord && type->kind != TypeKind::kClass)
      Fail("Record or object expected", at);
    int reg;
    if (d.is_place) {
      reg = ObjectReg(d.place);
    } else {
      reg = ToReg(d.value);
    }
    rc_->next_reg = std::max(rc_->next_reg, reg + 1);
    const int keep = Temp();
    Emit(Op::kMovO, keep, reg);
    rc_->floor = rc_->next_reg;
    withs_.push_back({keep, type});
  } while (Accept(Tok::kComma));
  Expect(Tok::kDo);
  ParseStatement();
  withs_.resize(outer);
  rc_->floor = saved_floor;
}

void Compiler::CrossTries(std::size_t down_to) {
  for (std::size_t i = rc_->tries.size(); i > down_to; --i) {
    TryCtx& tc = rc_->tries[i - 1];
    Emit(Op::kPopTry);
    if (tc.finally) {
      Emit(Op::kLoadK, tc.state_reg, 2, 0);
      const int target = Emit(Op::kLoadK, tc.aux_reg, 0, 0);
      tc.fin_jumps.push_back(Emit(Op::kJmp, 0));
      rc_->fn->code[static_cast<std::size_t>(target)].b = Here();
    }
  }
}

void Compiler::EmitExit() {
  CrossTries(0);
  Emit(Op::kRet);
}

void Compiler::EmitLoopJump(bool is_break, const Token& at) {
  if (rc_->loops.empty())
    Fail(std::string(is_break ? "Break" : "Continue") + " outside a loop", at);
  CrossTries(rc_->loops.back().try_depth);
  const int j = Emit(Op::kJmp, 0);
  if (is_break)
    rc_->loops.back().breaks.push_back(j);
  else
    rc_->loops.back().continues.push_back(j);
}

void Compiler::ParseTry() {
  Next();
  const int saved_floor = rc_->floor;
  rc_->floor = std::max(rc_->floor, rc_->next_reg);
  rc_->next_reg = rc_->floor;
  const int state = Temp();
  const int aux = Temp();
  rc_->floor = rc_->next_reg;
  // Look ahead for the matching `except` or `finally`: a jump out of the body
  // (exit, break, continue) has to run a finally block on its way.
  bool is_finally = false;
  {
    int depth = 0;
    for (std::size_t i = pos_; i < toks_->size(); ++i) {
      const Tok k = (*toks_)[i].kind;
      if (k == Tok::kBegin || k == Tok::kCase || k == Tok::kTry || k == Tok::kRecord)
        ++depth;
      else if (k == Tok::kEnd) {
        if (--depth < 0) break;
      } else if (depth == 0 && (k == Tok::kExcept || k == Tok::kFinally)) {
        is_finally = k == Tok::kFinally;
        break;
      }
    }
  }
  const int try_at = Emit(Op::kTry, 0, aux, is_finally ? state + 1 : 0);
  rc_->tries.push_back({is_finally, state, aux, 0, {}});
  ParseStatementList(Tok::kExcept, Tok::kFinally);
  if (is_finally) {
    Expect(Tok::kFinally);
    Emit(Op::kPopTry);
    Emit(Op::kLoadK, state, 0, 0);
    const int fin = Here();
    PatchA(try_at, fin);
    TryCtx tc = rc_->tries.back();
    rc_->tries.pop_back();
    for (int j : tc.fin_jumps) PatchA(j, fin);
    ParseStatementList(Tok::kEnd);
    Expect(Tok::kEnd);
    Emit(Op::kEndFin, state, aux);
  } else {
    Expect(Tok::kExcept);
    Emit(Op::kPopTry);
    const int jend = Emit(Op::kJmp, 0);
    rc_->tries.pop_back();
    PatchA(try_at, Here());
    std::vector<int> to_end{jend};
    if (Is(Tok::kIdent) && Cur().lower == "on") {
      bool caught_all = false;
      while (Is(Tok::kIdent) && Cur().lower == "on") {
        Next();
        rc_->next_reg = rc_->floor;
        scopes_.emplace_back();
        std::string var;
        const Token& vt = Cur();
        if (Peek().kind == Tok::kColon) {
          var = ExpectIdent();
          Expect(Tok::kColon);
        }
        const Token& ct = Cur();
        const Type* ctype = NamedType(ExpectIdent(), ct);
        if (ctype->kind != TypeKind::kClass) Fail("Exception class expected", ct);
        Expect(Tok::kDo);
        // Every exception a script sees is an Exception; a handler for another
        // class can never match.
        const bool matches =
            ctype->cls->id == ClassId::kException || ctype->cls->id == ClassId::kTObject;
        int jskip = -1;
        if (!matches) jskip = Emit(Op::kJmp, 0);
        {
          Symbol sym;
          sym.kind = Symbol::kVar;
          sym.type = ClassType(FindClass("exception"));
          sym.level = rc_->level;
          sym.slot = aux;
          scopes_.back()[" current exception"] = sym;
        }
        if (!var.empty()) {
          Symbol sym;
          sym.kind = Symbol::kVar;
          sym.type = ClassType(FindClass("exception"));
          sym.level = rc_->level;
          sym.slot = aux;
          Declare(var, sym, vt);
        }
        ParseStatement();
        scopes_.pop_back();
        if (matches) {
          to_end.push_back(Emit(Op::kJmp, 0));
          caught_all = true;
        } else {
          PatchA(jskip, Here());
        }
        Accept(Tok::kSemi);
      }
      if (Accept(Tok::kElse)) {
        ParseStatementList(Tok::kEnd);
        to_end.push_back(Emit(Op::kJmp, 0));
      } else if (!caught_all) {
        Emit(Op::kReraise, aux);
      } else {
        Emit(Op::kReraise, aux);
      }
    } else {
      scopes_.emplace_back();
      Symbol sym;  // `raise;` inside the handler re-raises this one
      sym.kind = Symbol::kVar;
      sym.type = ClassType(FindClass("exception"));
      sym.level = rc_->level;
      sym.slot = aux;
      scopes_.back()[" current exception"] = sym;
      ParseStatementList(Tok::kEnd);
      scopes_.pop_back();
    }
    Expect(Tok::kEnd);
    for (int j : to_end) PatchA(j, Here());
  }
  rc_->floor = saved_floor;
}

void Compiler::ParseRaise() {
  const Token& at = Cur();
  Next();
  if (Is(Tok::kSemi) || Is(Tok::kEnd) || Is(Tok::kElse) || Is(Tok::kUntil)) {
    const Symbol* s = Lookup(" current exception");
    const Symbol* on = nullptr;
    (void)on;
    if (!s) Fail("Re-raising is only possible inside an exception handler", at);
    Emit(Op::kReraise, s->slot);
    return;
  }
  Ex e = ParseExpr();
  if (e.type->kind != TypeKind::kClass) Fail("Exception object expected", at);
  Emit(Op::kRaise, ToReg(e));
}

// ---------------------------------------------------------------- expressions

namespace {

bool IsIntType(const Type* t) {
  return t->kind == TypeKind::kInteger;
}
std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}
bool Wide(const Type* t) {
  return t->bits == 64 || (t->bits == 32 && t->is_unsigned);
}
const Type* Root(const Type* t) {
  while (t->base && t->kind != TypeKind::kSet) t = t->base;
  return t;
}
bool IsStrLike(const Type* t) {
  return t->kind == TypeKind::kString || t->kind == TypeKind::kChar;
}

// Ops whose operand a is only written: the compiler may point them straight at
// the variable an expression is assigned to.
bool PureDest(Op op) {
  switch (op) {
    case Op::kLoadK:
    case Op::kLoadF:
    case Op::kLoadS:
    case Op::kLoadNil:
    case Op::kLoadSet:
    case Op::kMov:
    case Op::kMovO:
    case Op::kClone:
    case Op::kGetG:
    case Op::kGetGO:
    case Op::kGetU:
    case Op::kGetUO:
    case Op::kDeref:
    case Op::kDerefO:
    case Op::kGetE:
    case Op::kGetEO:
    case Op::kGetF:
    case Op::kGetFO:
    case Op::kTrunc:
    case Op::kSingle:
    case Op::kAddI:
    case Op::kSubI:
    case Op::kMulI:
    case Op::kAddL:
    case Op::kSubL:
    case Op::kMulL:
    case Op::kDivL:
    case Op::kModL:
    case Op::kAddKI:
    case Op::kSubKI:
    case Op::kModKL:
    case Op::kNegI:
    case Op::kNegL:
    case Op::kNotI:
    case Op::kNotL:
    case Op::kNotB:
    case Op::kAnd:
    case Op::kOr:
    case Op::kXor:
    case Op::kShl:
    case Op::kShr:
    case Op::kEq:
    case Op::kNe:
    case Op::kLt:
    case Op::kLe:
    case Op::kGt:
    case Op::kGe:
    case Op::kEqKI:
    case Op::kNeKI:
    case Op::kLtKI:
    case Op::kLeKI:
    case Op::kGtKI:
    case Op::kGeKI:
    case Op::kI2F:
    case Op::kAddF:
    case Op::kSubF:
    case Op::kMulF:
    case Op::kDivF:
    case Op::kNegF:
    case Op::kEqF:
    case Op::kNeF:
    case Op::kLtF:
    case Op::kLeF:
    case Op::kGtF:
    case Op::kGeF:
    case Op::kCat:
    case Op::kChr2S:
    case Op::kEqS:
    case Op::kNeS:
    case Op::kLtS:
    case Op::kLeS:
    case Op::kGtS:
    case Op::kGeS:
    case Op::kGetChar:
    case Op::kIn:
    case Op::kLen:
    case Op::kDivI:
    case Op::kModI:
    case Op::kModKI:
    case Op::kModP2L:
    case Op::kGetER:
    case Op::kGetERO:
    case Op::kGetEG:
    case Op::kGetEGO:
    case Op::kSetUnion:
    case Op::kSetDiff:
    case Op::kSetInter:
    case Op::kSetEq:
    case Op::kSetNe:
    case Op::kSetLe:
    case Op::kSetGe:
      return true;
    default:
      return false;
  }
}

}  // namespace

int Compiler::ToReg(Ex& e) {
  if (!e.is_const) return e.reg;
  const int t = Temp();
  switch (e.type->kind) {
    case TypeKind::kReal:
      p_.reals.push_back(e.cv.d);
      Emit(Op::kLoadF, t, static_cast<int>(p_.reals.size()) - 1);
      break;
    case TypeKind::kString:
      if (e.cv.s.empty()) {
        Emit(Op::kLoadNil, t);
      } else {
        p_.strings.push_back(e.cv.s);
        Emit(Op::kLoadS, t, static_cast<int>(p_.strings.size()) - 1);
      }
      break;
    case TypeKind::kSet:
      p_.sets.push_back(e.cv.set);
      Emit(Op::kLoadSet, t, static_cast<int>(p_.sets.size()) - 1);
      break;
    case TypeKind::kNil:
      Emit(Op::kLoadNil, t);
      break;
    default: {
      const auto u = static_cast<std::uint64_t>(e.cv.i);
      Emit(Op::kLoadK, t, static_cast<std::int32_t>(u & 0xffffffffu),
           static_cast<std::int32_t>(u >> 32));
    }
  }
  e.is_const = false;
  e.reg = t;
  e.temp = true;
  e.fresh = true;
  return t;
}

bool Compiler::Assignable(const Type* from, const Type* to) const {
  if (from == to) return true;
  switch (to->kind) {
    case TypeKind::kInteger:
      return from->kind == TypeKind::kInteger;
    case TypeKind::kBoolean:
      return from->kind == TypeKind::kBoolean;
    case TypeKind::kChar:
      return from->kind == TypeKind::kChar;
    case TypeKind::kEnum:
      return from->kind == TypeKind::kEnum && Root(from) == Root(to);
    case TypeKind::kReal:
      return from->kind == TypeKind::kReal || IsIntType(from);
    case TypeKind::kString:
      return IsStrLike(from);
    case TypeKind::kSet:
      return from->kind == TypeKind::kSet &&
             (!from->base || !to->base || Root(from->base)->kind == Root(to->base)->kind);
    case TypeKind::kClass:
      return from->kind == TypeKind::kNil ||
             (from->kind == TypeKind::kClass && from->cls->InheritsFrom(to->cls));
    case TypeKind::kDynArray:
      return from->kind == TypeKind::kNil ||
             (from->kind == TypeKind::kDynArray && Assignable(from->elem, to->elem) &&
              Assignable(to->elem, from->elem) && from->elem->kind == to->elem->kind);
    case TypeKind::kOpenArray:
      return (from->kind == TypeKind::kDynArray || from->kind == TypeKind::kStaticArray ||
              from->kind == TypeKind::kOpenArray) &&
             from->elem->kind == to->elem->kind && Assignable(from->elem, to->elem);
    case TypeKind::kStaticArray:
      // Two declarations of the same shape are the same to us.
      return from->kind == TypeKind::kStaticArray && from->lo == to->lo && from->hi == to->hi &&
             from->elem->kind == to->elem->kind && Assignable(from->elem, to->elem) &&
             Assignable(to->elem, from->elem);
    default:
      return false;
  }
}

Ex Compiler::Coerce(Ex e, const Type* to, const Token& at, bool for_param) {
  (void)for_param;
  const Type* from = e.type;
  if (from->kind == TypeKind::kVoid) Fail("Expression has no value", at);
  if (from == to) return e;
  // A one-character string literal is a Char.
  if (to->kind == TypeKind::kChar && from->kind == TypeKind::kString && e.is_const &&
      e.cv.s.size() == 1) {
    e.cv.i = static_cast<unsigned char>(e.cv.s[0]);
    e.type = t_char_;
    return e;
  }
  if (!Assignable(from, to))
    Fail("Incompatible types: '" + TypeName(to) + "' and '" + TypeName(from) + "'", at);
  if (to->kind == TypeKind::kReal && IsIntType(from)) {
    if (e.is_const) {
      e.cv.d = static_cast<double>(e.cv.i);
    } else {
      const int t = Temp();
      Emit(Op::kI2F, t, e.reg);
      e.reg = t;
      e.temp = true;
    }
    e.type = to;
    return e;
  }
  if (to->kind == TypeKind::kString && from->kind == TypeKind::kChar) {
    if (e.is_const) {
      e.cv.s = std::string(1, static_cast<char>(e.cv.i));
    } else {
      const int t = Temp();
      Emit(Op::kChr2S, t, e.reg);
      e.reg = t;
      e.temp = true;
      e.fresh = true;
    }
    e.type = to;
    return e;
  }
  if (to->kind == TypeKind::kInteger && e.is_const && (e.cv.i < to->lo || e.cv.i > to->hi) &&
      to->bits < 64 && !(to->lo == INT32_MIN && to->hi == INT32_MAX)) {
    Fail("Constant expression violates subrange bounds", at);
  }
  e.type = (to->kind == TypeKind::kSet || to->kind == TypeKind::kClass ||
            to->kind == TypeKind::kDynArray || to->kind == TypeKind::kOpenArray)
               ? to
               : e.type;
  if (to->IsOrdinal()) e.type = to;
  return e;
}

Ex Compiler::ParseExpr() {
  Ex l = ParseSimple();
  for (;;) {
    const Token& at = Cur();
    const Tok k = at.kind;
    if (k == Tok::kEq || k == Tok::kNe || k == Tok::kLt || k == Tok::kLe || k == Tok::kGt ||
        k == Tok::kGe || k == Tok::kIn) {
      Next();
      Ex r = ParseSimple();
      l = Compare(k, l, r, at);
    } else {
      return l;
    }
  }
}

Ex Compiler::ParseSimple() {
  Ex l = ParseTerm();
  for (;;) {
    const Token& at = Cur();
    const Tok k = at.kind;
    if (k == Tok::kPlus || k == Tok::kMinus || k == Tok::kOr || k == Tok::kXor) {
      Next();
      Ex r = ParseTerm();
      l = Binary(k, l, r, at);
    } else {
      return l;
    }
  }
}

Ex Compiler::ParseTerm() {
  Ex l = ParseFactor();
  for (;;) {
    const Token& at = Cur();
    const Tok k = at.kind;
    if (k == Tok::kStar || k == Tok::kSlash || k == Tok::kDiv || k == Tok::kMod || k == Tok::kAnd ||
        k == Tok::kShl || k == Tok::kShr) {
      Next();
      Ex r = ParseFactor();
      l = Binary(k, l, r, at);
    } else {
      return l;
    }
  }
}

Ex Compiler::ParseFactor() {
  const Token& at = Cur();
  Ex e;
  switch (at.kind) {
    case Tok::kInt:
      e.is_const = true;
      e.cv.i = at.ival;
      e.type = (at.ival >= INT32_MIN && at.ival <= INT32_MAX) ? t_int_ : t_int64_;
      Next();
      return e;
    case Tok::kReal:
      e.is_const = true;
      e.cv.d = at.fval;
      e.type = t_real_;
      Next();
      return e;
    case Tok::kString:
      e.is_const = true;
      if (at.text.size() == 1) {
        e.cv.i = static_cast<unsigned char>(at.text[0]);
        e.cv.s = at.text;
        e.type = t_char_;
      } else {
        e.cv.s = at.text;
        e.type = t_string_;
      }
      Next();
      return e;
    case Tok::kNil:
      e.is_const = true;
      e.type = t_nil_;
      Next();
      return e;
    case Tok::kLParen: {
      Next();
      e = ParseExpr();
      Expect(Tok::kRParen);
      return e;
    }
    case Tok::kNot: {
      Next();
      e = ParseFactor();
      if (e.type->kind == TypeKind::kBoolean) {
        if (e.is_const) {
          e.cv.i = !e.cv.i;
          return e;
        }
        const int t = Temp();
        Emit(Op::kNotB, t, e.reg);
        e.reg = t;
      } else if (IsIntType(e.type)) {
        if (e.is_const) {
          e.cv.i = Wide(e.type) ? ~e.cv.i : static_cast<std::int32_t>(~e.cv.i);
          if (e.type->is_unsigned && e.type->bits == 32) e.cv.i &= 0xffffffff;
          return e;
        }
        const int t = Temp();
        Emit(Wide(e.type) ? Op::kNotL : Op::kNotI, t, e.reg);
        if (e.type->is_unsigned && e.type->bits == 32) Emit(Op::kTrunc, t, t, -32);
        e.reg = t;
        e.type = Wide(e.type) ? e.type : t_int_;
      } else {
        Fail("Boolean or integer expected after 'not'", at);
      }
      e.temp = true;
      return e;
    }
    case Tok::kMinus:
    case Tok::kPlus: {
      Next();
      e = ParseFactor();
      if (!IsIntType(e.type) && e.type->kind != TypeKind::kReal)
        Fail("Number expected after '" + std::string(at.kind == Tok::kMinus ? "-" : "+") + "'", at);
      if (at.kind == Tok::kPlus) return e;
      if (e.is_const) {
        if (e.type->kind == TypeKind::kReal)
          e.cv.d = -e.cv.d;
        else
          e.cv.i = -e.cv.i;
        if (IsIntType(e.type))
          e.type = (e.cv.i >= INT32_MIN && e.cv.i <= INT32_MAX) ? t_int_ : t_int64_;
        return e;
      }
      const int t = Temp();
      if (e.type->kind == TypeKind::kReal) {
        Emit(Op::kNegF, t, e.reg);
      } else {
        Emit(Wide(e.type) ? Op::kNegL : Op::kNegI, t, e.reg);
        e.type = Wide(e.type) ? t_int64_ : t_int_;
      }
      e.reg = t;
      e.temp = true;
      return e;
    }
    case Tok::kLBrack:
      return ParseSetConstructor(nullptr);
    case Tok::kIdent: {
      Designator d = ParseDesignator(false);
      return EnsureValue(std::move(d), at);
    }
    case Tok::kAt:
    case Tok::kCaret:
      Fail("Pointers are not supported");
    default: {
      std::string got = TokName(at.kind);
      Fail("Expression expected but " + got + " found");
    }
  }
}

Ex Compiler::EnsureValue(Designator d, const Token& at) {
  if (!d.is_place) {
    if (d.value.type->kind == TypeKind::kVoid) Fail("Expression has no value", at);
    return d.value;
  }
  return LoadPlace(d.place);
}

Ex Compiler::ParseSetConstructor(const Type* elem_hint) {
  (void)elem_hint;
  Expect(Tok::kLBrack);
  Ex e;
  Type* st = pool_->Make(TypeKind::kSet);
  e.type = st;
  e.is_const = true;
  std::vector<std::pair<Ex, std::optional<Ex>>> items;
  if (!Is(Tok::kRBrack)) {
    do {
      const Token& it = Cur();
      Ex lo = ParseExpr();
      if (!lo.type->IsOrdinal()) {
        if (lo.type->kind == TypeKind::kString && lo.is_const && lo.cv.s.size() == 1) {
          lo = Coerce(lo, t_char_, it);
        } else {
          Fail("Ordinal value expected in a set", it);
        }
      }
      if (!st->base)
        st->base = lo.type;
      else if (Root(st->base)->kind != Root(lo.type)->kind)
        Fail("Set elements differ in type", it);
      std::optional<Ex> hi;
      if (Accept(Tok::kDotDot)) {
        const Token& ht = Cur();
        hi = Coerce(ParseExpr(), lo.type, ht);
      }
      if (!lo.is_const || (hi && !hi->is_const)) e.is_const = false;
      auto check = [&](const Ex& x) {
        if (x.is_const && (x.cv.i < 0 || x.cv.i > 255)) Fail("Set element out of range 0..255", it);
      };
      check(lo);
      if (hi) check(*hi);
      items.emplace_back(lo, hi);
    } while (Accept(Tok::kComma));
  }
  Expect(Tok::kRBrack);
  if (e.is_const) {
    for (auto& [lo, hi] : items) {
      const std::int64_t h = hi ? hi->cv.i : lo.cv.i;
      for (std::int64_t v = lo.cv.i; v <= h; ++v) e.cv.set.set(static_cast<std::size_t>(v));
    }
    return e;
  }
  const int t = Temp();
  Emit(Op::kSetMake, t);
  for (auto& [lo, hi] : items) {
    const int l = ToReg(lo);
    if (hi) {
      const int h = ToReg(*hi);
      Emit(Op::kSetRange, t, l, h);
    } else {
      Emit(Op::kSetAdd, t, l);
    }
  }
  e.is_const = false;
  e.reg = t;
  e.temp = true;
  e.fresh = true;
  return e;
}

Ex Compiler::Binary(Tok op, Ex l, Ex r, const Token& at) {
  const Type* lt = l.type;
  const Type* rt = r.type;
  auto mismatch = [&]() -> Ex {
    Fail("Operator not applicable to '" + TypeName(lt) + "' and '" + TypeName(rt) + "'", at);
  };
  if (lt->kind == TypeKind::kVoid || rt->kind == TypeKind::kVoid)
    Fail("Expression has no value", at);
  Ex e;
  // strings
  if (op == Tok::kPlus && IsStrLike(lt) && IsStrLike(rt)) {
    l = Coerce(l, t_string_, at);
    r = Coerce(r, t_string_, at);
    if (l.is_const && r.is_const) {
      e.is_const = true;
      e.type = t_string_;
      e.cv.s = l.cv.s + r.cv.s;
      if (e.cv.s.size() > kMaxStringSize) Fail("String constant too long", at);
      return e;
    }
    const int a = ToReg(l), b = ToReg(r);
    const int t = l.temp ? a : Temp();
    Emit(Op::kCat, t, a, b);
    e.type = t_string_;
    e.reg = t;
    e.temp = true;
    e.fresh = true;
    return e;
  }
  // sets
  if (lt->kind == TypeKind::kSet && rt->kind == TypeKind::kSet) {
    Op o;
    if (op == Tok::kPlus)
      o = Op::kSetUnion;
    else if (op == Tok::kMinus)
      o = Op::kSetDiff;
    else if (op == Tok::kStar)
      o = Op::kSetInter;
    else
      return mismatch();
    if (l.is_const && r.is_const) {
      e = l;
      e.cv.set = o == Op::kSetUnion  ? (l.cv.set | r.cv.set)
                 : o == Op::kSetDiff ? (l.cv.set & ~r.cv.set)
                                     : (l.cv.set & r.cv.set);
      if (!e.type->base) e.type = rt;
      return e;
    }
    const int a = ToReg(l), b = ToReg(r);
    const int t = Temp();
    Emit(o, t, a, b);
    e.type = lt->base ? lt : rt;
    e.reg = t;
    e.temp = true;
    e.fresh = true;
    return e;
  }
  // booleans
  if (lt->kind == TypeKind::kBoolean && rt->kind == TypeKind::kBoolean &&
      (op == Tok::kAnd || op == Tok::kOr || op == Tok::kXor)) {
    if (l.is_const && r.is_const) {
      e = l;
      e.cv.i = op == Tok::kAnd  ? (l.cv.i & r.cv.i)
               : op == Tok::kOr ? (l.cv.i | r.cv.i)
                                : (l.cv.i ^ r.cv.i);
      return e;
    }
    // Both sides are always evaluated: no short circuit.
    const int a = ToReg(l), b = ToReg(r);
    const int t = l.temp ? a : Temp();
    Emit(op == Tok::kAnd ? Op::kAnd : op == Tok::kOr ? Op::kOr : Op::kXor, t, a, b);
    e.type = t_bool_;
    e.reg = t;
    e.temp = true;
    return e;
  }
  const bool real =
      (lt->kind == TypeKind::kReal || rt->kind == TypeKind::kReal || op == Tok::kSlash);
  if (real) {
    if ((lt->kind != TypeKind::kReal && !IsIntType(lt)) ||
        (rt->kind != TypeKind::kReal && !IsIntType(rt)))
      return mismatch();
    Op o;
    switch (op) {
      case Tok::kPlus:
        o = Op::kAddF;
        break;
      case Tok::kMinus:
        o = Op::kSubF;
        break;
      case Tok::kStar:
        o = Op::kMulF;
        break;
      case Tok::kSlash:
        o = Op::kDivF;
        break;
      default:
        return mismatch();
    }
    l = Coerce(l, t_real_, at);
    r = Coerce(r, t_real_, at);
    if (l.is_const && r.is_const && o != Op::kDivF) {
      e = l;
      e.type = t_real_;
      e.cv.d = o == Op::kAddF   ? l.cv.d + r.cv.d
               : o == Op::kSubF ? l.cv.d - r.cv.d
                                : l.cv.d * r.cv.d;
      return e;
    }
    const int a = ToReg(l), b = ToReg(r);
    const int t = l.temp ? a : Temp();
    Emit(o, t, a, b);
    e.type = t_real_;
    e.reg = t;
    e.temp = true;
    return e;
  }
  if (!IsIntType(lt) || !IsIntType(rt)) return mismatch();
  const bool wide = Wide(lt) || Wide(rt);
  const Type* result = wide ? t_int64_ : t_int_;
  if (l.is_const && r.is_const) {
    const std::int64_t a = l.cv.i, b = r.cv.i;
    std::int64_t v = 0;
    auto ua = static_cast<std::uint64_t>(a), ub = static_cast<std::uint64_t>(b);
    switch (op) {
      case Tok::kPlus:
        v = static_cast<std::int64_t>(ua + ub);
        break;
      case Tok::kMinus:
        v = static_cast<std::int64_t>(ua - ub);
        break;
      case Tok::kStar:
        v = static_cast<std::int64_t>(ua * ub);
        break;
      case Tok::kDiv:
      case Tok::kMod:
        if (b == 0) Fail("Division by zero", at);
        if (a == INT64_MIN && b == -1)
          v = op == Tok::kDiv ? a : 0;
        else
          v = op == Tok::kDiv ? a / b : a % b;
        break;
      case Tok::kAnd:
        v = a & b;
        break;
      case Tok::kOr:
        v = a | b;
        break;
      case Tok::kXor:
        v = a ^ b;
        break;
      case Tok::kShl:
        v = static_cast<std::int64_t>(ua << (b & 63));
        break;
      case Tok::kShr:
        v = static_cast<std::int64_t>((wide ? ua : (ua & 0xffffffffu)) >> (b & 63));
        break;
      default:
        return mismatch();
    }
    if (!wide) v = static_cast<std::int32_t>(v);
    e.is_const = true;
    e.cv.i = v;
    e.type = (v >= INT32_MIN && v <= INT32_MAX && !wide) ? t_int_ : result;
    if (wide) e.type = t_int64_;
    return e;
  }
  // Immediate forms for the common "x + 1", "i mod 7".
  if (r.is_const && r.cv.i >= INT32_MIN && r.cv.i <= INT32_MAX && !wide &&
      (op == Tok::kPlus || op == Tok::kMinus)) {
    const int a = ToReg(l);
    const int t = l.temp ? a : Temp();
    Emit(op == Tok::kPlus ? Op::kAddKI : Op::kSubKI, t, a, static_cast<int>(r.cv.i));
    e.type = result;
    e.reg = t;
    e.temp = true;
    return e;
  }
  if (r.is_const && wide && op == Tok::kMod && r.cv.i > 0 && (r.cv.i & (r.cv.i - 1)) == 0) {
    // A power of two: a mask instead of a 64-bit division.
    const int a = ToReg(l);
    const int t = l.temp ? a : Temp();
    int shift = 0;
    while ((std::int64_t{1} << shift) != r.cv.i) ++shift;
    Emit(Op::kModP2L, t, a, shift);
    e.type = result;
    e.reg = t;
    e.temp = true;
    return e;
  }
  if (r.is_const && r.cv.i > 0 && r.cv.i <= INT32_MAX && op == Tok::kMod) {
    const int a = ToReg(l);
    const int t = l.temp ? a : Temp();
    if (wide) {
      Emit(Op::kModKL, t, a, static_cast<int>(r.cv.i));
    } else {
      const auto d = static_cast<std::uint32_t>(r.cv.i);
      p_.divisors.emplace_back(UINT64_MAX / d + 1, d);
      Emit(Op::kModKI, t, a, static_cast<int>(p_.divisors.size()) - 1);
    }
    e.type = result;
    e.reg = t;
    e.temp = true;
    return e;
  }
  Op o;
  switch (op) {
    case Tok::kPlus:
      o = wide ? Op::kAddL : Op::kAddI;
      break;
    case Tok::kMinus:
      o = wide ? Op::kSubL : Op::kSubI;
      break;
    case Tok::kStar:
      o = wide ? Op::kMulL : Op::kMulI;
      break;
    case Tok::kDiv:
      o = wide ? Op::kDivL : Op::kDivI;
      break;
    case Tok::kMod:
      o = wide ? Op::kModL : Op::kModI;
      break;
    case Tok::kAnd:
      o = Op::kAnd;
      break;
    case Tok::kOr:
      o = Op::kOr;
      break;
    case Tok::kXor:
      o = Op::kXor;
      break;
    case Tok::kShl:
      o = Op::kShl;
      break;
    case Tok::kShr:
      o = Op::kShr;
      break;
    default:
      return mismatch();
  }
  const int a = ToReg(l), b = ToReg(r);
  const int t = l.temp ? a : (r.temp ? b : Temp());
  Emit(o, t, a, b);
  if (!wide && o == Op::kShl) Emit(Op::kTrunc, t, t, 32);
  if (!wide && o == Op::kShr) {
    // A 32-bit shift right works on the unsigned 32-bit pattern.
    const int m = Temp();
    Emit(Op::kTrunc, m, a, -32);
    Emit(Op::kShr, t, m, b);
  }
  e.type = result;
  e.reg = t;
  e.temp = true;
  return e;
}

Ex Compiler::Compare(Tok op, Ex l, Ex r, const Token& at) {
  Ex e;
  e.type = t_bool_;
  if (op == Tok::kIn) {
    if (r.type->kind != TypeKind::kSet) Fail("Set expected after 'in'", at);
    if (l.type->kind == TypeKind::kString && l.is_const && l.cv.s.size() == 1)
      l = Coerce(l, t_char_, at);
    if (!l.type->IsOrdinal()) Fail("Ordinal value expected before 'in'", at);
    if (l.is_const && r.is_const) {
      e.is_const = true;
      e.cv.i = l.cv.i >= 0 && l.cv.i < 256 && r.cv.set.test(static_cast<std::size_t>(l.cv.i));
      return e;
    }
    const int a = ToReg(l), b = ToReg(r);
    const int t = Temp();
    Emit(Op::kIn, t, a, b);
    e.reg = t;
    e.temp = true;
    return e;
  }
  const Type* lt = l.type;
  const Type* rt = r.type;
  auto pick = [&](Op eq, Op ne, Op lt_, Op le, Op gt, Op ge) {
    switch (op) {
      case Tok::kEq:
        return eq;
      case Tok::kNe:
        return ne;
      case Tok::kLt:
        return lt_;
      case Tok::kLe:
        return le;
      case Tok::kGt:
        return gt;
      default:
        return ge;
    }
  };
  if (IsStrLike(lt) && IsStrLike(rt) &&
      (lt->kind == TypeKind::kString || rt->kind == TypeKind::kString)) {
    l = Coerce(l, t_string_, at);
    r = Coerce(r, t_string_, at);
    if (l.is_const && r.is_const) {
      const int c = l.cv.s.compare(r.cv.s);
      e.is_const = true;
      e.cv.i = op == Tok::kEq   ? c == 0
               : op == Tok::kNe ? c != 0
               : op == Tok::kLt ? c < 0
               : op == Tok::kLe ? c <= 0
               : op == Tok::kGt ? c > 0
                                : c >= 0;
      return e;
    }
    const int a = ToReg(l), b = ToReg(r);
    const int t = Temp();
    Emit(pick(Op::kEqS, Op::kNeS, Op::kLtS, Op::kLeS, Op::kGtS, Op::kGeS), t, a, b);
    e.reg = t;
    e.temp = true;
    return e;
  }
  if ((lt->kind == TypeKind::kReal || rt->kind == TypeKind::kReal) &&
      (lt->kind == TypeKind::kReal || IsIntType(lt)) &&
      (rt->kind == TypeKind::kReal || IsIntType(rt))) {
    l = Coerce(l, t_real_, at);
    r = Coerce(r, t_real_, at);
    if (l.is_const && r.is_const) {
      const double a = l.cv.d, b = r.cv.d;
      e.is_const = true;
      e.cv.i = op == Tok::kEq   ? a == b
               : op == Tok::kNe ? a != b
               : op == Tok::kLt ? a < b
               : op == Tok::kLe ? a <= b
               : op == Tok::kGt ? a > b
                                : a >= b;
      return e;
    }
    const int a = ToReg(l), b = ToReg(r);
    const int t = Temp();
    Emit(pick(Op::kEqF, Op::kNeF, Op::kLtF, Op::kLeF, Op::kGtF, Op::kGeF), t, a, b);
    e.reg = t;
    e.temp = true;
    return e;
  }
  if (lt->kind == TypeKind::kSet && rt->kind == TypeKind::kSet) {
    Op o;
    if (op == Tok::kEq)
      o = Op::kSetEq;
    else if (op == Tok::kNe)
      o = Op::kSetNe;
    else if (op == Tok::kLe)
      o = Op::kSetLe;
    else if (op == Tok::kGe)
      o = Op::kSetGe;
    else
      Fail("Operator not applicable to sets", at);
    const int a = ToReg(l), b = ToReg(r);
    const int t = Temp();
    Emit(o, t, a, b);
    e.reg = t;
    e.temp = true;
    return e;
  }
  const bool ordinals = lt->IsOrdinal() && rt->IsOrdinal() && (Root(lt)->kind == Root(rt)->kind) &&
                        (lt->kind != TypeKind::kEnum || Root(lt) == Root(rt));
  const bool refs = (lt->kind == TypeKind::kClass || lt->kind == TypeKind::kNil ||
                     lt->kind == TypeKind::kDynArray) &&
                    (rt->kind == TypeKind::kClass || rt->kind == TypeKind::kNil ||
                     rt->kind == TypeKind::kDynArray) &&
                    (op == Tok::kEq || op == Tok::kNe);
  if (lt->kind == TypeKind::kChar && rt->kind == TypeKind::kString && r.is_const &&
      r.cv.s.size() == 1)
    r = Coerce(r, t_char_, at);
  if (!ordinals && !refs)
    Fail("Incompatible types: '" + TypeName(lt) + "' and '" + TypeName(rt) + "'", at);
  if (l.is_const && r.is_const) {
    const std::int64_t a = l.cv.i, b = r.cv.i;
    e.is_const = true;
    e.cv.i = op == Tok::kEq   ? a == b
             : op == Tok::kNe ? a != b
             : op == Tok::kLt ? a < b
             : op == Tok::kLe ? a <= b
             : op == Tok::kGt ? a > b
                              : a >= b;
    return e;
  }
  if (r.is_const && r.cv.i >= INT32_MIN && r.cv.i <= INT32_MAX) {
    const int a = ToReg(l);
    const int t = Temp();
    Emit(pick(Op::kEqKI, Op::kNeKI, Op::kLtKI, Op::kLeKI, Op::kGtKI, Op::kGeKI), t, a,
         static_cast<int>(r.cv.i));
    e.reg = t;
    e.temp = true;
    return e;
  }
  const int a = ToReg(l), b = ToReg(r);
  const int t = Temp();
  Emit(pick(Op::kEq, Op::kNe, Op::kLt, Op::kLe, Op::kGt, Op::kGe), t, a, b);
  e.reg = t;
  e.temp = true;
  return e;
}

void Compiler::PatchJump(int at, int target) {
  Instr& j = rc_->fn->code[static_cast<std::size_t>(at)];
  if (j.op == Op::kJmp)
    j.a = target;
  else if (j.op == Op::kJt || j.op == Op::kJf)
    j.b = target;
  else
    j.c = target;
}

int Compiler::EmitCondJump(Ex& c, bool when, int target) {
  if (c.is_const) return (c.cv.i != 0) == when ? Emit(Op::kJmp, target) : -1;
  const int r = ToReg(c);
  auto& code = rc_->fn->code;
  if (c.temp && !code.empty() && code.back().a == r) {
    Instr& last = code.back();
    // The comparison's result register is a temporary that only this jump
    // reads, so the pair becomes one instruction: "jump if b op c" for a jump
    // on true, the opposite test for a jump on false.
    struct Fold {
      Op cmp, on_true, on_false;
    };
    static constexpr Fold kFolds[] = {
        {Op::kEq, Op::kJEq, Op::kJNe},     {Op::kNe, Op::kJNe, Op::kJEq},
        {Op::kLt, Op::kJLt, Op::kJGe},     {Op::kLe, Op::kJLe, Op::kJGt},
        {Op::kGt, Op::kJGt, Op::kJLe},     {Op::kGe, Op::kJGe, Op::kJLt},
        {Op::kEqKI, Op::kJEqK, Op::kJNeK}, {Op::kNeKI, Op::kJNeK, Op::kJEqK},
        {Op::kLtKI, Op::kJLtK, Op::kJGeK}, {Op::kLeKI, Op::kJLeK, Op::kJGtK},
        {Op::kGtKI, Op::kJGtK, Op::kJLeK}, {Op::kGeKI, Op::kJGeK, Op::kJLtK},
    };
    for (const Fold& f : kFolds) {
      if (last.op != f.cmp) continue;
      last = Instr{when ? f.on_true : f.on_false, 0, last.b, last.c, target};
      return Here() - 1;
    }
  }
  return Emit(when ? Op::kJt : Op::kJf, r, target);
}

void Compiler::ThreadJumps() {
  auto& code = rc_->fn->code;
  const auto n = static_cast<int>(code.size());
  for (Instr& j : code) {
    if (j.op != Op::kJmp) continue;
    int target = j.a;
    // A few hops at most: chains are short, and a loop of jumps must end.
    for (int hop = 0; hop < 8 && target >= 0 && target < n; ++hop) {
      const Instr& t = code[static_cast<std::size_t>(target)];
      if (t.op == Op::kJmp) {
        target = t.a;
        continue;
      }
      if (t.op == Op::kRet) {
        j = Instr{Op::kRet, 0, 0, 0, 0};
        target = -1;
      }
      break;
    }
    if (j.op == Op::kJmp) j.a = target;
  }
}

namespace {

// Instructions that leave a plain number in register a (SetScalar / SetReal),
// or that write no register of their own frame at all.
bool LeavesNoObject(Op op) {
  switch (op) {
    case Op::kLoadK:
    case Op::kLoadF:
    case Op::kMov:
    case Op::kGetG:
    case Op::kGetU:
    case Op::kDeref:
    case Op::kGetE:
    case Op::kGetER:
    case Op::kGetEG:
    case Op::kGetF:
    case Op::kTrunc:
    case Op::kSingle:
    case Op::kAddI:
    case Op::kSubI:
    case Op::kMulI:
    case Op::kAddL:
    case Op::kSubL:
    case Op::kMulL:
    case Op::kDivL:
    case Op::kModL:
    case Op::kAddKI:
    case Op::kSubKI:
    case Op::kModKL:
    case Op::kNegI:
    case Op::kNegL:
    case Op::kNotI:
    case Op::kNotL:
    case Op::kNotB:
    case Op::kAnd:
    case Op::kOr:
    case Op::kXor:
    case Op::kShl:
    case Op::kShr:
    case Op::kEq:
    case Op::kNe:
    case Op::kLt:
    case Op::kLe:
    case Op::kGt:
    case Op::kGe:
    case Op::kLtU:
    case Op::kLeU:
    case Op::kGtU:
    case Op::kGeU:
    case Op::kEqKI:
    case Op::kNeKI:
    case Op::kLtKI:
    case Op::kLeKI:
    case Op::kGtKI:
    case Op::kGeKI:
    case Op::kI2F:
    case Op::kAddF:
    case Op::kSubF:
    case Op::kMulF:
    case Op::kDivF:
    case Op::kNegF:
    case Op::kEqF:
    case Op::kNeF:
    case Op::kLtF:
    case Op::kLeF:
    case Op::kGtF:
    case Op::kGeF:
    case Op::kEqS:
    case Op::kNeS:
    case Op::kLtS:
    case Op::kLeS:
    case Op::kGtS:
    case Op::kGeS:
    case Op::kGetChar:
    case Op::kSetEq:
    case Op::kSetNe:
    case Op::kSetLe:
    case Op::kSetGe:
    case Op::kIn:
    case Op::kLen:
    case Op::kDivI:
    case Op::kModI:
    case Op::kModKI:
    case Op::kModP2L:
    case Op::kForLoop:
    case Op::kForLoopD:
    case Op::kForLoopL:
    case Op::kForLoopDL:
    // No register of the frame written:
    case Op::kNop:
    case Op::kLine:
    case Op::kJmp:
    case Op::kJt:
    case Op::kJf:
    case Op::kJEq:
    case Op::kJNe:
    case Op::kJLt:
    case Op::kJLe:
    case Op::kJGt:
    case Op::kJGe:
    case Op::kJEqK:
    case Op::kJNeK:
    case Op::kJLtK:
    case Op::kJLeK:
    case Op::kJGtK:
    case Op::kJGeK:
    case Op::kRet:
    case Op::kPopTry:
    case Op::kRaise:
    case Op::kReraise:
    case Op::kRtError:
    case Op::kChkNil:
    case Op::kChkIdx:
    case Op::kSetG:
    case Op::kSetGO:
    case Op::kSetU:
    case Op::kSetUO:
    case Op::kStRef:
    case Op::kStRefO:
    case Op::kSetE:
    case Op::kSetEO:
    case Op::kSetER:
    case Op::kSetERO:
    case Op::kSetEG:
    case Op::kSetEGO:
    case Op::kSetF:
    case Op::kSetFO:
    case Op::kSetChar:
      return true;
    default:
      return false;
  }
}

}  // namespace

void Compiler::MarkReleaseRanges() {
  // Which routines return something that is not a plain number.
  std::vector<char> counted_result(funcs_.size(), 1);
  for (const auto& d : decls_) {
    if (d->host >= 0 || d->index < 0 || static_cast<std::size_t>(d->index) >= funcs_.size())
      continue;
    counted_result[static_cast<std::size_t>(d->index)] =
        d->result && !(d->result->IsOrdinal() || d->result->kind == TypeKind::kReal);
  }
  for (Function& f : funcs_) {
    // Parameters and declared locals may hold anything (references included).
    int end = f.locals_end;
    auto mark = [&](int reg) { end = std::max(end, reg + 1); };
    for (const Instr& in : f.code) {
      if (LeavesNoObject(in.op)) continue;
      switch (in.op) {
        case Op::kCall:
          // The callee clears its own slots; ours is its result, at b.
          if (static_cast<std::size_t>(in.a) >= counted_result.size() ||
              counted_result[static_cast<std::size_t>(in.a)])
            mark(in.b);
          break;
        case Op::kCallB:
          mark(in.b + in.c);
          break;
        case Op::kCallM:
          mark(in.b + in.c + 1);
          break;
        case Op::kCallH:
          mark(f.nslots);
          break;
        case Op::kTry:
          mark(in.b);  // receives the exception
          break;
        case Op::kEndFin:
          mark(std::max(in.a, in.b));
          break;
        default:
          mark(in.a);
          break;
      }
    }
    f.release_end = std::min(end, std::max(f.nslots, 1));
  }
}

// ---------------------------------------------------------------- places

Ex Compiler::LoadPlace(const Place& p) {
  Ex e;
  e.type = p.type;
  const bool m = p.type->IsManaged();
  if (p.kind == Place::kReg) {
    e.reg = p.a;
    return e;
  }
  if (p.kind == Place::kProp) {
    const int base = Temp();
    Emit(Op::kMovO, Temp(), p.a);
    int n = 0;
    if (p.index_reg >= 0) {
      Emit(Op::kMov, Temp(), p.index_reg);
      n = 1;
    }
    Emit(Op::kCallM, static_cast<int>(p.member->method), base, n);
    rc_->next_reg = base + 1;
    e.reg = base;
    e.temp = true;
    e.fresh = true;
    return e;
  }
  if (p.kind == Place::kStrChar) {
    Ex s = LoadPlace(*p.parent);
    const int t = Temp();
    Emit(Op::kGetChar, t, s.reg, p.b);
    e.reg = t;
    e.temp = true;
    return e;
  }
  const int t = Temp();
  switch (p.kind) {
    case Place::kGlobal:
      Emit(m ? Op::kGetGO : Op::kGetG, t, p.a);
      break;
    case Place::kUp:
      Emit(m ? Op::kGetUO : Op::kGetU, t, p.a, p.b);
      break;
    case Place::kElem: {
      static const Op get[3][2] = {
          {Op::kGetE, Op::kGetEO}, {Op::kGetER, Op::kGetERO}, {Op::kGetEG, Op::kGetEGO}};
      Emit(get[p.arr_src][m ? 1 : 0], t, p.a, p.b);
      break;
    }
    case Place::kField:
      Emit(m ? Op::kGetFO : Op::kGetFO, t, p.a, p.b);
      break;
    case Place::kRef:
      Emit(m ? Op::kDerefO : Op::kDeref, t, p.a);
      break;
    default:
      break;
  }
  if (p.kind == Place::kField && !m) rc_->fn->code.back().op = Op::kGetF;
  e.reg = t;
  e.temp = true;
  return e;
}

void Compiler::StorePlace(const Place& p, int reg) {
  const bool m = p.type->IsManaged();
  switch (p.kind) {
    case Place::kReg:
      if (p.a != reg) Emit(m ? Op::kMovO : Op::kMov, p.a, reg);
      break;
    case Place::kGlobal:
      Emit(m ? Op::kSetGO : Op::kSetG, reg, p.a);
      break;
    case Place::kUp:
      Emit(m ? Op::kSetUO : Op::kSetU, reg, p.a, p.b);
      break;
    case Place::kElem: {
      static const Op set[3][2] = {
          {Op::kSetE, Op::kSetEO}, {Op::kSetER, Op::kSetERO}, {Op::kSetEG, Op::kSetEGO}};
      Emit(set[p.arr_src][m ? 1 : 0], p.a, p.b, reg);
      break;
    }
    case Place::kField:
      Emit(m ? Op::kSetFO : Op::kSetF, p.a, p.b, reg);
      break;
    case Place::kRef:
      Emit(m ? Op::kStRefO : Op::kStRef, p.a, reg);
      break;
    case Place::kStrChar: {
      const int ref = RefTo(*p.parent, Cur());
      Emit(Op::kSetChar, ref, p.b, reg);
      break;
    }
    case Place::kProp: {
      if (p.member->setter < 0) Fail("Property '" + std::string(p.member->name) + "' is read-only");
      const int base = Temp();
      Emit(Op::kMovO, Temp(), p.a);
      int n = 0;
      if (p.index_reg >= 0) {
        Emit(Op::kMov, Temp(), p.index_reg);
        ++n;
      }
      Emit(m ? Op::kMovO : Op::kMov, Temp(), reg);
      ++n;
      Emit(Op::kCallM, p.member->setter, base, n);
      rc_->next_reg = base + 1;
      break;
    }
  }
}

int Compiler::RefTo(const Place& p, const Token& at) {
  if (p.readonly) Fail("Cannot assign to a constant", at);
  const int t = Temp();
  switch (p.kind) {
    case Place::kReg:
      Emit(Op::kMkRef, t, p.a);
      break;
    case Place::kGlobal:
      Emit(Op::kMkRefG, t, p.a);
      break;
    case Place::kUp:
      Emit(Op::kMkRefU, t, p.a, p.b);
      break;
    case Place::kElem: {
      static const Op mk[3] = {Op::kMkRefE, Op::kMkRefER, Op::kMkRefEG};
      Emit(mk[p.arr_src], t, p.a, p.b);
      break;
    }
    case Place::kField:
      Emit(Op::kMkRefF, t, p.a, p.b);
      break;
    case Place::kRef:
      Emit(Op::kMovO, t, p.a);
      break;
    default:
      Fail("Variable required", at);
  }
  return t;
}

int Compiler::ObjectReg(const Place& p) {
  if (p.kind == Place::kReg) return p.a;
  Ex e = LoadPlace(p);
  return e.reg;
}

Compiler::Designator Compiler::ParseDesignator(bool want_statement) {
  const Token& at = Cur();
  const std::string name = ExpectIdent();
  Designator d;
  // Fields and members of `with` targets come first.
  for (auto it = withs_.rbegin(); it != withs_.rend(); ++it) {
    if (it->type->kind == TypeKind::kRecord) {
      const auto& fs = it->type->fields;
      for (std::size_t i = 0; i < fs.size(); ++i) {
        if (fs[i].name == name) {
          d.is_place = true;
          d.place.kind = Place::kField;
          d.place.type = fs[i].type;
          d.place.a = it->reg;
          d.place.b = static_cast<int>(i);
          Selectors(d);
          return d;
        }
      }
    } else if (const MemberInfo* m = it->type->cls->Find(name)) {
      if (m->property) {
        d.is_place = true;
        d.place.kind = Place::kProp;
        d.place.type = NamedType(Lower(m->result), at);
        d.place.member = m;
        d.place.a = it->reg;
        if (!m->params.empty()) {
          Expect(Tok::kLBrack);
          Ex idx = Coerce(ParseExpr(), t_int_, at);
          d.place.index_reg = ToReg(idx);
          Expect(Tok::kRBrack);
        }
      } else {
        d.value = CallMember(*m, it->reg, it->type->cls, at, false);
      }
      Selectors(d);
      return d;
    }
  }
  const Symbol* s = Lookup(name);
  if (!s) Fail("Unknown identifier '" + at.text + "'", at);
  switch (s->kind) {
    case Symbol::kVar: {
      d.is_place = true;
      Place& p = d.place;
      p.type = s->type;
      p.readonly = s->readonly;
      if (s->level == rc_->level) {
        p.kind = Place::kReg;
        p.a = s->slot;
      } else if (s->level == 0) {
        p.kind = Place::kGlobal;
        p.a = s->slot;
      } else {
        p.kind = Place::kUp;
        p.a = s->slot;
        p.b = rc_->level - s->level;
      }
      if (s->is_ref) {
        int r = p.a;
        if (p.kind != Place::kReg) {
          Place holder = p;
          holder.type = t_string_;  // any managed type: the slot holds a counted reference
          r = LoadPlace(holder).reg;
        }
        p.kind = Place::kRef;
        p.a = r;
      }
      break;
    }
    case Symbol::kConst:
      d.value.is_const = true;
      d.value.type = s->type;
      d.value.cv = s->cv;
      break;
    case Symbol::kFunc: {
      FuncDecl& fd = *decls_[static_cast<std::size_t>(s->func)];
      // Inside a function its own name is its result; a procedure has none.
      if (rc_->decl == &fd && fd.result && Is(Tok::kAssign)) {
        d.is_place = true;
        d.place.kind = Place::kReg;
        d.place.a = 0;
        d.place.type = fd.result;
        return d;
      }
      d.value = CallRoutine(fd, at);
      break;
    }
    case Symbol::kBuiltin:
      d.value = Intrinsic(static_cast<Intr>(s->builtin), at);
      if (want_statement) return d;
      break;
    case Symbol::kType: {
      // A type cast: Integer(x), Char(65), TMyEnum(2), Double(i).
      Expect(Tok::kLParen);
      const Token& et = Cur();
      Ex v = ParseExpr();
      Expect(Tok::kRParen);
      const Type* to = s->type;
      if (to->IsOrdinal() && (v.type->IsOrdinal() || (v.type->kind == TypeKind::kString &&
                                                      v.is_const && v.cv.s.size() == 1))) {
        if (v.type->kind == TypeKind::kString) v = Coerce(v, t_char_, et);
        if (v.is_const) {
          if (to->kind == TypeKind::kInteger && to->bits < 64) {
            const int bits = to->bits;
            std::uint64_t mask = bits == 32 ? 0xffffffffu : ((1ull << bits) - 1);
            std::uint64_t u = static_cast<std::uint64_t>(v.cv.i) & mask;
            std::int64_t x = static_cast<std::int64_t>(u);
            if (!to->is_unsigned && (u >> (bits - 1)) & 1) x -= static_cast<std::int64_t>(mask) + 1;
            v.cv.i = x;
          } else if (to->kind == TypeKind::kChar) {
            v.cv.i &= 0xff;
          }
        } else if ((to->kind == TypeKind::kInteger && to->bits < 64) ||
                   to->kind == TypeKind::kChar) {
          const int t = Temp();
          const int code =
              to->kind == TypeKind::kChar ? -8 : (to->is_unsigned ? -to->bits : to->bits);
          Emit(Op::kTrunc, t, ToReg(v), code);
          v.reg = t;
          v.temp = true;
        } else if (to->kind == TypeKind::kBoolean) {
          const int t = Temp();
          Emit(Op::kNeKI, t, ToReg(v), 0);
          v.reg = t;
          v.temp = true;
        }
        v.type = to;
      } else if (to->kind == TypeKind::kReal) {
        v = Coerce(v, to, et);
      } else if (to->kind == TypeKind::kString && IsStrLike(v.type)) {
        v = Coerce(v, to, et);
      } else {
        Fail("Invalid type cast", at);
      }
      d.value = v;
      break;
    }
    case Symbol::kClassType: {
      Expect(Tok::kDot);
      const Token& mt = Cur();
      const std::string mname = ExpectIdent();
      const MemberInfo* m = s->type->cls->Find(mname);
      if (!m || !m->is_constructor) Fail("Constructor expected after class name", mt);
      d.value = CallMember(*m, -1, s->type->cls, mt, true);
      break;
    }
  }
  Selectors(d);
  return d;
}

void Compiler::Selectors(Designator& d) {
  for (;;) {
    const Token& at = Cur();
    const Type* type = d.is_place ? d.place.type : d.value.type;
    if (Is(Tok::kLBrack)) {
      Next();
      do {
        const Token& it = Cur();
        type = d.is_place ? d.place.type : d.value.type;
        if (type->kind == TypeKind::kString) {
          Ex idx = Coerce(ParseExpr(), t_int_, it);
          auto parent = std::make_shared<Place>();
          if (d.is_place) {
            *parent = d.place;
          } else {
            const int r = ToReg(d.value);
            parent->kind = Place::kReg;
            parent->a = r;
            parent->type = t_string_;
            parent->readonly = true;
          }
          d.is_place = true;
          d.place = Place{};
          d.place.kind = Place::kStrChar;
          d.place.type = t_char_;
          d.place.parent = parent;
          d.place.readonly = parent->readonly;
          d.place.b = ToReg(idx);
        } else if (type->kind == TypeKind::kStaticArray || type->kind == TypeKind::kDynArray ||
                   type->kind == TypeKind::kOpenArray) {
          const bool ro = d.is_place && d.place.readonly;
          // Arrays behind a reference or in a global are reached in place,
          // without copying the array's handle first.
          int src = 0;
          if (d.is_place && d.place.kind == Place::kRef) src = 1;
          if (d.is_place && d.place.kind == Place::kGlobal) src = 2;
          const int arr = src ? d.place.a : (d.is_place ? ObjectReg(d.place) : ToReg(d.value));
          Ex idx = ParseExpr();
          int ireg;
          if (type->kind == TypeKind::kStaticArray) {
            idx = Coerce(idx, type->index, it);
            if (idx.is_const) {
              if (idx.cv.i < type->lo || idx.cv.i > type->hi)
                Fail("Constant index out of range", it);
              idx.cv.i -= type->lo;
              ireg = ToReg(idx);
            } else if (type->lo != 0) {
              ireg = Temp();
              Emit(Op::kSubKI, ireg, idx.reg, static_cast<int>(type->lo));
            } else {
              ireg = ToReg(idx);
            }
          } else {
            idx = Coerce(idx, t_int_, it);
            ireg = ToReg(idx);
          }
          d.is_place = true;
          d.place = Place{};
          d.place.kind = Place::kElem;
          d.place.type = type->elem;
          d.place.a = arr;
          d.place.b = ireg;
          d.place.readonly = ro;
          d.place.arr_src = src;
        } else if (type->kind == TypeKind::kClass) {
          const MemberInfo* m = nullptr;
          for (const ClassInfo* c = type->cls; c && !m; c = c->parent)
            for (const auto& mm : c->members)
              if (mm.indexed_default) m = &mm;
          if (!m) Fail("Class has no default property", it);
          const int obj = d.is_place ? ObjectReg(d.place) : ToReg(d.value);
          Ex idx = Coerce(ParseExpr(), t_int_, it);
          d.is_place = true;
          d.place = Place{};
          d.place.kind = Place::kProp;
          d.place.type = NamedType(Lower(m->result), it);
          d.place.member = m;
          d.place.a = obj;
          d.place.index_reg = ToReg(idx);
        } else {
          Fail("Array type required", it);
        }
      } while (Accept(Tok::kComma));
      Expect(Tok::kRBrack);
      continue;
    }
    if (Is(Tok::kDot)) {
      Next();
      const Token& ft = Cur();
      const std::string fname = ExpectIdent();
      if (type->kind == TypeKind::kRecord) {
        const bool ro = d.is_place && d.place.readonly;
        const int obj = d.is_place ? ObjectReg(d.place) : ToReg(d.value);
        std::size_t i = 0;
        for (; i < type->fields.size(); ++i)
          if (type->fields[i].name == fname) break;
        if (i == type->fields.size()) Fail("Unknown field '" + ft.text + "'", ft);
        d.is_place = true;
        d.place = Place{};
        d.place.kind = Place::kField;
        d.place.type = type->fields[i].type;
        d.place.a = obj;
        d.place.b = static_cast<int>(i);
        d.place.readonly = ro;
        continue;
      }
      if (type->kind == TypeKind::kClass) {
        const MemberInfo* m = type->cls->Find(fname);
        if (!m) Fail("Unknown member '" + ft.text + "' of " + TypeName(type), ft);
        const int obj = d.is_place ? ObjectReg(d.place) : ToReg(d.value);
        if (m->property) {
          d.is_place = true;
          d.place = Place{};
          d.place.kind = Place::kProp;
          d.place.type = NamedType(Lower(m->result), ft);
          d.place.member = m;
          d.place.a = obj;
          if (!m->params.empty()) {
            Expect(Tok::kLBrack);
            Ex idx = Coerce(ParseExpr(), t_int_, ft);
            d.place.index_reg = ToReg(idx);
            Expect(Tok::kRBrack);
          }
        } else {
          d.is_place = false;
          d.value = CallMember(*m, obj, type->cls, ft, false);
        }
        continue;
      }
      Fail("Record or object required before '.'", at);
    }
    return;
  }
}

// ---------------------------------------------------------------- calls

void Compiler::CompileArgs(const std::vector<const Type*>& types,
                           const std::vector<ParamMode>& modes, int base, const Token& at,
                           const std::string& name, bool parens_already) {
  const std::size_t n = types.size();
  bool parens = parens_already;
  if (!parens && Is(Tok::kLParen)) {
    Next();
    parens = true;
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (!parens || Is(Tok::kRParen)) Fail("Not enough actual parameters for '" + name + "'", at);
    if (i) Expect(Tok::kComma);
    rc_->next_reg = base + 1 + static_cast<int>(i);
    const int slot = Temp();
    const Token& pt = Cur();
    const Type* pty = types[i];
    if (modes[i] == ParamMode::kVar || modes[i] == ParamMode::kOut) {
      if (!Is(Tok::kIdent)) Fail("Variable required", pt);
      Designator d = ParseDesignator(false);
      if (!d.is_place) Fail("Variable required", pt);
      const Type* vt = d.place.type;
      const bool same =
          vt == pty || (vt->kind == pty->kind && vt->kind != TypeKind::kEnum &&
                        vt->kind != TypeKind::kRecord && vt->kind != TypeKind::kStaticArray &&
                        (vt->kind != TypeKind::kInteger ||
                         (vt->bits == pty->bits && vt->is_unsigned == pty->is_unsigned)) &&
                        (vt->kind != TypeKind::kReal || vt->real_size == pty->real_size) &&
                        (vt->kind != TypeKind::kDynArray || Assignable(vt, pty)));
      const bool open_ok = pty->kind == TypeKind::kOpenArray && Assignable(vt, pty);
      if (!same && !open_ok)
        Fail("Types of actual and formal var parameters must be identical", pt);
      const int r = RefTo(d.place, pt);
      if (r != slot) Emit(Op::kMovO, slot, r);
    } else if (pty->kind == TypeKind::kArrayOfConst) {
      Expect(Tok::kLBrack);
      std::vector<Ex> items;
      const int arr = slot;
      rc_->next_reg = slot + 1;
      std::vector<std::pair<int, int>> parts;  // (code, reg)
      while (!Is(Tok::kRBrack)) {
        if (!items.empty()) Expect(Tok::kComma);
        const Token& et = Cur();
        Ex v = ParseExpr();
        int code;
        switch (v.type->kind) {
          case TypeKind::kInteger:
          case TypeKind::kEnum:
            code = 0;
            break;
          case TypeKind::kReal:
            code = 1;
            break;
          case TypeKind::kString:
            code = 2;
            break;
          case TypeKind::kChar:
            code = 3;
            break;
          case TypeKind::kBoolean:
            code = 4;
            break;
          default:
            Fail("This value cannot be passed in an array of const", et);
        }
        const int r = ToReg(v);
        parts.emplace_back(code, r);
        items.push_back(v);
      }
      Expect(Tok::kRBrack);
      const int tmp = Temp();
      const int idx = Temp();
      Emit(Op::kNewArr, tmp, static_cast<int>(parts.size() * 2));
      int k = 0;
      for (auto& [code, r] : parts) {
        Emit(Op::kLoadK, idx, k++, 0);
        Emit(Op::kLoadK, rc_->next_reg, code, 0);
        const int codereg = Temp();
        Emit(Op::kSetE, tmp, idx, codereg);
        Emit(Op::kLoadK, idx, k++, 0);
        Emit(code == 2 ? Op::kSetEO : Op::kSetE, tmp, idx, r);
        rc_->next_reg = codereg;
      }
      Emit(Op::kMovO, arr, tmp);
    } else if (pty->kind == TypeKind::kOpenArray && Is(Tok::kLBrack)) {
      Next();
      rc_->next_reg = slot + 1;
      std::vector<int> regs;
      while (!Is(Tok::kRBrack)) {
        if (!regs.empty()) Expect(Tok::kComma);
        const Token& et = Cur();
        Ex v = Coerce(ParseExpr(), pty->elem, et);
        if (pty->elem->IsAggregate()) Fail("Open array constructors take simple values", et);
        regs.push_back(ToReg(v));
      }
      Expect(Tok::kRBrack);
      const int tmp = Temp(), idx = Temp();
      Emit(Op::kNewArr, tmp, static_cast<int>(regs.size()));
      for (std::size_t k = 0; k < regs.size(); ++k) {
        Emit(Op::kLoadK, idx, static_cast<int>(k), 0);
        Emit(pty->elem->IsManaged() ? Op::kSetEO : Op::kSetE, tmp, idx, regs[k]);
      }
      Emit(Op::kMovO, slot, tmp);
    } else {
      Ex v = Coerce(ParseExpr(), pty, pt, true);
      const int r = ToReg(v);
      if ((pty->IsAggregate() || pty->kind == TypeKind::kOpenArray) &&
          modes[i] == ParamMode::kValue && !v.fresh) {
        Emit(Op::kClone, slot, r);
      } else if (r != slot) {
        auto& code = rc_->fn->code;
        if (v.temp && !code.empty() && code.back().a == r && PureDest(code.back().op)) {
          code.back().a = slot;
        } else {
          Emit(pty->IsManaged() ? Op::kMovO : Op::kMov, slot, r);
        }
      }
      if (pty->kind == TypeKind::kReal && pty->real_size == 4) Emit(Op::kSingle, slot, slot);
      if (pty->kind == TypeKind::kInteger &&
          (pty->bits < 32 || (pty->bits == 32 && (pty->is_unsigned || Wide(v.type)))))
        Emit(Op::kTrunc, slot, slot, pty->is_unsigned ? -pty->bits : pty->bits);
    }
    rc_->next_reg = slot + 1;
  }
  if (parens) {
    if (!Is(Tok::kRParen)) Fail("Too many actual parameters for '" + name + "'", Cur());
    Next();
  }
  rc_->next_reg = base + 1 + static_cast<int>(n);
}

Ex Compiler::CallRoutine(FuncDecl& d, const Token& at, std::optional<int> self_reg) {
  (void)self_reg;
  const int base = Temp();
  CompileArgs(d.ptypes, d.pmodes, base, at, at.text, false);
  if (d.host >= 0) {
    Emit(Op::kCallH, d.host, base);
  } else {
    Emit(Op::kCall, d.index, base, rc_->level - d.level + 1);
  }
  rc_->next_reg = base + 1;
  Ex e;
  e.type = d.result ? d.result : t_void_;
  e.reg = base;
  e.temp = true;
  e.fresh = true;
  return e;
}

Ex Compiler::CallMember(const MemberInfo& m, int self_reg, const ClassInfo* cls, const Token& at,
                        bool constructor) {
  const int base = Temp();
  const int self = Temp();
  if (constructor)
    Emit(Op::kLoadNil, self);
  else
    Emit(Op::kMovO, self, self_reg);
  std::vector<const Type*> types;
  std::vector<ParamMode> modes;
  for (const char* p : m.params) {
    std::string s = p;
    ParamMode mode = ParamMode::kValue;
    if (s.rfind("var ", 0) == 0) {
      mode = ParamMode::kVar;
      s = s.substr(4);
    }
    for (auto& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    types.push_back(NamedType(s, at));
    modes.push_back(mode);
  }
  if (m.property) {
    // A getter: its index (if any) was parsed by the caller into index_reg.
    rc_->next_reg = self + 1;
  } else {
    CompileArgs(types, modes, self, at, m.name, false);
  }
  const int call =
      Emit(Op::kCallM, static_cast<int>(m.method), base, static_cast<int>(types.size()));
  if (constructor)
    rc_->fn->code[static_cast<std::size_t>(call)].pad = static_cast<std::uint16_t>(cls->id);
  rc_->next_reg = base + 1;
  Ex e;
  std::string rn = m.result;
  for (auto& ch : rn) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  e.type = constructor ? ClassType(cls) : (rn.empty() ? t_void_ : NamedType(rn, at));
  e.reg = base;
  e.temp = true;
  e.fresh = true;
  return e;
}

std::vector<Ex> Compiler::ParseArgList(const Token& at, std::size_t min_args, std::size_t max_args,
                                       const std::string& name) {
  std::vector<Ex> args;
  if (Accept(Tok::kLParen)) {
    if (!Is(Tok::kRParen)) {
      do {
        args.push_back(ParseExpr());
      } while (Accept(Tok::kComma));
    }
    Expect(Tok::kRParen);
  }
  if (args.size() < min_args) Fail("Not enough actual parameters for '" + name + "'", at);
  if (args.size() > max_args) Fail("Too many actual parameters for '" + name + "'", at);
  return args;
}

Ex Compiler::CallBuiltinOp(Builtin b, const Type* result, std::vector<Ex> args, int extra) {
  std::vector<int> regs;
  for (auto& a : args) regs.push_back(ToReg(a));
  const int base = Temp();
  for (std::size_t i = 0; i < regs.size(); ++i) {
    const int slot = Temp();
    Emit(args[i].type->IsManaged() || args[i].type->kind == TypeKind::kVoid ? Op::kMovO : Op::kMov,
         slot, regs[i]);
  }
  Emit(Op::kCallB, static_cast<int>(b), base, static_cast<int>(regs.size()));
  rc_->fn->code.back().pad = static_cast<std::uint16_t>(extra + 1);
  rc_->next_reg = base + 1;
  Ex e;
  e.type = result;
  e.reg = base;
  e.temp = true;
  e.fresh = true;
  return e;
}

Ex Compiler::Intrinsic(Intr which, const Token& at) {
  const std::string name = at.text;
  auto ref_arg = [&](Ex& out, const Type** type) {
    const Token& vt = Cur();
    Designator d = ParseDesignator(false);
    if (!d.is_place) Fail("Variable required", vt);
    *type = d.place.type;
    out.type = t_void_;
    out.reg = RefTo(d.place, vt);
    return d.place;
  };
  auto real1 = [&](Builtin b, const Type* result) {
    auto a = ParseArgList(at, 1, 1, name);
    a[0] = Coerce(a[0], t_real_, at);
    return CallBuiltinOp(b, result, a);
  };
  auto str1 = [&](Builtin b) {
    auto a = ParseArgList(at, 1, 1, name);
    a[0] = Coerce(a[0], t_string_, at);
    return CallBuiltinOp(b, t_string_, a);
  };
  Ex e;
  switch (which) {
    case Intr::kWrite:
      break;
    case Intr::kIntToStr: {
      auto a = ParseArgList(at, 1, 1, name);
      if (!IsIntType(a[0].type)) Coerce(a[0], t_int64_, at);
      return CallBuiltinOp(Builtin::kIntToStr, t_string_, a);
    }
    case Intr::kBoolToStr: {
      auto a = ParseArgList(at, 1, 1, name);
      a[0] = Coerce(a[0], t_bool_, at);
      return CallBuiltinOp(Builtin::kBoolToStr, t_string_, a);
    }
    case Intr::kStrToInt: {
      auto a = ParseArgList(at, 1, 1, name);
      a[0] = Coerce(a[0], t_string_, at);
      return CallBuiltinOp(Builtin::kStrToInt, t_int64_, a);
    }
    case Intr::kStrToIntDef: {
      auto a = ParseArgList(at, 2, 2, name);
      a[0] = Coerce(a[0], t_string_, at);
      a[1] = Coerce(a[1], t_int64_, at);
      return CallBuiltinOp(Builtin::kStrToIntDef, t_int64_, a);
    }
    case Intr::kFloatToStr:
      return real1(Builtin::kFloatToStr, t_string_);
    case Intr::kStrToFloat: {
      auto a = ParseArgList(at, 1, 1, name);
      a[0] = Coerce(a[0], t_string_, at);
      return CallBuiltinOp(Builtin::kStrToFloat, t_real_, a);
    }
    case Intr::kIntToHex: {
      auto a = ParseArgList(at, 2, 2, name);
      a[0] = Coerce(a[0], t_int64_, at);
      a[1] = Coerce(a[1], t_int_, at);
      return CallBuiltinOp(Builtin::kIntToHex, t_string_, a);
    }
    case Intr::kFormat: {
      Expect(Tok::kLParen);
      const int base = Temp();
      CompileArgs({t_string_, t_aoc_}, {ParamMode::kConst, ParamMode::kConst}, base, at, name,
                  true);
      Emit(Op::kCallB, static_cast<int>(Builtin::kFormat), base, 2);
      rc_->next_reg = base + 1;
      e.type = t_string_;
      e.reg = base;
      e.temp = true;
      e.fresh = true;
      return e;
    }
    case Intr::kLength: {
      auto a = ParseArgList(at, 1, 1, name);
      const Type* t = a[0].type;
      if (IsStrLike(t)) {
        if (a[0].is_const) {
          e.is_const = true;
          e.type = t_int_;
          e.cv.i = t->kind == TypeKind::kChar ? 1 : static_cast<std::int64_t>(a[0].cv.s.size());
          return e;
        }
        a[0] = Coerce(a[0], t_string_, at);
        return CallBuiltinOp(Builtin::kLengthS, t_int_, a);
      }
      if (t->kind == TypeKind::kStaticArray) {
        e.is_const = true;
        e.type = t_int_;
        e.cv.i = t->Count();
        return e;
      }
      if (t->kind == TypeKind::kDynArray || t->kind == TypeKind::kOpenArray) {
        const int r = ToReg(a[0]);
        const int t2 = Temp();
        Emit(Op::kLen, t2, r);
        e.type = t_int_;
        e.reg = t2;
        e.temp = true;
        return e;
      }
      Fail("Length needs a string or an array", at);
    }
    case Intr::kLow:
    case Intr::kHigh: {
      Expect(Tok::kLParen);
      const Type* t = nullptr;
      Ex v;
      if (Is(Tok::kIdent)) {
        const Symbol* s = Lookup(Cur().lower);
        if (s && s->kind == Symbol::kType && Peek().kind == Tok::kRParen) {
          t = s->type;
          Next();
        }
      }
      if (!t) {
        v = ParseExpr();
        t = v.type;
      }
      Expect(Tok::kRParen);
      const bool low = which == Intr::kLow;
      if (t->IsOrdinal() || t->kind == TypeKind::kStaticArray) {
        e.is_const = true;
        e.type = t->kind == TypeKind::kStaticArray ? t->index : t;
        if (e.type->kind == TypeKind::kInteger) e.type = e.type->bits == 64 ? t_int64_ : t_int_;
        e.cv.i = low ? t->lo : t->hi;
        return e;
      }
      if (t->kind == TypeKind::kDynArray || t->kind == TypeKind::kOpenArray) {
        if (low) {
          e.is_const = true;
          e.type = t_int_;
          return e;
        }
        const int r = ToReg(v);
        const int t2 = Temp();
        Emit(Op::kLen, t2, r);
        Emit(Op::kSubKI, t2, t2, 1);
        e.type = t_int_;
        e.reg = t2;
        e.temp = true;
        return e;
      }
      if (t->kind == TypeKind::kString) {
        if (low) {
          e.is_const = true;
          e.type = t_int_;
          e.cv.i = 1;
          return e;
        }
        std::vector<Ex> a{v};
        return CallBuiltinOp(Builtin::kLengthS, t_int_, a);
      }
      Fail("Low and High need an ordinal, an array or a string", at);
    }
    case Intr::kSetLength: {
      Expect(Tok::kLParen);
      Ex r;
      const Type* t;
      ref_arg(r, &t);
      Expect(Tok::kComma);
      const Token& nt = Cur();
      Ex n = Coerce(ParseExpr(), t_int64_, nt);
      Expect(Tok::kRParen);
      if (t->kind == TypeKind::kString) {
        CallBuiltinOp(Builtin::kSetLengthS, t_void_, {r, n});
      } else if (t->kind == TypeKind::kDynArray) {
        CallBuiltinOp(Builtin::kSetLengthA, t_void_, {r, n},
                      t->elem->IsAggregate() ? LayoutOf(t->elem) : -1);
      } else {
        Fail("SetLength needs a string or dynamic array variable", at);
      }
      e.type = t_void_;
      return e;
    }
    case Intr::kCopy: {
      auto a = ParseArgList(at, 2, 3, name);
      a[0] = Coerce(a[0], t_string_, at);
      a[1] = Coerce(a[1], t_int64_, at);
      if (a.size() == 2) {
        Ex m;
        m.is_const = true;
        m.type = t_int64_;
        m.cv.i = INT32_MAX;
        a.push_back(m);
      }
      a[2] = Coerce(a[2], t_int64_, at);
      return CallBuiltinOp(Builtin::kCopy, t_string_, a);
    }
    case Intr::kPos: {
      auto a = ParseArgList(at, 2, 2, name);
      a[0] = Coerce(a[0], t_string_, at);
      a[1] = Coerce(a[1], t_string_, at);
      return CallBuiltinOp(Builtin::kPos, t_int_, a);
    }
    case Intr::kDelete: {
      Expect(Tok::kLParen);
      Ex r;
      const Type* t;
      ref_arg(r, &t);
      if (t->kind != TypeKind::kString) Fail("String variable expected", at);
      Expect(Tok::kComma);
      Ex i = Coerce(ParseExpr(), t_int64_, at);
      Expect(Tok::kComma);
      Ex n = Coerce(ParseExpr(), t_int64_, at);
      Expect(Tok::kRParen);
      CallBuiltinOp(Builtin::kDelete, t_void_, {r, i, n});
      e.type = t_void_;
      return e;
    }
    case Intr::kInsert: {
      Expect(Tok::kLParen);
      Ex src = Coerce(ParseExpr(), t_string_, at);
      ToReg(src);
      Expect(Tok::kComma);
      Ex r;
      const Type* t;
      ref_arg(r, &t);
      if (t->kind != TypeKind::kString) Fail("String variable expected", at);
      Expect(Tok::kComma);
      Ex i = Coerce(ParseExpr(), t_int64_, at);
      Expect(Tok::kRParen);
      CallBuiltinOp(Builtin::kInsert, t_void_, {src, r, i});
      e.type = t_void_;
      return e;
    }
    case Intr::kUpperCase:
      return str1(Builtin::kUpperCase);
    case Intr::kLowerCase:
      return str1(Builtin::kLowerCase);
    case Intr::kTrim:
      return str1(Builtin::kTrim);
    case Intr::kTrimLeft:
      return str1(Builtin::kTrimLeft);
    case Intr::kTrimRight:
      return str1(Builtin::kTrimRight);
    case Intr::kStringOfChar: {
      auto a = ParseArgList(at, 2, 2, name);
      a[0] = Coerce(a[0], t_char_, at);
      a[1] = Coerce(a[1], t_int64_, at);
      return CallBuiltinOp(Builtin::kStringOfChar, t_string_, a);
    }
    case Intr::kChr:
    case Intr::kOrd: {
      auto a = ParseArgList(at, 1, 1, name);
      e = a[0];
      if (e.type->kind == TypeKind::kString && e.is_const && e.cv.s.size() == 1)
        e = Coerce(e, t_char_, at);
      if (!e.type->IsOrdinal()) Fail("Ordinal value expected", at);
      if (which == Intr::kChr) {
        if (e.is_const)
          e.cv.i &= 0xff;
        else {
          const int t = Temp();
          Emit(Op::kTrunc, t, e.reg, -8);
          e.reg = t;
          e.temp = true;
        }
        e.type = t_char_;
      } else {
        e.type = Wide(e.type) && IsIntType(e.type) ? t_int64_ : t_int_;
      }
      return e;
    }
    case Intr::kInc:
    case Intr::kDec:
    case Intr::kInclude:
    case Intr::kExclude: {
      Expect(Tok::kLParen);
      const Token& vt = Cur();
      Designator d = ParseDesignator(false);
      if (!d.is_place) Fail("Variable required", vt);
      if (d.place.readonly) Fail("Cannot assign to a constant", vt);
      const Type* t = d.place.type;
      if (which == Intr::kInclude || which == Intr::kExclude) {
        if (t->kind != TypeKind::kSet) Fail("Set variable expected", vt);
        Expect(Tok::kComma);
        Ex x = ParseExpr();
        Expect(Tok::kRParen);
        Ex cur = LoadPlace(d.place);
        Ex one;
        one.is_const = true;
        one.type = pool_->Make(TypeKind::kSet);
        if (!x.is_const) {
          const int sreg = Temp();
          Emit(Op::kSetMake, sreg);
          Emit(Op::kSetAdd, sreg, ToReg(x));
          one.is_const = false;
          one.reg = sreg;
          one.temp = true;
        } else {
          one.cv.set.set(static_cast<std::size_t>(x.cv.i & 255));
        }
        Ex res = Binary(which == Intr::kInclude ? Tok::kPlus : Tok::kMinus, cur, one, vt);
        res.type = t;
        StorePlace(d.place, ToReg(res));
        e.type = t_void_;
        return e;
      }
      if (!t->IsOrdinal()) Fail("Ordinal variable expected", vt);
      Ex by;
      by.is_const = true;
      by.type = t_int_;
      by.cv.i = 1;
      if (Accept(Tok::kComma)) by = Coerce(ParseExpr(), t_int64_, vt);
      Expect(Tok::kRParen);
      Ex cur = LoadPlace(d.place);
      Ex cur_typed = cur;
      cur_typed.type = Wide(t) && IsIntType(t) ? t_int64_ : t_int_;
      Ex res = Binary(which == Intr::kInc ? Tok::kPlus : Tok::kMinus, cur_typed, by, vt);
      int r = ToReg(res);
      if ((IsIntType(t) && (t->bits < 32 || (t->bits == 32 && t->is_unsigned))) ||
          t->kind == TypeKind::kChar) {
        Emit(Op::kTrunc, r, r,
             t->kind == TypeKind::kChar ? -8 : (t->is_unsigned ? -t->bits : t->bits));
      }
      if (d.place.kind == Place::kReg) {
        auto& code = rc_->fn->code;
        if (code.back().a == r && PureDest(code.back().op) && res.temp)
          code.back().a = d.place.a;
        else
          Emit(Op::kMov, d.place.a, r);
      } else {
        StorePlace(d.place, r);
      }
      e.type = t_void_;
      return e;
    }
    case Intr::kSucc:
    case Intr::kPred: {
      auto a = ParseArgList(at, 1, 1, name);
      const Type* t = a[0].type;
      if (!t->IsOrdinal()) Fail("Ordinal value expected", at);
      Ex one;
      one.is_const = true;
      one.type = t_int_;
      one.cv.i = 1;
      Ex v = a[0];
      v.type = IsIntType(t) ? t : t_int_;
      Ex r = Binary(which == Intr::kSucc ? Tok::kPlus : Tok::kMinus, v, one, at);
      r.type = IsIntType(t) ? r.type : t;
      return r;
    }
    case Intr::kAbs: {
      auto a = ParseArgList(at, 1, 1, name);
      if (IsIntType(a[0].type)) {
        if (a[0].is_const) {
          e = a[0];
          e.cv.i = e.cv.i < 0 ? -e.cv.i : e.cv.i;
          return e;
        }
        return CallBuiltinOp(Builtin::kAbsI, Wide(a[0].type) ? t_int64_ : t_int_, a);
      }
      a[0] = Coerce(a[0], t_real_, at);
      return CallBuiltinOp(Builtin::kAbsF, t_real_, a);
    }
    case Intr::kSqr: {
      auto a = ParseArgList(at, 1, 1, name);
      if (!IsIntType(a[0].type)) a[0] = Coerce(a[0], t_real_, at);
      Ex x = a[0];
      ToReg(x);
      return Binary(Tok::kStar, x, x, at);
    }
    case Intr::kSqrt:
      return real1(Builtin::kSqrt, t_real_);
    case Intr::kRound:
      return real1(Builtin::kRound, t_int64_);
    case Intr::kTrunc:
      return real1(Builtin::kTrunc, t_int64_);
    case Intr::kInt:
      return real1(Builtin::kInt, t_real_);
    case Intr::kFrac:
      return real1(Builtin::kFrac, t_real_);
    case Intr::kSin:
      return real1(Builtin::kSin, t_real_);
    case Intr::kCos:
      return real1(Builtin::kCos, t_real_);
    case Intr::kArcTan:
      return real1(Builtin::kArcTan, t_real_);
    case Intr::kExp:
      return real1(Builtin::kExp, t_real_);
    case Intr::kLn:
      return real1(Builtin::kLn, t_real_);
    case Intr::kPower: {
      auto a = ParseArgList(at, 2, 2, name);
      a[0] = Coerce(a[0], t_real_, at);
      a[1] = Coerce(a[1], t_real_, at);
      return CallBuiltinOp(Builtin::kPower, t_real_, a);
    }
    case Intr::kPi:
      ParseArgList(at, 0, 0, name);
      e.is_const = true;
      e.type = t_real_;
      e.cv.d = 3.14159265358979323846;
      return e;
    case Intr::kOdd: {
      auto a = ParseArgList(at, 1, 1, name);
      if (!IsIntType(a[0].type)) Fail("Integer expected", at);
      if (a[0].is_const) {
        e.is_const = true;
        e.type = t_bool_;
        e.cv.i = a[0].cv.i & 1;
        return e;
      }
      Ex one;
      one.is_const = true;
      one.type = t_int_;
      one.cv.i = 1;
      e = Binary(Tok::kAnd, a[0], one, at);
      e.type = t_bool_;
      return e;
    }
    case Intr::kMin:
    case Intr::kMax: {
      auto a = ParseArgList(at, 2, 2, name);
      if (IsIntType(a[0].type) && IsIntType(a[1].type)) {
        const Type* rt = Wide(a[0].type) || Wide(a[1].type) ? t_int64_ : t_int_;
        return CallBuiltinOp(which == Intr::kMin ? Builtin::kMinI : Builtin::kMaxI, rt, a);
      }
      a[0] = Coerce(a[0], t_real_, at);
      a[1] = Coerce(a[1], t_real_, at);
      return CallBuiltinOp(which == Intr::kMin ? Builtin::kMinF : Builtin::kMaxF, t_real_, a);
    }
    case Intr::kNow:
    case Intr::kDate:
    case Intr::kTime: {
      ParseArgList(at, 0, 0, name);
      return CallBuiltinOp(which == Intr::kNow    ? Builtin::kNow
                           : which == Intr::kDate ? Builtin::kDate
                                                  : Builtin::kTime,
                           t_real_, {});
    }
    case Intr::kFormatDateTime: {
      auto a = ParseArgList(at, 2, 2, name);
      a[0] = Coerce(a[0], t_string_, at);
      a[1] = Coerce(a[1], t_real_, at);
      return CallBuiltinOp(Builtin::kFormatDateTime, t_string_, a);
    }
    case Intr::kDateToStr:
      return real1(Builtin::kDateToStr, t_string_);
    case Intr::kTimeToStr:
      return real1(Builtin::kTimeToStr, t_string_);
    case Intr::kSleep: {
      auto a = ParseArgList(at, 1, 1, name);
      a[0] = Coerce(a[0], t_int64_, at);
      CallBuiltinOp(Builtin::kSleep, t_void_, a);
      e.type = t_void_;
      return e;
    }
    case Intr::kAssigned: {
      auto a = ParseArgList(at, 1, 1, name);
      const Type* t = a[0].type;
      if (t->kind != TypeKind::kClass && t->kind != TypeKind::kDynArray &&
          t->kind != TypeKind::kNil)
        Fail("Object or array expected", at);
      const int r = ToReg(a[0]);
      const int t2 = Temp();
      Emit(Op::kNeKI, t2, r, 0);
      e.type = t_bool_;
      e.reg = t2;
      e.temp = true;
      return e;
    }
    case Intr::kExit: {
      if (Accept(Tok::kLParen)) {
        if (!rc_->decl || !rc_->decl->result)
          Fail("Exit with a value is only possible in a function", at);
        const Token& vt = Cur();
        Ex v = ParseExpr();
        Expect(Tok::kRParen);
        Place res;
        res.kind = Place::kReg;
        res.a = 0;
        res.type = rc_->decl->result;
        AssignTo(res, v, vt);
      }
      EmitExit();
      e.type = t_void_;
      return e;
    }
    case Intr::kBreak:
    case Intr::kContinue:
      EmitLoopJump(which == Intr::kBreak, at);
      e.type = t_void_;
      return e;
  }
  Fail("Unknown routine", at);
}

void Compiler::AssignTo(const Place& place, Ex value, const Token& at) {
  if (place.readonly) Fail("Cannot assign to a constant", at);
  const Type* t = place.type;
  Ex v = Coerce(value, t, at);
  int r = ToReg(v);
  if (t->IsAggregate() && !v.fresh) {
    const int c = Temp();
    Emit(Op::kClone, c, r);
    r = c;
    v.temp = true;
  }
  if (t->kind == TypeKind::kInteger &&
      (t->bits < 32 || (t->bits == 32 && (t->is_unsigned || Wide(value.type))))) {
    const int c = v.temp ? r : Temp();
    Emit(Op::kTrunc, c, r, t->is_unsigned ? -t->bits : t->bits);
    r = c;
    v.temp = true;
  } else if (t->kind == TypeKind::kReal && t->real_size == 4) {
    const int c = v.temp ? r : Temp();
    Emit(Op::kSingle, c, r);
    r = c;
    v.temp = true;
  }
  if (place.kind == Place::kReg) {
    auto& code = rc_->fn->code;
    if (v.temp && r != place.a && !code.empty() && code.back().a == r && PureDest(code.back().op)) {
      code.back().a = place.a;
      return;
    }
  }
  StorePlace(place, r);
}

void Compiler::ParseAssignOrCall() {
  const Token& at = Cur();
  // `s := s + x` on a string variable appends in place.
  if (Peek().kind == Tok::kAssign && Peek(2).kind == Tok::kIdent && Peek(2).lower == at.lower &&
      Peek(3).kind == Tok::kPlus && withs_.empty()) {
    const Symbol* s = Lookup(at.lower);
    if (s && s->kind == Symbol::kVar && s->type->kind == TypeKind::kString && !s->is_ref &&
        s->level == rc_->level) {
      Next();
      Next();
      Next();
      while (Accept(Tok::kPlus)) {
        const Token& tt = Cur();
        Ex x = ParseTerm();
        if (!IsStrLike(x.type))
          Fail("Incompatible types: 'String' and '" + TypeName(x.type) + "'", tt);
        x = Coerce(x, t_string_, tt);
        Emit(Op::kAppend, s->slot, ToReg(x));
        rc_->next_reg = rc_->floor;
      }
      if (!Is(Tok::kSemi) && !Is(Tok::kEnd) && !Is(Tok::kElse) && !Is(Tok::kUntil) &&
          !Is(Tok::kExcept) && !Is(Tok::kFinally))
        Fail("';' expected but " + std::string(TokName(Cur().kind)) + " found");
      return;
    }
  }
  Designator d = ParseDesignator(true);
  if (Is(Tok::kAssign)) {
    if (!d.is_place) Fail("Left side cannot be assigned to", at);
    Next();
    const Token& vt = Cur();
    Ex v = ParseExpr();
    AssignTo(d.place, v, vt);
    return;
  }
  if (d.is_place) {
    if (d.place.kind == Place::kProp) Fail("Statement expected", at);
    Fail("Statement expected but expression found", at);
  }
}

}  // namespace

void CompileTokens(const std::vector<Token>& tokens, const std::vector<HostDecl>& hosts,
                   const std::vector<HostVarDecl>& vars, CompileOutput& out) {
  Compiler c(tokens, out);
  c.RegisterHosts(hosts);
  c.RegisterVars(vars);
  c.CompileProgram();
}

}  // namespace qm::script
