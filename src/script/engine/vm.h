#pragma once
// The byte-code machine: runs one compiled program on the calling thread with a
// fixed stack and call depth, so no script can take the program down with it.
#include <memory>
#include <vector>

#include "script/engine/builtins.h"
#include "script/engine/bytecode.h"
#include "script/engine/engine.h"

namespace qm::script {

inline constexpr std::size_t kStackSlots = 1u << 19;
inline constexpr std::size_t kMaxCallDepth = 10000;

class Machine {
 public:
  explicit Machine(Engine& engine);
  ~Machine();
  // Runs the main block; false after an unhandled error (see Error()).
  bool Run();
  const RunError& Error() const { return error_; }
  Value* Globals() { return stack_.get(); }

 private:
  struct Frame {
    const Function* fn;
    int pc;
    Value* base;
    int link;  // frame of the enclosing routine
    int line;  // line table index of the statement being executed
    int func;
  };
  struct Handler {
    std::size_t frame;
    int pc;
    int aux;
    int state;  // state register + 1 for finally blocks, 0 for except
  };
  struct StopRun {};
  struct Raise {
    ExceptionObj* exc;
  };

  void Loop();
  void SlowLine(int line);
  void Enter(int func, Value* base, int hops);
  void PopFrame();
  // Hands the exception to the innermost handler; false when none is left.
  bool Dispatch(ExceptionObj* exc);
  [[noreturn]] void Throw(const std::string& message);
  Value& Outer(int slot, int hops);
  LineEvent EventFor(int line) const;

  Engine& engine_;
  const Program& program_;
  std::unique_ptr<Value[]> stack_;
  Value* stack_end_;
  std::vector<Frame> frames_;
  std::vector<Handler> handlers_;
  BuiltinContext builtin_ctx_;
  RunError error_;
  int last_row_ = -1, last_file_ = -1;
  // Whether a new row matters (a line-info hook, breakpoints, stepping); when
  // not, a line costs the hook call and a flag test.
  bool watch_rows_ = true;
  std::size_t bp_version_ = static_cast<std::size_t>(-1);
  std::vector<char> bp_lines_;
  std::vector<LineEvent> events_;  // per line table entry, rebuilt with bp_lines_
};

}  // namespace qm::script
