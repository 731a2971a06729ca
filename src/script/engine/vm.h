#pragma once
// The byte-code machine: runs one compiled program on the calling thread with a
// fixed stack and call depth, so no script can take the program down with it.
#include <cstdlib>
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
  Value* Globals() { return stack_; }
  // The host changed a control (stop, pause, step, breakpoints): the next
  // statement looks at them, whatever the line hook interval.
  void Poke() {
    hook_left_ -= countdown_start_ - line_countdown_;
    countdown_start_ = line_countdown_ = 1;
  }

 private:
  struct Frame {
    const Function* fn;
    const Instr* code;  // fn->code, at hand for returns
    Value* base;
    int pc;
    int release_end;  // fn->release_end
    int link;         // frame of the enclosing routine
    int line;         // the caller's line_, back when the frame goes
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
  // A statement that needs more than the countdown: the line hook, row
  // reports, breakpoints, stepping, pause and stop.
  void Line(int line);
  void SlowLine(int line);
  void RefreshLines();
  // Delivers a gathered row report when the host has not heard of that row.
  void ReportRow(int line);
  void Report(int line);
  void Enter(int func, Value* base, int hops);
  void PopFrame();
  [[noreturn]] void Overflow();
  // Hands the exception to the innermost handler; false when none is left.
  bool Dispatch(ExceptionObj* exc);
  [[noreturn]] void Throw(const std::string& message);
  Value& Outer(int slot, int hops);
  LineEvent EventFor(int line) const;

  Engine& engine_;
  const Program& program_;
  Value* stack_;  // the engine's
  Value* stack_end_;
  // Call frames in a block sized for the deepest allowed call chain: a call
  // pushes without a capacity test (Enter checks the depth first).
  class FrameStack {
   public:
    void reserve(std::size_t n) { f_.reset(new Frame[n]); }
    std::size_t size() const { return n_; }
    bool empty() const { return n_ == 0; }
    Frame& back() { return f_[n_ - 1]; }
    Frame& operator[](std::size_t i) { return f_[i]; }
    void push_back(const Frame& f) { f_[n_++] = f; }
    void pop_back() { --n_; }

   private:
    std::unique_ptr<Frame[]> f_;
    std::size_t n_ = 0;
  };
  FrameStack frames_;
  std::vector<Handler> handlers_;
  BuiltinContext builtin_ctx_;
  RunError error_;
  // Line table index of the statement the innermost frame is executing.
  int line_ = -1;
  int last_row_ = -1, last_file_ = -1;          // row reached last (breakpoints, steps)
  int reported_row_ = -1, reported_file_ = -1;  // row the host heard of last
  // Statements until Line() must run; on the fast path a statement costs this
  // countdown and nothing else.
  int line_countdown_ = 1;
  int countdown_start_ = 1;  // what the countdown was set to
  // Statements until on_line is due, less those the countdown has counted
  // since it was set.
  int hook_left_ = 1;
  int hook_interval_ = 1;
  // Row reports wait for the host to look (line_hook_interval above 1).
  bool gather_rows_ = false;
  // Every statement goes through Line(): row reports go out at once, or there
  // are breakpoints, a step or a control change to look at.
  bool watch_lines_ = true;
  // Whether a new row matters (immediate row reports, breakpoints, stepping).
  bool watch_rows_ = true;
  std::size_t bp_version_ = static_cast<std::size_t>(-1);
  std::vector<char> bp_lines_;
  std::vector<LineEvent> events_;  // per line table entry, rebuilt with bp_lines_
};

}  // namespace qm::script
