// Any bytes as script text (and as the text of every file it includes): the
// compiler must answer with success or a message, never crash or hang.
#include <cstddef>
#include <cstdint>
#include <string>

#include "script/engine/engine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  qm::script::Engine engine;
  engine.RegisterRoutine("procedure Writeln(s: string)", [](qm::script::HostCall&) {});
  engine.RegisterRoutine("function InputQuery(c,p: String; Var v: String): Boolean",
                         [](qm::script::HostCall&) {});
  engine.RegisterVariable("MapSize", "Integer");
  engine.RegisterVariable("Self", "TForm");
  int includes = 0;
  // Includes deliver the input again, so nesting and recursion get exercised too.
  engine.on_need_file = [&](const std::string& name, std::string& out) {
    if (name == "missing.inc" || ++includes > 4) return false;
    out = text;
    return true;
  };
  engine.SetText(text);
  try {
    engine.Compile();
  } catch (const qm::script::IncludeError&) {
  }
  return 0;
}
