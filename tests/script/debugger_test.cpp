// Stepping, breakpoints, pause, resume and stop, driven from the idle hook the
// way the IDE drives them.
#include <gtest/gtest.h>

#include <functional>

#include "script/script_harness.h"

namespace qm::script {
namespace {

const char* kScript = R"(program P;
var i: Integer;
procedure Inner;
begin
  i := i + 1;
  i := i + 1;
end;
begin
  i := 0;
  Inner;
  i := i + 10;
  Writeln(IntToStr(i));
end.)";

// Runs kScript; at every pause `on_pause` gets the row and decides what to do
// with the engine. Returns the rows the run paused at.
struct Debugged {
  std::vector<int> paused_rows;
  std::vector<int> breakpoint_rows;
  std::string out;
  bool ok = false;
};

Debugged Debug(Engine& engine, const std::function<void(Engine&, int row)>& on_pause,
               bool step_first) {
  Debugged d;
  engine.ClearRegistrations();
  testing::AddWriteln(engine, d.out);
  engine.SetText(kScript);
  EXPECT_TRUE(engine.Compile());
  int row = 0;
  engine.on_line_info = [&](const LineEvent& ev) {
    row = ev.row;
    if (engine.State() == RunState::kPaused) d.paused_rows.push_back(ev.row);
  };
  engine.on_breakpoint = [&](const LineEvent& ev) { d.breakpoint_rows.push_back(ev.row); };
  int idle_calls = 0;
  engine.on_idle = [&] {
    ASSERT_EQ(engine.State(), RunState::kPaused);
    ASSERT_LT(++idle_calls, 1000);
    on_pause(engine, row);
  };
  if (step_first) engine.StepInto();
  d.ok = engine.Execute();
  return d;
}

TEST(Debugger, StepIntoBeforeTheStartPausesOnTheFirstStatement) {
  Engine engine;
  const auto d = Debug(
      engine, [](Engine& e, int) { e.Resume(); }, true);
  EXPECT_TRUE(d.ok);
  EXPECT_EQ(d.paused_rows, std::vector<int>{9});
  EXPECT_EQ(d.out, "12\n");
}

TEST(Debugger, StepIntoEntersCalledRoutines) {
  Engine engine;
  const auto d = Debug(
      engine, [](Engine& e, int) { e.StepInto(); }, true);
  EXPECT_TRUE(d.ok);
  EXPECT_EQ(d.paused_rows, (std::vector<int>{9, 10, 5, 6, 11, 12}));
}

TEST(Debugger, StepOverRunsCalledRoutinesWithoutPausing) {
  Engine engine;
  const auto d = Debug(
      engine, [](Engine& e, int) { e.StepOver(); }, true);
  EXPECT_TRUE(d.ok);
  EXPECT_EQ(d.paused_rows, (std::vector<int>{9, 10, 11, 12}));
  EXPECT_EQ(d.out, "12\n");
}

TEST(Debugger, StepOverInsideARoutineReturnsToItsCaller) {
  Engine engine;
  engine.SetBreakpoint("Unnamed", 6);
  const auto d = Debug(
      engine, [](Engine& e, int) { e.StepOver(); }, false);
  EXPECT_EQ(d.paused_rows, (std::vector<int>{6, 11, 12}));
}

TEST(Debugger, BreakpointsPauseAndResumeGoesOn) {
  Engine engine;
  engine.SetBreakpoint("Unnamed", 6);
  engine.SetBreakpoint("Unnamed", 12);
  engine.SetBreakpoint("other.inc", 9);  // another file's line 9 is not ours
  const auto d = Debug(
      engine, [](Engine& e, int) { e.Resume(); }, false);
  EXPECT_TRUE(d.ok);
  EXPECT_EQ(d.breakpoint_rows, (std::vector<int>{6, 12}));
  EXPECT_EQ(d.paused_rows, (std::vector<int>{6, 12}));
  EXPECT_EQ(d.out, "12\n");
}

TEST(Debugger, StopWhilePausedEndsTheRunWithoutError) {
  Engine engine;
  engine.SetBreakpoint("Unnamed", 11);
  const auto d = Debug(
      engine, [](Engine& e, int) { e.Stop(); }, false);
  EXPECT_TRUE(d.ok);
  EXPECT_EQ(d.out, "");
  EXPECT_FALSE(engine.Running());
}

TEST(Debugger, PauseFromTheLineHookThenResume) {
  Engine engine;
  int lines = 0;
  engine.on_line = [&] {
    if (++lines == 3) engine.Pause();
  };
  const auto d = Debug(
      engine, [](Engine& e, int) { e.Resume(); }, false);
  EXPECT_TRUE(d.ok);
  ASSERT_EQ(d.paused_rows.size(), 1u);
  EXPECT_EQ(d.paused_rows[0], 5);  // 9, 10, then the first line of Inner
}

TEST(Debugger, StateFollowsTheRun) {
  Engine engine;
  std::vector<RunState> states;
  engine.on_line = [&] { states.push_back(engine.State()); };
  EXPECT_EQ(engine.State(), RunState::kIdle);
  Debug(
      engine, [](Engine& e, int) { e.StepOver(); }, true);
  EXPECT_EQ(engine.State(), RunState::kIdle);
  ASSERT_FALSE(states.empty());
  EXPECT_EQ(states.front(), RunState::kStepping);
}

// A loop's test runs at the bottom of each turn; its line still stops there.
TEST(Debugger, LoopTestsStopAndStepOnTheirLineEveryTurn) {
  const char* script = R"(program P;
var i: Integer;
begin
  i := 0;
  while i < 3 do
    i := i + 1;
  repeat
    i := i - 1
  until i <= 1;
end.)";
  for (const bool stepping : {false, true}) {
    Engine engine;
    std::vector<int> stops;
    engine.on_line_info = [&](const LineEvent& ev) {
      if (engine.State() == RunState::kPaused) stops.push_back(ev.row);
    };
    engine.on_idle = [&] {
      if (stepping)
        engine.StepInto();
      else
        engine.Resume();
    };
    if (stepping) {
      engine.StepInto();
    } else {
      engine.SetBreakpoint("Unnamed", 5);
      engine.SetBreakpoint("Unnamed", 9);
    }
    engine.SetText(script);
    ASSERT_TRUE(engine.Compile());
    ASSERT_TRUE(engine.Execute());
    if (stepping) {
      EXPECT_EQ(stops, (std::vector<int>{4, 5, 6, 5, 6, 5, 6, 5, 8, 9, 8, 9}));
    } else {
      EXPECT_EQ(stops, (std::vector<int>{5, 5, 5, 5, 9, 9}));
    }
  }
}

