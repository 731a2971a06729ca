// qmtool run: the console on stdout, dialogs on stdin, result lines on stderr
// and the exit status that tells them apart.
#include <gtest/gtest.h>

#include "testing/qmtool_runner.h"
#include "testing/temp_dir.h"

namespace qm {
namespace {

void WriteText(const std::string& path, const std::string& text) {
  testing::WriteBytes(path, std::vector<unsigned char>(text.begin(), text.end()));
}

TEST(QmtoolRun, RunsAScriptWithConsoleAndDialogsOnTheTerminal) {
  testing::TempDir dir;
  WriteText(dir.File("lib.inc"),
            "function Twice(s: string): string;\nbegin\n  Result := s + s;\nend;\n");
  WriteText(dir.File("s.run"), R"(program Applet;
{$I lib.inc}
var name, v: string;
begin
  Writeln('Hello');
  readln(name);
  Writeln(Twice(name));
  Writeln(InputBox('Cap', 'Prompt', 'dflt'));
  v := 'keep';
  if not InputQuery('Cap', 'Prompt', v) then Writeln('cancelled ' + v);
  ShowMessage('shown');
end.)");
  WriteText(dir.File("answers.txt"), "ab\n");  // input ends after the first answer: Cancel
  const auto run =
      testing::Qmtool("run " + dir.File("s.run") + " <" + dir.File("answers.txt"), dir);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "Hello\nabab\nCap: Prompt [dflt] dflt\nCap: Prompt [keep] cancelled keep\nshown\n");
  EXPECT_EQ(run.err, "Compilation Successful\nExecution Complete\n");
}

TEST(QmtoolRun, CompilerMessagesExitOne) {
  testing::TempDir dir;
  WriteText(dir.File("bad.run"), "program P;\nbegin\n  Writeln(x);\nend.\n");
  const auto run = testing::Qmtool("run " + dir.File("bad.run") + " </dev/null", dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "[Error] bad.run(3:11): Unknown identifier 'x'\n");
}

TEST(QmtoolRun, RuntimeErrorExitsTwoWithPosition) {
  testing::TempDir dir;
  WriteText(dir.File("div.run"),
            "program P;\nvar a: Integer;\nbegin\n  Writeln('before');\n  a := 5 div a;\nend.\n");
  const auto run = testing::Qmtool("run " + dir.File("div.run") + " </dev/null", dir);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "before\n");
  EXPECT_EQ(
      run.err.rfind(
          "Compilation Successful\nRuntime Error: Division by zero at [5:3] bytecode pos:0:", 0),
      0u)
      << run.err;
}

TEST(QmtoolRun, MissingIncludeOrScriptIsAOneLineFailure) {
  testing::TempDir dir;
  WriteText(dir.File("inc.run"), "program P;\n{$I nowhere.inc}\nbegin\nend.\n");
  auto run = testing::Qmtool("run " + dir.File("inc.run") + " </dev/null", dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("nowhere.inc"), std::string::npos);
  run = testing::Qmtool("run " + dir.File("none.run") + " </dev/null", dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Cannot open file"), std::string::npos);
}

}  // namespace
}  // namespace qm
