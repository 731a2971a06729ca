#pragma once
// Compiles and runs script text with a Writeln that collects its lines.
#include <stdexcept>
#include <string>

#include "script/engine/engine.h"

namespace qm::script::testing {

struct ScriptRun {
  bool compiled = false;
  bool ok = false;
  std::string out;  // one line per Writeln
  std::string messages;
  RunError error;
};

inline void AddWriteln(Engine& engine, std::string& out) {
  engine.RegisterRoutine("procedure Writeln(s: string)",
                         [&out](HostCall& c) { out += c.Str(0) + "\n"; });
}

inline ScriptRun RunScript(Engine& engine, const std::string& source) {
  ScriptRun run;
  engine.ClearRegistrations();
  AddWriteln(engine, run.out);
  engine.SetText(source);
  run.compiled = engine.Compile();
  for (const auto& m : engine.Messages()) run.messages += m.Formatted() + "\n";
  if (!run.compiled) return run;
  run.ok = engine.Execute();
  run.error = engine.LastError();
  return run;
}

inline ScriptRun RunScript(const std::string& source) {
  Engine engine;
  return RunScript(engine, source);
}

}  // namespace qm::script::testing
