#pragma once
// The script engine as the host sees it: script lines in, compiler messages
// out, runs on the calling thread with line and idle hooks, a debugger, host
// routines registered from their declaration texts and global variables by name
// and type name.
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/engine/classes.h"
#include "script/engine/compiler.h"
#include "script/engine/debugger.h"

namespace qm::script {

struct CompilerMessage {
  enum class Kind { kHint, kWarning, kError } kind = Kind::kError;
  std::string file;
  int row = 0, col = 0;
  std::string text;
  // "[Error] Unnamed(3:5): Unknown identifier 'x'"
  std::string Formatted() const;
};

// The arguments of one call of a host routine, as its declaration says.
class HostCall {
 public:
  HostCall(Value* frame, const HostSignature& sig) : frame_(frame), sig_(sig) {}
  std::size_t Count() const { return sig_.params.size(); }
  std::int64_t Int(std::size_t i) const;
  double Real(std::size_t i) const;
  bool Bool(std::size_t i) const { return Int(i) != 0; }
  std::string Str(std::size_t i) const;
  // Writes a var or out parameter back.
  void SetInt(std::size_t i, std::int64_t v);
  void SetStr(std::size_t i, const std::string& s);
  void ReturnInt(std::int64_t v);
  void ReturnBool(bool v) { ReturnInt(v ? 1 : 0); }
  void ReturnReal(double v);
  void ReturnStr(const std::string& s);

 private:
  Value& Arg(std::size_t i) const;
  Value* frame_;
  const HostSignature& sig_;
};

// Failures of the handler (any std::exception) become script exceptions.
using HostHandler = std::function<void(HostCall&)>;

struct RunError {
  std::string message;
  std::string file;
  int row = 0, col = 0;
  int proc = 0, pos = 0;  // routine number and byte-code position
};

// `file` stays valid for the run; copy it to keep it longer.
struct LineEvent {
  std::string_view file;
  int pos = 0, row = 0, col = 0;
};

class Machine;

class Engine {
 public:
  Engine();
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Registrations. Those made inside on_compile last for that compilation only
  // (on_compile makes them anew each time); others stay until cleared.
  void RegisterRoutine(const std::string& declaration, HostHandler handler);
  void RegisterVariable(const std::string& name, const std::string& type_name);
  void ClearRegistrations();

  void SetLines(std::vector<std::string> lines) { lines_ = std::move(lines); }
  void SetText(const std::string& text);
  const std::vector<std::string>& Lines() const { return lines_; }
  void Define(const std::string& name) { defines_.push_back(name); }

  // The name breakpoints and line reports of the main script are filed under.
  const std::string& MainFileName() const { return main_file_; }
  void SetMainFileName(const std::string& name);

  std::function<void()> on_compile;
  // Text of an included file; false when it cannot be had, which abandons the
  // compilation with an IncludeError.
  std::function<bool(const std::string& name, std::string& text)> on_need_file;

  // Compiles the lines. Throws IncludeError for a missing include file.
  bool Compile();
  bool Compiled() const { return program_ != nullptr; }
  const std::vector<CompilerMessage>& Messages() const { return messages_; }

  std::function<void()> on_execute;
  std::function<void()> on_after_execute;
  // Before every statement, or before every line_hook_interval-th one. Keep it
  // cheap: it runs in loop turns.
  std::function<void()> on_line;
  // A host whose line hook only looks for pending window events now and then
  // says how often here instead of counting calls itself: the run then spares
  // a call per statement. Above 1, line reports are gathered as well: the host
  // hears of the row reached last when it can act on it, that is before on_line,
  // before each call of a host routine or class method, and at every pause;
  // breakpoints and stepping still look at every newly reached row.
  int line_hook_interval = 1;
  std::function<void(const LineEvent&)> on_line_info;
  std::function<void(const LineEvent&)> on_breakpoint;
  // Called over and over while the run is paused.
  std::function<void()> on_idle;

  // Runs the compiled script to its end on this thread; true unless an
  // unhandled error ended it (a stop request ends it without error).
  bool Execute();
  const RunError& LastError() const { return last_error_; }

  // Globals of the loaded script, for on_execute.
  bool SetGlobalInt(const std::string& name, std::int64_t value);
  bool BindForm(const std::string& name, ScriptForm* form);
  bool BindApplication(const std::string& name, ScriptApplication* app);
  std::optional<std::int64_t> GlobalInt(const std::string& name) const;

  RunState State() const { return control_.state; }
  bool Running() const { return control_.state != RunState::kIdle; }
  void Stop();
  void Pause();
  void Resume();
  void StepInto();
  void StepOver();

  bool HasBreakpoint(const std::string& file, int line) const {
    return breakpoints_.Has(file, line);
  }
  void SetBreakpoint(const std::string& file, int line) {
    breakpoints_.Set(file, line);
    control_.attention = true;
    Poke();
  }
  // A run in progress stops looking for a cleared breakpoint at once.
  void ClearBreakpoint(const std::string& file, int line) {
    breakpoints_.Clear(file, line);
    control_.attention = true;
    Poke();
  }
  void ClearBreakpoints() {
    breakpoints_.ClearAll();
    control_.attention = true;
    Poke();
  }

  // Compiles source text that is not a host's script: for tests and tools.
  const Program* CompiledProgram() const { return program_.get(); }

 private:
  friend class Machine;
  // Makes a run in progress look at its controls at the next statement.
  void Poke();
  struct Routine {
    std::string declaration;
    HostHandler handler;
  };
  std::vector<Routine> routines_, compile_routines_;
  std::vector<HostVarDecl> vars_, compile_vars_;
  bool in_compile_ = false;
  std::vector<std::string> lines_;
  std::vector<std::string> defines_;
  std::string main_file_ = "Unnamed";
  std::vector<CompilerMessage> messages_;
  std::unique_ptr<Program> program_;
  std::vector<HostSignature> signatures_;
  std::vector<HostHandler> handlers_;
  RunError last_error_;
  RunControl control_;
  Breakpoints breakpoints_;
  bool start_stepping_ = false;
  Machine* machine_ = nullptr;
  // The machine's stack, kept for the next run.
  struct FreeSlots {
    void operator()(Value* v) const { std::free(v); }
  };
  std::unique_ptr<Value, FreeSlots> stack_;
};

}  // namespace qm::script
