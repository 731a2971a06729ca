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

// What the editor's hooks cost: every statement counts, the window's events
// are looked at when a few milliseconds have passed, and each newly reached
// line is remembered for the line colouring.
struct EditorHooks {
  int exec_line = 0;
  unsigned counter = 0;
  std::chrono::steady_clock::time_point next = std::chrono::steady_clock::now();
  long event_checks = 0;

  void Install(qm::script::Engine& engine) {
    engine.on_line = [this] {
      if ((++counter & 1023) == 0) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= next) {
          ++event_checks;  // where the editor processes pending window events
          next = now + std::chrono::milliseconds(10);
        }
      }
    };
    engine.on_line_info = [this](const qm::script::LineEvent& ev) { exec_line = ev.row; };
  }
};

void RunProgram(benchmark::State& state, const char* file, const char* expected) {
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
  hooks.Install(engine);
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
BENCHMARK(BM_Compile5000Lines)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK_MAIN();
