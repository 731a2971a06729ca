// Compiler messages and run-time errors must point at the right row and column.
#include <gtest/gtest.h>

#include "script/script_harness.h"

namespace qm::script {
namespace {

struct CompileErrorCase {
  const char* name;
  const char* source;
  int row, col;
  const char* text;  // part of the message
};

class CompileErrorTest : public ::testing::TestWithParam<CompileErrorCase> {};

TEST_P(CompileErrorTest, ReportsRowColumnAndText) {
  const auto& c = GetParam();
  Engine engine;
  const auto run = testing::RunScript(engine, c.source);
  ASSERT_FALSE(run.compiled);
  ASSERT_EQ(engine.Messages().size(), 1u);
  const auto& m = engine.Messages()[0];
  EXPECT_EQ(m.kind, CompilerMessage::Kind::kError);
  EXPECT_EQ(m.row, c.row) << m.Formatted();
  EXPECT_EQ(m.col, c.col) << m.Formatted();
  EXPECT_NE(m.text.find(c.text), std::string::npos) << m.Formatted();
  EXPECT_EQ(m.file, "Unnamed");
}

const CompileErrorCase kCompileErrors[] = {
    {"UndeclaredIdentifier", "program P;\nbegin\n  x := 1;\nend.", 3, 3, "Unknown identifier 'x'"},
    {"UndeclaredInExpression", "program P;\nvar a: Integer;\nbegin\n  a := 2 + foo;\nend.", 4, 12,
     "Unknown identifier 'foo'"},
    {"TypeMismatchAssign", "program P;\nvar a: Integer;\nbegin\n  a := 'text';\nend.", 4, 8,
     "Incompatible types"},
    {"TypeMismatchOperator", "program P;\nvar a: Integer;\nbegin\n  a := 1 + 'ab';\nend.", 4, 10,
     "not applicable"},
    {"TypeMismatchArgument",
     "program P;\nprocedure Q(n: Integer);\nbegin\nend;\nbegin\n  Q('s');\nend.", 6, 5,
     "Incompatible types"},
    {"TooFewArguments",
     "program P;\nprocedure Q(a, b: Integer);\nbegin\nend;\nbegin\n  Q(1);\nend.", 6, 3,
     "Not enough actual parameters"},
    {"TooManyArguments",
     "program P;\nprocedure Q(a: Integer);\nbegin\nend;\nbegin\n  Q(1, 2);\nend.", 6, 6,
     "Too many actual parameters"},
    {"BuiltinArgumentCount", "program P;\nvar s: string;\nbegin\n  s := IntToStr(1, 2);\nend.", 4,
     8, "Too many actual parameters"},
    {"MissingSemicolon", "program P;\nvar a: Integer;\nbegin\n  a := 1\n  a := 2;\nend.", 5, 3,
     "';' expected"},
    {"MissingEnd", "program P;\nbegin\n  if True then begin\nend.", 4, 4, "expected"},
    {"NoMainBlock", "program P;\nvar a: Integer;\n", 3, 1, "'begin' expected"},
    {"NotAProgram", "unit U;", 1, 1, "Units are not available"},
    {"VarArgumentNeedsVariable",
     "program P;\nprocedure Q(var a: Integer);\nbegin\nend;\nbegin\n  Q(1 + 2);\nend.", 6, 5,
     "Variable required"},
    {"AssignToConstParameter",
     "program P;\nprocedure Q(const a: Integer);\nbegin\n  a := 1;\nend;\nbegin\nend.", 4, 8,
     "Cannot assign"},
    {"DuplicateIdentifier", "program P;\nvar a: Integer;\n    a: string;\nbegin\nend.", 3, 5,
     "Duplicate identifier"},
    {"BreakOutsideLoop", "program P;\nbegin\n  Break;\nend.", 3, 3, "outside a loop"},
    {"UnterminatedString", "program P;\nbegin\n  Writeln('abc);\nend.", 3, 11,
     "Unterminated string"},
    {"UnterminatedComment", "program P;\n{ open\nbegin\nend.", 2, 1, "Unterminated comment"},
    {"ExternalRoutine",
     "program P;\nfunction Beep(n: Integer): Integer; external 'user32.dll';\nbegin\nend.", 2, 37,
     "External routines"},
    {"UnknownMember",
     "program P;\nvar sl: TStringList;\nbegin\n  sl := TStringList.Create;\n  sl.Nope;\nend.", 5, 6,
     "Unknown member"},
    {"AssignToOwnProcedureName",
     "program P;\nprocedure Q;\nbegin\n  Q := 1;\nend;\nbegin\nend.", 4, 3,
     "Left side cannot be assigned to"},
    {"MissingEndif", "program P;\n{$IFDEF X}\nbegin\nend.", 2, 1, "Missing {$ENDIF}"},
};

INSTANTIATE_TEST_SUITE_P(Messages, CompileErrorTest, ::testing::ValuesIn(kCompileErrors),
                         [](const ::testing::TestParamInfo<CompileErrorCase>& info) {
                           return std::string(info.param.name);
                         });

struct RuntimeErrorCase {
  const char* name;
  const char* source;
  int row, col;
  const char* text;
};

class RuntimeErrorTest : public ::testing::TestWithParam<RuntimeErrorCase> {};

TEST_P(RuntimeErrorTest, ReportsFailingStatement) {
  const auto& c = GetParam();
  const auto run = testing::RunScript(c.source);
  ASSERT_TRUE(run.compiled) << run.messages;
  EXPECT_FALSE(run.ok);
  EXPECT_EQ(run.error.row, c.row) << run.error.message;
  EXPECT_EQ(run.error.col, c.col) << run.error.message;
  EXPECT_NE(run.error.message.find(c.text), std::string::npos) << run.error.message;
  EXPECT_EQ(run.error.file, "Unnamed");
}

const RuntimeErrorCase kRuntimeErrors[] = {
    {"DivisionByZero", "program P;\nvar a, b: Integer;\nbegin\n  b := 0;\n    a := 10 div b;\nend.",
     5, 5, "Division by zero"},
    {"RealDivisionByZero", "program P;\nvar x: Double;\nbegin\n  x := 0;\n  x := 1 / x;\nend.", 5,
     3, "Division by zero"},
    {"StaticArrayRange",
     "program P;\nvar a: array[1..3] of Integer; i: Integer;\nbegin\n  i := 4;\n  a[i] := 1;\nend.",
     5, 3, "out of range"},
    {"DynamicArrayRange",
     "program P;\nvar a: array of Integer;\nbegin\n  SetLength(a, 2);\n  "
     "Writeln(IntToStr(a[2]));\nend.",
     5, 3, "out of range"},
    {"StringIndex", "program P;\nvar s: string; c: Char;\nbegin\n  s := 'ab';\n  c := s[3];\nend.",
     5, 3, "out of range"},
    {"NilObject", "program P;\nvar sl: TStringList;\nbegin\n  sl := nil;\n  sl.Add('x');\nend.", 5,
     3, "nil object"},
    {"FreedObject",
     "program P;\nvar sl: TStringList;\nbegin\n  sl := TStringList.Create;\n  sl.Free;\n  "
     "sl.Add('x');\nend.",
     6, 3, "freed"},
    {"UncaughtScriptException",
     "program P;\nbegin\n  Writeln('a');\n  raise Exception.Create('custom failure');\nend.", 4, 3,
     "custom failure"},
    {"ErrorInsideRoutine",
     "program P;\nfunction D(n: Integer): Integer;\nbegin\n  Result := 100 div n;\nend;\nbegin\n  "
     "D(0);\nend.",
     4, 3, "Division by zero"},
    // The caller's row comes back when a called routine returns.
    {"ErrorAfterACallReturns",
     "program P;\nvar a: Integer;\nfunction Z: Integer;\nbegin\n  Result := 0;\nend;\nbegin\n"
     "  a := 7 div Z;\nend.",
     8, 3, "Division by zero"},
    {"ErrorAfterACalleeRaisedAndWasHandled",
     "program P;\nvar a: Integer;\nprocedure F;\nbegin\n  raise Exception.Create('x');\nend;\n"
     "begin\n  try\n    F;\n  except\n    a := 0;\n  end;\n  a := 1 div a;\nend.",
     13, 3, "Division by zero"},
    {"InvalidConversion", "program P;\nvar i: Integer;\nbegin\n  i := StrToInt('12x');\nend.", 4, 3,
     "not a valid integer"},
    {"DeepRecursion",
     "program P;\nprocedure R(n: Integer);\nbegin\n  R(n + 1);\nend;\nbegin\n  R(0);\nend.", 4, 3,
     "Stack overflow"},
    {"HugeString", "program P;\nvar s: string;\nbegin\n  s := StringOfChar('x', 2000000000);\nend.",
     4, 3, "Out of memory"},
    {"HugeArray", "program P;\nvar a: array of Integer;\nbegin\n  SetLength(a, 1000000000);\nend.",
     4, 3, "Out of memory"},
    {"GrowingStringList",
     "program P;\nvar sl: TStringList; s: string;\nbegin\n  sl := TStringList.Create;\n"
     "  s := StringOfChar('x', 100000000);\n  sl.Text := s;\n  while True do sl.Text := sl.Text + "
     "sl.Text;\nend.",
     7, 17, "Out of memory"},
};

INSTANTIATE_TEST_SUITE_P(Runtime, RuntimeErrorTest, ::testing::ValuesIn(kRuntimeErrors),
                         [](const ::testing::TestParamInfo<RuntimeErrorCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(RuntimeError, ReportsRoutineNumberAndBytecodePosition) {
  Engine engine;
  const auto run = testing::RunScript(
      engine,
      "program P;\nprocedure A;\nbegin\nend;\nfunction D(n: Integer): Integer;\nbegin\n  Result := "
      "1 div n;\nend;\nbegin\n  D(0);\nend.");
  ASSERT_FALSE(run.ok);
  const Program* p = engine.CompiledProgram();
  ASSERT_NE(p, nullptr);
  ASSERT_EQ(run.error.proc, 2);  // main, A, D
  const auto& code = p->functions[2].code;
  ASSERT_LT(static_cast<std::size_t>(run.error.pos), code.size());
  EXPECT_EQ(code[static_cast<std::size_t>(run.error.pos)].op, Op::kDivI);
}

TEST(RuntimeError, HandledErrorLetsTheRunComplete) {
  const auto run = testing::RunScript(
      "program P;\nvar a: array of Integer;\nbegin\n  try\n    a[5] := 1;\n  except\n    on E: "
      "Exception do Writeln('handled: ' + E.Message);\n  end;\n  Writeln('after');\nend.");
  ASSERT_TRUE(run.ok) << run.error.message;
  EXPECT_EQ(run.out, "handled: Index out of range (5)\nafter\n");
}

}  // namespace
}  // namespace qm::script
