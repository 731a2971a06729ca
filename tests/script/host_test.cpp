// What a host does with the engine: routines from declaration texts, global
// variables by name and type name, include files, hooks and stopping.
#include <gtest/gtest.h>

#include <stdexcept>

#include "script/script_harness.h"

namespace qm::script {
namespace {

using testing::RunScript;

TEST(HostRoutines, ReceiveArgumentsWriteBackVarAndReturnResults) {
  Engine engine;
  std::vector<std::string> seen;
  engine.RegisterRoutine("function InputQuery(c,p: String; Var v: String): Boolean",
                         [&](HostCall& c) {
                           seen.push_back(c.Str(0) + "/" + c.Str(1) + "/" + c.Str(2));
                           c.SetStr(2, "typed");
                           c.ReturnBool(true);
                         });
  engine.RegisterRoutine("function Dice(count,sides,modifer: Integer): Integer", [](HostCall& c) {
    c.ReturnInt(c.Int(0) * 100 + c.Int(1) * 10 + c.Int(2));
  });
  engine.RegisterRoutine("Procedure MapSet(const x,y,z,layer,datatype,datavalue: Integer)",
                         [&](HostCall& c) { seen.push_back(std::to_string(c.Int(5))); });
  engine.RegisterRoutine("procedure Clr", [&](HostCall&) { seen.push_back("clr"); });
  std::string out;
  testing::AddWriteln(engine, out);
  engine.SetText(R"(program P;
var v: string;
begin
  v := 'old';
  if InputQuery('cap', 'prompt', v) then Writeln(v);
  Writeln(IntToStr(Dice(3, 6, 2)));
  MapSet(1, 2, 3, 4, 5, 66);
  Clr;
end.)");
  ASSERT_TRUE(engine.Compile());
  ASSERT_TRUE(engine.Execute()) << engine.LastError().message;
  EXPECT_EQ(out, "typed\n362\n");
  EXPECT_EQ(seen, (std::vector<std::string>{"cap/prompt/old", "66", "clr"}));
}

TEST(HostRoutines, FailureBecomesScriptException) {
  Engine engine;
  std::string out;
  engine.RegisterRoutine("procedure MapOpen(f: String)", [](HostCall& c) {
    throw std::runtime_error("Cannot open file \"" + c.Str(0) + "\".");
  });
  testing::AddWriteln(engine, out);
  engine.SetText(R"(program P;
begin
  try
    MapOpen('a.map');
  except
    on E: Exception do Writeln('caught: ' + E.Message);
  end;
  Writeln('goes on');
  MapOpen('b.map');
  Writeln('not reached');
end.)");
  ASSERT_TRUE(engine.Compile());
  EXPECT_FALSE(engine.Execute());
  EXPECT_EQ(out, "caught: Cannot open file \"a.map\".\ngoes on\n");
  EXPECT_EQ(engine.LastError().message, "Cannot open file \"b.map\".");
  EXPECT_EQ(engine.LastError().row, 9);
  EXPECT_EQ(engine.LastError().col, 3);
}

TEST(HostRoutines, BadDeclarationIsAnError) {
  Engine engine;
  engine.RegisterRoutine("procedure (x: Nope)", [](HostCall&) {});
  engine.SetText("program P;\nbegin\nend.");
  EXPECT_FALSE(engine.Compile());
  ASSERT_EQ(engine.Messages().size(), 1u);
  EXPECT_NE(engine.Messages()[0].text.find("host routine"), std::string::npos);
}

struct FakeForm : ScriptForm {
  std::string caption = "Zelic Script";
  int shows = 0;
  std::string Caption() const override { return caption; }
  void SetCaption(const std::string& c) override { caption = c; }
  void Show() override { ++shows; }
  void Hide() override {}
};

struct FakeApp : ScriptApplication {
  std::string title = "Quillmarch";
  int processed = 0;
  std::string Title() const override { return title; }
  void SetTitle(const std::string& t) override { title = t; }
  void ProcessMessages() override { ++processed; }
};

TEST(HostVariables, RegisteredInOnCompileAndSetInOnExecuteForEveryRun) {
  Engine engine;
  FakeForm form;
  FakeApp app;
  std::string out;
  int compiles = 0;
  engine.on_compile = [&] {
    ++compiles;
    testing::AddWriteln(engine, out);
    engine.RegisterVariable("MapSize", "Integer");
    engine.RegisterVariable("TileRotation", "Integer");
    engine.RegisterVariable("Self", "TForm");
    engine.RegisterVariable("Application", "TApplication");
  };
  engine.on_execute = [&] {
    EXPECT_TRUE(engine.SetGlobalInt("MapSize", 72));
    EXPECT_TRUE(engine.SetGlobalInt("TileRotation", 1));
    EXPECT_TRUE(engine.BindForm("Self", &form));
    EXPECT_TRUE(engine.BindApplication("Application", &app));
    EXPECT_FALSE(engine.SetGlobalInt("NoSuchVariable", 1));
  };
  engine.SetText(R"(program P;
begin
  Writeln(IntToStr(MapSize) + ' ' + IntToStr(TileRotation));
  MapSize := 10;
  Self.Caption := Self.Caption + '!';
  Self.Show;
  Application.ProcessMessages;
  Writeln(Application.Title);
end.)");
  for (int run = 0; run < 2; ++run) {
    ASSERT_TRUE(engine.Compile()) << engine.Messages()[0].Formatted();
    ASSERT_TRUE(engine.Execute()) << engine.LastError().message;
  }
  EXPECT_EQ(compiles, 2);
  EXPECT_EQ(out, "72 1\nQuillmarch\n72 1\nQuillmarch\n");
  EXPECT_EQ(form.caption, "Zelic Script!!");
  EXPECT_EQ(form.shows, 2);
  EXPECT_EQ(app.processed, 2);
}

TEST(HostVariables, UnboundFormIsANilAccessNotACrash) {
  Engine engine;
  engine.RegisterVariable("Self", "TForm");
  engine.SetText("program P;\nbegin\n  Self.Show;\nend.");
  ASSERT_TRUE(engine.Compile());
  EXPECT_FALSE(engine.Execute());
  EXPECT_NE(engine.LastError().message.find("nil"), std::string::npos);
}

TEST(Includes, ComeThroughTheHostAndReportTheirOwnRows) {
  Engine engine;
  std::vector<std::string> asked;
  engine.on_need_file = [&](const std::string& name, std::string& text) {
    asked.push_back(name);
    if (name != "lib.inc") return false;
    text =
        "procedure Hello;\nbegin\n  Writeln('hello from lib');\n  Writeln(IntToStr(1 div "
        "Zero));\nend;\n";
    return true;
  };
  std::string out;
  testing::AddWriteln(engine, out);
  engine.SetText("program P;\nvar Zero: Integer;\n{$I lib.inc}\nbegin\n  Hello;\nend.");
  ASSERT_TRUE(engine.Compile()) << engine.Messages()[0].Formatted();
  EXPECT_FALSE(engine.Execute());
  EXPECT_EQ(out, "hello from lib\n");
  EXPECT_EQ(asked, std::vector<std::string>{"lib.inc"});
  EXPECT_EQ(engine.LastError().file, "lib.inc");
  EXPECT_EQ(engine.LastError().row, 4);
  EXPECT_EQ(engine.LastError().col, 3);
}

TEST(Includes, MissingFileAbandonsTheCompilationWithAnException) {
  Engine engine;
  engine.on_need_file = [](const std::string&, std::string&) { return false; };
  engine.SetText("program P;\n{$INCLUDE missing.inc}\nbegin\nend.");
  try {
    engine.Compile();
    FAIL() << "no exception";
  } catch (const IncludeError& e) {
    EXPECT_NE(std::string(e.what()).find("missing.inc"), std::string::npos);
  }
  EXPECT_FALSE(engine.Compiled());
}

TEST(Includes, SelfIncludeEndsInAnErrorNotARecursion) {
  Engine engine;
  engine.on_need_file = [](const std::string&, std::string& text) {
    text = "{$I again.inc}";
    return true;
  };
  engine.SetText("program P;\n{$I again.inc}\nbegin\nend.");
  EXPECT_FALSE(engine.Compile());
}

// A run starts from fresh globals and locals whatever the run before it left
// behind, also when that run ended in an error deep in a recursion.
TEST(Runs, EveryRunStartsFresh) {
  Engine engine;
  std::string out;
  testing::AddWriteln(engine, out);
  engine.SetText(R"(program P;
var s: string; n: Integer; a: array of string; fail: Boolean;
function Deep(k: Integer; t: string): Integer;
var local: string; count: Integer;
begin
  count := count + 1;
  local := local + t;
  if (k = 0) and fail then Result := 1 div k
  else if k = 0 then Result := count
  else Result := Deep(k - 1, local + 'y');
end;
begin
  Writeln('[' + s + IntToStr(n) + IntToStr(Length(a)) + ']');
  fail := n = 0;
  s := 'left'; n := 7; SetLength(a, 3); a[1] := 'x';
  Writeln(IntToStr(Deep(50, 'z')));
end.)");
  ASSERT_TRUE(engine.Compile());
  for (int run = 0; run < 3; ++run) {
    out.clear();
    EXPECT_FALSE(engine.Execute()) << run;  // n is 0 at the start of every run
    EXPECT_EQ(out, "[00]\n") << run;
    EXPECT_EQ(engine.LastError().row, 8) << run;
  }
}

TEST(Hooks, LineHookRunsForEveryStatementAndCanStopAnEndlessLoop) {
  Engine engine;
  std::string out;
  testing::AddWriteln(engine, out);
  int lines = 0;
  engine.on_line = [&] {
    if (++lines == 1000) engine.Stop();
  };
  bool after = false;
  engine.on_after_execute = [&] { after = true; };
  engine.SetText(
      "program P;\nvar i: Integer;\nbegin\n  Writeln('start');\n  while True do\n    i := i + "
      "1;\nend.");
  ASSERT_TRUE(engine.Compile());
  EXPECT_TRUE(engine.Execute());  // a stop ends the run without an error
  EXPECT_EQ(lines, 1000);
  EXPECT_EQ(out, "start\n");
  EXPECT_TRUE(after);
  EXPECT_FALSE(engine.Running());
}

TEST(Hooks, EmptyLoopBodiesStillReachTheHook) {
  for (const char* loop : {"for i := 1 to 2000000000 do ;", "while True do ;",
                           "repeat until False;", "for i := 1 to 2000000000 do begin end;"}) {
    Engine engine;
    int lines = 0;
    engine.on_line = [&] {
      if (++lines == 100) engine.Stop();
    };
    engine.SetText(std::string("program P;\nvar i: Integer;\nbegin\n  ") + loop + "\nend.");
    ASSERT_TRUE(engine.Compile()) << loop;
    EXPECT_TRUE(engine.Execute()) << loop;
    EXPECT_EQ(lines, 100) << loop;
  }
}

TEST(Hooks, OnExecuteAndOnAfterExecuteFramePlainAndFailedRuns) {
  Engine engine;
  std::vector<std::string> events;
  engine.on_execute = [&] { events.push_back("execute " + std::to_string(engine.Running())); };
  engine.on_after_execute = [&] { events.push_back("after"); };
  engine.SetText("program P;\nvar a: Integer;\nbegin\n  a := 1 div a;\nend.");
  ASSERT_TRUE(engine.Compile());
  EXPECT_FALSE(engine.Execute());
  EXPECT_EQ(events, (std::vector<std::string>{"execute 1", "after"}));
}

}  // namespace
}  // namespace qm::script
