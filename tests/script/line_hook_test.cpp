// A line hook that runs every so many statements (line_hook_interval): the
// count stays exact, row reports reach the host whenever it can look, and the
// debugger's controls still act at the next statement.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "script/script_harness.h"

namespace qm::script {
namespace {

// Two statements per turn: the `while` line and the increment. `i` is a host
// variable, so the hook can read it.
const char* kCounting = R"(program P;
begin
  while True do
    i := i + 1;
end.)";

TEST(LineHookInterval, HookRunsEveryNthStatementExactly) {
  for (const int interval : {1, 2, 64, 1000}) {
    Engine engine;
    engine.line_hook_interval = interval;
    engine.RegisterVariable("i", "Integer");
    std::vector<std::int64_t> seen;
    engine.on_line = [&] {
      seen.push_back(engine.GlobalInt("i").value_or(-1));
      if (seen.size() == 6) engine.Stop();
    };
    engine.SetText(kCounting);
    ASSERT_TRUE(engine.Compile());
    EXPECT_TRUE(engine.Execute());
    ASSERT_EQ(seen.size(), 6u) << interval;
    // The first call comes before the first statement, then one before every
    // interval-th statement after it: k calls in, i has counted k * interval / 2.
    for (std::size_t k = 0; k < seen.size(); ++k)
      EXPECT_EQ(seen[k], static_cast<std::int64_t>(k) * interval / 2) << interval << " " << k;
  }
}

// The run's row as the host knows it (ExecLine) at the moments it can look.
struct RowWatch {
  int row = 0;
  std::vector<int> rows_in_routine;
  std::vector<int> rows_in_hook;
};

TEST(LineHookInterval, GatheredRowReportsArriveBeforeTheHostLooks) {
  Engine engine;
  engine.line_hook_interval = 1000;
  RowWatch w;
  engine.on_line_info = [&](const LineEvent& ev) { w.row = ev.row; };
  engine.on_line = [&] { w.rows_in_hook.push_back(w.row); };
  engine.RegisterRoutine("procedure Mark", [&](HostCall&) { w.rows_in_routine.push_back(w.row); });
  engine.SetText(R"(program P;
var i, s: Integer;
begin
  for i := 1 to 5000 do
    s := s + i;
  Mark;
  for i := 1 to 700 do
    if i = 700 then
      Mark;
end.)");
  ASSERT_TRUE(engine.Compile());
  ASSERT_TRUE(engine.Execute());
  EXPECT_EQ(w.rows_in_routine, (std::vector<int>{6, 9}));
  // Before statement 1 (row 4), then 1001 (row 5, the first loop's body).
  ASSERT_GE(w.rows_in_hook.size(), 6u);
  EXPECT_EQ(w.rows_in_hook[0], 4);
  EXPECT_EQ(w.rows_in_hook[1], 5);
}

TEST(LineHookInterval, ControlsFromAHostRoutineActAtTheNextStatement) {
  for (const bool pause : {false, true}) {
    Engine engine;
    engine.line_hook_interval = 100000;
    engine.on_line = [] {};
    std::string out;
    testing::AddWriteln(engine, out);
    engine.RegisterRoutine("procedure Halt", [&](HostCall&) {
      if (pause)
        engine.Pause();
      else
        engine.Stop();
    });
    std::optional<int> paused_row;
    engine.on_line_info = [&](const LineEvent& ev) {
      if (engine.State() == RunState::kPaused) paused_row = ev.row;
    };
    engine.on_idle = [&] { engine.Stop(); };
    engine.SetText("program P;\nbegin\n  Writeln('a');\n  Halt;\n  Writeln('b');\nend.");
    ASSERT_TRUE(engine.Compile());
    EXPECT_TRUE(engine.Execute());
    EXPECT_EQ(out, "a\n") << pause;
    if (pause) {
      EXPECT_EQ(paused_row, 5);
    }
  }
}

TEST(LineHookInterval, BreakpointsAndStepsStillSeeEveryRow) {
  const char* script = R"(program P;
var i, s: Integer;
begin
  for i := 1 to 3000 do
  begin
    s := s + 1;
    if i mod 1000 = 0 then
      s := s + 2;
  end;
  Writeln(IntToStr(s));
end.)";
  Engine engine;
  engine.line_hook_interval = 4096;
  int hook_calls = 0;
  engine.on_line = [&] { ++hook_calls; };
  std::string out;
  testing::AddWriteln(engine, out);
  std::vector<int> hits, paused;
  engine.on_breakpoint = [&](const LineEvent& ev) { hits.push_back(ev.row); };
  engine.on_line_info = [&](const LineEvent& ev) {
    if (engine.State() == RunState::kPaused) paused.push_back(ev.row);
  };
  engine.on_idle = [&] {
    // At the second hit, step twice and then run to the end.
    if (hits.size() == 2 && paused.size() < 4)
      engine.StepInto();
    else
      engine.Resume();
  };
  engine.SetBreakpoint("Unnamed", 8);
  engine.SetText(script);
  ASSERT_TRUE(engine.Compile());
  ASSERT_TRUE(engine.Execute());
  EXPECT_EQ(hits, (std::vector<int>{8, 8, 8}));
  EXPECT_EQ(paused, (std::vector<int>{8, 8, 6, 7, 8}));
  EXPECT_EQ(out, "3006\n");
  EXPECT_GE(hook_calls, 2);
}

TEST(LineHookInterval, ClearedBreakpointIsNotHitAgain) {
  Engine engine;
  engine.line_hook_interval = 50;
  engine.on_line = [] {};
  int hits = 0;
  engine.on_breakpoint = [&](const LineEvent&) { ++hits; };
  engine.on_idle = [&] {
    engine.ClearBreakpoint("Unnamed", 5);
    engine.Resume();
  };
  engine.SetBreakpoint("Unnamed", 5);
  // Rows 4 and 5 take turns, so row 5 is newly reached in every turn.
  engine.SetText("program P;\nvar i: Integer;\nbegin\n  while i < 100 do\n    i := i + 1;\nend.");
  ASSERT_TRUE(engine.Compile());
  ASSERT_TRUE(engine.Execute());
  EXPECT_EQ(hits, 1);
}

}  // namespace
}  // namespace qm::script