// A for loop goes from its test straight into the body's first line event.
TEST(Debugger, BreakpointInAForLoopBodyStopsEveryTurn) {
  for (const char* head : {"for i := 1 to 3 do", "for i := 3 downto 1 do"}) {
    Engine engine;
    std::vector<int> hits;
    engine.on_breakpoint = [&](const LineEvent& ev) { hits.push_back(ev.row); };
    engine.on_idle = [&] { engine.Resume(); };
    engine.SetBreakpoint("Unnamed", 6);
    engine.SetText(std::string("program P;\nvar i, s: Integer;\nbegin\n  ") + head +
                   "\n  begin\n    s := s + i;\n    s := s * 2;\n  end;\nend.");
    ASSERT_TRUE(engine.Compile());
    ASSERT_TRUE(engine.Execute());
    EXPECT_EQ(hits, (std::vector<int>{6, 6, 6})) << head;
  }
}

TEST(Breakpoints, SetTestClearAndClearAll) {
  Engine engine;
  engine.SetBreakpoint("a.run", 3);
  engine.SetBreakpoint("b.run", 4);
  EXPECT_TRUE(engine.HasBreakpoint("a.run", 3));
  EXPECT_FALSE(engine.HasBreakpoint("a.run", 4));
  engine.ClearBreakpoint("a.run", 3);
  EXPECT_FALSE(engine.HasBreakpoint("a.run", 3));
  EXPECT_TRUE(engine.HasBreakpoint("b.run", 4));
  engine.ClearBreakpoints();
  EXPECT_FALSE(engine.HasBreakpoint("b.run", 4));
}

TEST(Breakpoints, FollowTheMainFileWhenItIsRenamed) {
  Engine engine;
  engine.SetBreakpoint("Unnamed", 5);
  engine.SetBreakpoint("t.run", 7);
  engine.SetMainFileName("s.run");
  EXPECT_TRUE(engine.HasBreakpoint("s.run", 5));
  EXPECT_FALSE(engine.HasBreakpoint("Unnamed", 5));
  engine.SetMainFileName("t.run");  // what t.run held before is dropped
  EXPECT_TRUE(engine.HasBreakpoint("t.run", 5));
  EXPECT_FALSE(engine.HasBreakpoint("t.run", 7));
  engine.SetMainFileName("");
  EXPECT_EQ(engine.MainFileName(), "Unnamed");
  EXPECT_TRUE(engine.HasBreakpoint("Unnamed", 5));
}

TEST(Breakpoints, AreReportedUnderTheMainFileName) {
  Engine engine;
  engine.SetMainFileName("s.run");
  engine.SetBreakpoint("s.run", 11);
  std::vector<std::string> files;
  engine.on_breakpoint = [&](const LineEvent& ev) { files.emplace_back(ev.file); };
  std::string out;
  testing::AddWriteln(engine, out);
  engine.SetText(kScript);
  ASSERT_TRUE(engine.Compile());
  engine.on_idle = [&] { engine.Resume(); };
  EXPECT_TRUE(engine.Execute());
  EXPECT_EQ(files, std::vector<std::string>{"s.run"});
}

}  // namespace
}  // namespace qm::script
