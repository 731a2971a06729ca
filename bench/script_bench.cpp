// Script engine speed: the four programs of bench/script/ (the same algorithms
// as the Lua files beside them) with the line hooks installed the way the
// editor installs them, and the compile time of a 5,000-line script.
#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

#include "script/engine/engine.h"

namespace {

// The scripts sit in bench/script/ beside this file. ccache makes the file's
// name relative to the build directory (the parent of bin/), so a relative
// name is resolved from there rather than from wherever the program runs.
std::string ReadScript(const std::string& name) {
  std::string dir = __FILE__;
  dir = dir.substr(0, dir.find_last_of('/') + 1);
  if (dir.empty() || dir[0] != '/') dir = std::string(QM_BIN_DIR) + "/../" + dir;
  std::ifstream in(dir + "script/" + name, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// What the editor's hooks cost: the window's events are looked at every 1024
// statements when a few milliseconds have passed, and the row reached is
// remembered for the line colouring. The editor lets the engine count the
// statements (line_hook_interval); `every_statement` installs the same hooks
// the way a host that counts for itself would, with a call per statement.
struct EditorHooks {
  int exec_line = 0;
  unsigned counter = 0;
  std::chrono::steady_clock::time_point next = std::chrono::steady_clock::now();
  long event_checks = 0;

  void PendingEvents() {
    const auto now = std::chrono::steady_clock::now();
    if (now >= next) {
      ++event_checks;  // where the editor processes pending window events
      next = now + std::chrono::milliseconds(10);
    }
  }

  void Install(qm::script::Engine& engine, bool every_statement) {
    if (every_statement) {
      engine.line_hook_interval = 1;
      engine.on_line = [this] {
        if ((++counter & 1023) == 0) PendingEvents();
      };
    } else {
      engine.line_hook_interval = 1024;
      engine.on_line = [this] { PendingEvents(); };
    }
    engine.on_line_info = [this](const qm::script::LineEvent& ev) { exec_line = ev.row; };
  }
};

void RunProgram(benchmark::State& state, const char* file, const char* expected,
                bool every_statement = false) {
  qm::script::Engine engine;
  std::string out;
  engine.RegisterRoutine("procedure Writeln(s: string)",
                         [&out](qm::script::HostCall& c) { out += c.Str(0) + "\n"; });
  engine.SetText(ReadScript(file));
  if (!engine.Compile()) {
    state.SkipWithError(engine.Messages().empty() ? "compile failed"
                                                  : engine.Messages()[0].Formatted().c_str());
    return;
  }
  EditorHooks hooks;
  hooks.Install(engine, every_statement);
  for (auto _ : state) {
    out.clear();
    if (!engine.Execute()) {
      state.SkipWithError(engine.LastError().message.c_str());
      return;
    }
  }
  if (out != expected) state.SkipWithError(("unexpected output: " + out).c_str());
}

void BM_IntegerLoop(benchmark::State& state) {
  RunProgram(state, "loop.run", "29999997\n");
}
void BM_RecursiveFib30(benchmark::State& state) {
  RunProgram(state, "fib.run", "832040\n");
}
void BM_BuildString(benchmark::State& state) {
  RunProgram(state, "strings.run", "488895\n");
}
void BM_QuickSort200k(benchmark::State& state) {
  RunProgram(state, "sort.run", "sorted\n");
}

// The same with a hook call before every statement.
void BM_IntegerLoopHookEveryStatement(benchmark::State& state) {
  RunProgram(state, "loop.run", "29999997\n", true);
}
void BM_RecursiveFib30HookEveryStatement(benchmark::State& state) {
  RunProgram(state, "fib.run", "832040\n", true);
}
void BM_BuildStringHookEveryStatement(benchmark::State& state) {
  RunProgram(state, "strings.run", "488895\n", true);
}
void BM_QuickSort200kHookEveryStatement(benchmark::State& state) {
  RunProgram(state, "sort.run", "sorted\n", true);
}

// A 5,000-line script of routines, records, loops and case statements.
std::string LongScript() {
  std::string s = "program Long;\ntype TRec = record a, b: Integer; name: string; end;\n";
  s += "var total: Integer; r: TRec;\n";
  int lines = 3;
  int n = 0;
  while (lines < 4980) {
    const std::string k = std::to_string(n++);
    s += "function F" + k +
         "(x: Integer; const t: string): Integer;\n"
         "var i, acc: Integer; s: string;\n"
         "begin\n"
         "  acc := 0;\n"
         "  for i := 1 to x do\n"
         "  begin\n"
         "    case i mod 3 of\n"
         "      0: acc := acc + i * 2;\n"
         "      1: acc := acc - 1;\n"
         "    else\n"
         "      acc := acc xor i;\n"
         "    end;\n"
         "  end;\n"
         "  s := t + IntToStr(acc);\n"
         "  if Length(s) > 3 then Result := acc else Result := -acc;\n"
         "end;\n";
    lines += 16;
  }
  s += "begin\n  total := 0;\n";
  for (int i = 0; i < n; i += 50) s += "  total := total + F" + std::to_string(i) + "(3, 'x');\n";
  s += "end.\n";
  return s;
}

void BM_Compile5000Lines(benchmark::State& state) {
  const std::string text = LongScript();
  qm::script::Engine engine;
  engine.SetText(text);
  state.counters["lines"] = static_cast<double>(engine.Lines().size());
  for (auto _ : state) {
    if (!engine.Compile()) {
      state.SkipWithError(engine.Messages()[0].Formatted().c_str());
      return;
    }
  }
}

}  // namespace

BENCHMARK(BM_IntegerLoop)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_RecursiveFib30)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_BuildString)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_QuickSort200k)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_IntegerLoopHookEveryStatement)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_RecursiveFib30HookEveryStatement)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_BuildStringHookEveryStatement)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_QuickSort200kHookEveryStatement)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_Compile5000Lines)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK_MAIN();
