#include "script/engine/vm.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "script/engine/classes.h"

namespace qm::script {

namespace {

inline std::int64_t Wrap32(std::int64_t v) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
}

inline std::int64_t TruncTo(std::int64_t v, int code) {
  switch (code) {
    case 8:
      return static_cast<std::int8_t>(v);
    case 16:
      return static_cast<std::int16_t>(v);
    case 32:
      return static_cast<std::int32_t>(v);
    case -8:
      return static_cast<std::uint8_t>(v);
    case -16:
      return static_cast<std::uint16_t>(v);
    case -32:
      return static_cast<std::uint32_t>(v);
    default:
      return v;
  }
}

inline int CompareStr(const Value& a, const Value& b) {
  return StrOf(a).compare(StrOf(b));
}

SetValueObj* NewSet() {
  return new SetValueObj();
}
const std::bitset<256>& Bits(const Value& v) {
  static const std::bitset<256> empty;
  return v.o ? static_cast<SetValueObj*>(v.o)->bits : empty;
}
void SetBits(Value& dst, const std::bitset<256>& bits) {
  if (bits.none()) {
    SetObj(dst, nullptr);
    return;
  }
  SetValueObj* s = NewSet();
  s->bits = bits;
  SetObj(dst, s);
}

}  // namespace

Machine::Machine(Engine& engine) : engine_(engine), program_(*engine.program_) {
  // The engine keeps the stack from run to run. The first run gets it from
  // calloc, whose fresh mapping comes zeroed from the system; a finished run
  // leaves every slot without an object, so later runs only clear the main
  // block's slots (every routine clears its own locals when it is entered).
  const auto main_slots = static_cast<std::size_t>(program_.functions[0].nslots);
  if (main_slots > kStackSlots) Throw("Stack overflow: too many global variables");
  if (!engine_.stack_) {
    auto* slots = static_cast<Value*>(std::calloc(kStackSlots, sizeof(Value)));
    if (!slots) throw std::bad_alloc();
    engine_.stack_.reset(slots);
  } else {
    std::memset(static_cast<void*>(engine_.stack_.get()), 0, main_slots * sizeof(Value));
  }
  stack_ = engine_.stack_.get();
  stack_end_ = stack_ + kStackSlots;
  gather_rows_ = engine_.line_hook_interval > 1;
  // Without a line hook the countdown still comes round now and then for a
  // stop request from elsewhere.
  hook_interval_ = engine_.on_line ? std::max(1, engine_.line_hook_interval) : 4096;
  frames_.reserve(kMaxCallDepth + 2);
  builtin_ctx_.stop = &engine_.control_.stop;
  builtin_ctx_.program = &program_;
}

Machine::~Machine() {
  while (!frames_.empty()) PopFrame();
  for (int i = 0; i < program_.nglobals; ++i) Release(stack_[i]);
}

void Machine::Throw(const std::string& message) {
  throw ScriptError(message);
}

LineEvent Machine::EventFor(int line) const {
  LineEvent ev;
  if (line < 0) return ev;
  const LineInfo& li = program_.lines[static_cast<std::size_t>(line)];
  ev.file = li.file == 0 ? engine_.main_file_ : program_.files[static_cast<std::size_t>(li.file)];
  ev.pos = li.pos;
  ev.row = li.row;
  ev.col = li.col;
  return ev;
}

Value& Machine::Outer(int slot, int hops) {
  std::size_t f = frames_.size() - 1;
  for (int i = 0; i < hops; ++i) f = static_cast<std::size_t>(frames_[f].link);
  return frames_[f].base[slot];
}

void Machine::Overflow() {
  Throw("Stack overflow: too many nested calls (more than " + std::to_string(kMaxCallDepth) + ")");
}

// Inlined into the call and return instructions: a call is most of what a
// small recursive routine costs.
[[gnu::always_inline]] inline void Machine::Enter(int func, Value* base, int hops) {
  const Function* fn = &program_.functions[static_cast<std::size_t>(func)];
  if (frames_.size() >= kMaxCallDepth || base + fn->nslots > stack_end_) [[unlikely]]
    Overflow();
  // The enclosing routine's frame: the main block's for a top-level routine,
  // else the caller's when hops is 0, or up the chain from there.
  int link = 0;
  if (fn->level != 1) {
    link = static_cast<int>(frames_.size()) - 1;
    for (int i = 0; i < hops && link >= 0; ++i) link = frames_[static_cast<std::size_t>(link)].link;
  }
  // The main block starts on a fresh stack whose globals the host may already
  // have set; every other routine clears its result and locals of what earlier
  // frames left behind (temporaries are written before they are read).
  if (func != 0) {
    Release(base[0]);
    for (Value *v = base + 1 + fn->nparams, *end = base + fn->locals_end; v < end; ++v) {
      if (v->meta) Release(*v);
      v->i = 0;
    }
  }
  if (!fn->agg_init.empty()) [[unlikely]] {
    for (const auto& [slot, layout] : fn->agg_init)
      SetObj(base[slot], NewAggregate(program_, layout));
  }
  frames_.push_back(Frame{fn, fn->code.data(), base, 0, fn->release_end, link, line_, func});
  line_ = -1;
}

[[gnu::always_inline]] inline void Machine::PopFrame() {
  Frame& f = frames_.back();
  if (frames_.size() == 1) [[unlikely]] {
    // The main frame keeps the globals until the machine goes.
    for (int i = program_.nglobals; i < f.fn->nslots; ++i) Release(f.base[i]);
  } else {
    Value* v = f.base + 1;
    Value* const end = f.base + f.release_end;
    for (; v < end; ++v) {
      if (v->meta) [[unlikely]]
        Release(*v);
    }
  }
  line_ = f.line;
  frames_.pop_back();
}

bool Machine::Dispatch(ExceptionObj* exc) {
  if (handlers_.empty()) {
    error_.message = exc->message;
    const LineEvent ev = EventFor(exc->line);
    error_.file = ev.file;
    error_.row = ev.row;
    error_.col = ev.col;
    error_.proc = exc->func;
    error_.pos = exc->pc;
    DecRef(exc);
    return false;
  }
  const Handler h = handlers_.back();
  handlers_.pop_back();
  while (frames_.size() > h.frame + 1) PopFrame();
  Frame& f = frames_.back();
  f.pc = h.pc;
  if (h.state) {
    SetScalar(f.base[h.state - 1], 1);
  }
  SetObj(f.base[h.aux], exc);
  return true;
}

void Machine::SlowLine(int line) {
  RunControl& rc = engine_.control_;
  const LineInfo& li = program_.lines[static_cast<std::size_t>(line)];
  const bool new_row = li.row != last_row_ || li.file != last_file_;
  last_row_ = li.row;
  last_file_ = li.file;
  if (rc.stop.load(std::memory_order_relaxed)) throw StopRun{};
  RefreshLines();
  bool pause = false, hit = false;
  if (rc.pause_requested) {
    pause = true;
  } else if (new_row && rc.step == RunControl::Step::kInto) {
    pause = true;
  } else if (new_row && rc.step == RunControl::Step::kOver && frames_.size() <= rc.step_depth) {
    pause = true;
  }
  if (new_row && bp_lines_[static_cast<std::size_t>(line)]) {
    pause = true;
    hit = true;
  }
  if (pause) {
    rc.pause_requested = false;
    rc.step = RunControl::Step::kNone;
    rc.state = RunState::kPaused;
  }
  rc.attention = rc.stop.load(std::memory_order_relaxed) || rc.pause_requested;
  watch_rows_ = (engine_.on_line_info && !gather_rows_) || !engine_.breakpoints_.Empty() ||
                rc.step != RunControl::Step::kNone;
  if ((new_row || pause) && engine_.on_line_info) Report(line);
  if (hit && engine_.on_breakpoint) engine_.on_breakpoint(events_[static_cast<std::size_t>(line)]);
  while (rc.state == RunState::kPaused) {
    if (rc.stop.load(std::memory_order_relaxed)) throw StopRun{};
    if (!engine_.on_idle) {
      rc.state = RunState::kRunning;
      break;
    }
    engine_.on_idle();
  }
  if (rc.stop.load(std::memory_order_relaxed)) throw StopRun{};
  if (rc.step == RunControl::Step::kOver && rc.step_depth == 0) rc.step_depth = frames_.size();
}

void Machine::RefreshLines() {
  if (bp_version_ == engine_.breakpoints_.Version()) return;
  bp_version_ = engine_.breakpoints_.Version();
  events_.clear();
  for (std::size_t i = 0; i < program_.lines.size(); ++i)
    events_.push_back(EventFor(static_cast<int>(i)));
  bp_lines_.assign(program_.lines.size(), 0);
  if (!engine_.breakpoints_.Empty()) {
    for (std::size_t i = 0; i < program_.lines.size(); ++i) {
      const LineEvent& ev = events_[i];
      bp_lines_[i] = engine_.breakpoints_.Has(std::string(ev.file), ev.row) ? 1 : 0;
    }
  }
}

void Machine::Report(int line) {
  const LineInfo& li = program_.lines[static_cast<std::size_t>(line)];
  reported_row_ = li.row;
  reported_file_ = li.file;
  engine_.on_line_info(events_[static_cast<std::size_t>(line)]);
}

void Machine::ReportRow(int line) {
  if (line < 0 || !engine_.on_line_info) return;
  const LineInfo& li = program_.lines[static_cast<std::size_t>(line)];
  if (li.row != reported_row_ || li.file != reported_file_) Report(line);
}

void Machine::Line(int line) {
  RunControl& rc = engine_.control_;
  hook_left_ -= countdown_start_ - line_countdown_;
  countdown_start_ = line_countdown_;
  if (hook_left_ <= 0) {
    hook_left_ = hook_interval_;
    // The hook may let the window look at the current row: tell it first.
    if (gather_rows_) ReportRow(line);
    if (engine_.on_line) engine_.on_line();
  }
  if (rc.attention || rc.stop.load(std::memory_order_relaxed)) {
    SlowLine(line);
  } else if (watch_rows_) {
    const LineInfo& li = program_.lines[static_cast<std::size_t>(line)];
    if (li.row != last_row_ || li.file != last_file_) {
      if (bp_lines_[static_cast<std::size_t>(line)] || rc.step != RunControl::Step::kNone) {
        SlowLine(line);
      } else {
        // A new row with nothing to stop for: only the line report.
        last_row_ = li.row;
        last_file_ = li.file;
        if (engine_.on_line_info && !gather_rows_) Report(line);
      }
    }
  }
  watch_lines_ = watch_rows_ || rc.attention;
  line_countdown_ = countdown_start_ = watch_lines_ ? 1 : std::max(1, hook_left_);
}

bool Machine::Run() {
  RefreshLines();
  Enter(0, stack_, 0);
  for (;;) {
    ExceptionObj* exc = nullptr;
    try {
      Loop();
      return true;
    } catch (const StopRun&) {
      while (!frames_.empty()) PopFrame();
      handlers_.clear();
      return true;
    } catch (const Raise& r) {
      exc = r.exc;
    } catch (const ScriptError& e) {
      exc = new ExceptionObj(e.what());
    } catch (const std::bad_alloc&) {
      exc = new ExceptionObj("Out of memory");
    } catch (const std::length_error&) {
      exc = new ExceptionObj("Out of memory");
    }
    if (exc->func < 0 && !frames_.empty()) {
      const Frame& f = frames_.back();
      exc->func = f.func;
      exc->pc = f.pc > 0 ? f.pc - 1 : 0;
      exc->line = line_;
    }
    if (!Dispatch(exc)) {
      while (!frames_.empty()) PopFrame();
      return false;
    }
  }
}

void Machine::Loop() {
  Frame* F = &frames_.back();
  const Instr* code = F->code;
  Value* R = F->base;
  Value* G = stack_;
  // The next instruction; frames keep positions (F->pc) only across calls.
  const Instr* ip = code + F->pc;
  const auto& strings = program_.strings;
  const auto* const divisors = program_.divisors.data();
  const auto& lines = program_.lines;
  RunControl& rc = engine_.control_;
#define QM_SYNC() (F->pc = static_cast<int>(ip - code))
#define QM_RELOAD()      \
  do {                   \
    F = &frames_.back(); \
    code = F->code;      \
    R = F->base;         \
    ip = code + F->pc;   \
  } while (0)
  // Threaded dispatch: each instruction jumps straight to the next one's
  // handler, which the branch predictor follows far better than one switch.
  static void* const kDispatch[] = {
      &&op_kNop,      &&op_kLine,    &&op_kLoadK,   &&op_kLoadF,    &&op_kLoadS,    &&op_kLoadNil,
      &&op_kMov,      &&op_kMovO,    &&op_kClone,   &&op_kGetG,     &&op_kGetGO,    &&op_kSetG,
      &&op_kSetGO,    &&op_kGetU,    &&op_kGetUO,   &&op_kSetU,     &&op_kSetUO,    &&op_kMkRef,
      &&op_kMkRefG,   &&op_kMkRefU,  &&op_kMkRefE,  &&op_kMkRefF,   &&op_kDeref,    &&op_kDerefO,
      &&op_kStRef,    &&op_kStRefO,  &&op_kGetE,    &&op_kGetEO,    &&op_kSetE,     &&op_kSetEO,
      &&op_kGetF,     &&op_kGetFO,   &&op_kSetF,    &&op_kSetFO,    &&op_kNewAgg,   &&op_kTrunc,
      &&op_kSingle,   &&op_kAddI,    &&op_kSubI,    &&op_kMulI,     &&op_kAddL,     &&op_kSubL,
      &&op_kMulL,     &&op_kDivL,    &&op_kModL,    &&op_kAddKI,    &&op_kSubKI,    &&op_kModKL,
      &&op_kNegI,     &&op_kNegL,    &&op_kNotI,    &&op_kNotL,     &&op_kNotB,     &&op_kAnd,
      &&op_kOr,       &&op_kXor,     &&op_kShl,     &&op_kShr,      &&op_kEq,       &&op_kNe,
      &&op_kLt,       &&op_kLe,      &&op_kGt,      &&op_kGe,       &&op_kLtU,      &&op_kLeU,
      &&op_kGtU,      &&op_kGeU,     &&op_kEqKI,    &&op_kNeKI,     &&op_kLtKI,     &&op_kLeKI,
      &&op_kGtKI,     &&op_kGeKI,    &&op_kI2F,     &&op_kAddF,     &&op_kSubF,     &&op_kMulF,
      &&op_kDivF,     &&op_kNegF,    &&op_kEqF,     &&op_kNeF,      &&op_kLtF,      &&op_kLeF,
      &&op_kGtF,      &&op_kGeF,     &&op_kCat,     &&op_kAppend,   &&op_kChr2S,    &&op_kEqS,
      &&op_kNeS,      &&op_kLtS,     &&op_kLeS,     &&op_kGtS,      &&op_kGeS,      &&op_kGetChar,
      &&op_kSetChar,  &&op_kSetMake, &&op_kSetAdd,  &&op_kSetRange, &&op_kSetUnion, &&op_kSetDiff,
      &&op_kSetInter, &&op_kSetEq,   &&op_kSetNe,   &&op_kSetLe,    &&op_kSetGe,    &&op_kIn,
      &&op_kJmp,      &&op_kJt,      &&op_kJf,      &&op_kForLoop,  &&op_kForLoopD, &&op_kCall,
      &&op_kCallB,    &&op_kCallH,   &&op_kCallM,   &&op_kRet,      &&op_kTry,      &&op_kPopTry,
      &&op_kEndFin,   &&op_kRaise,   &&op_kReraise, &&op_kRtError,  &&op_kChkNil,   &&op_kChkIdx,
      &&op_kNewArr,   &&op_kLen,     &&op_kLoadSet, &&op_kGetER,    &&op_kGetERO,   &&op_kSetER,
      &&op_kSetERO,   &&op_kMkRefER, &&op_kGetEG,   &&op_kGetEGO,   &&op_kSetEG,    &&op_kSetEGO,
      &&op_kMkRefEG,  &&op_kDivI,    &&op_kModI,    &&op_kModKI,    &&op_kJEq,      &&op_kJNe,
      &&op_kJLt,      &&op_kJLe,     &&op_kJGt,     &&op_kJGe,      &&op_kJEqK,     &&op_kJNeK,
      &&op_kJLtK,     &&op_kJLeK,    &&op_kJGtK,    &&op_kJGeK,     &&op_kForLoopL, &&op_kForLoopDL,
      &&op_kModP2L};
  static_assert(sizeof(kDispatch) / sizeof(kDispatch[0]) ==
                static_cast<std::size_t>(Op::kModP2L) + 1);
  const Instr* in_;
#define QM_NEXT()                                       \
  do {                                                  \
    in_ = ip++;                                         \
    goto* kDispatch[static_cast<std::size_t>(in_->op)]; \
  } while (0)
  QM_NEXT();
op_kNop:
  QM_NEXT();
op_kLine:
  line_ = in_->a;
  if (--line_countdown_ <= 0) [[unlikely]] {
    QM_SYNC();
    if (hook_interval_ == 1) {
      // A hook before every statement: its call and the row check stay here,
      // as Line() would do them (the countdown stays at 1).
      line_countdown_ = 1;
      if (engine_.on_line) engine_.on_line();
      if (rc.attention || rc.stop.load(std::memory_order_relaxed)) [[unlikely]] {
        SlowLine(in_->a);
      } else if (watch_rows_) {
        const LineInfo& li = lines[static_cast<std::size_t>(in_->a)];
        if (li.row != last_row_ || li.file != last_file_) {
          if (bp_lines_[static_cast<std::size_t>(in_->a)] || rc.step != RunControl::Step::kNone) {
            SlowLine(in_->a);
          } else {
            last_row_ = li.row;
            last_file_ = li.file;
            if (engine_.on_line_info)
              engine_.on_line_info(events_[static_cast<std::size_t>(in_->a)]);
          }
        }
      }
    } else {
      Line(in_->a);
    }
  }
  QM_NEXT();
op_kLoadK:
  SetScalar(R[in_->a], static_cast<std::int64_t>(
                           (static_cast<std::uint64_t>(static_cast<std::uint32_t>(in_->c)) << 32) |
                           static_cast<std::uint32_t>(in_->b)));
  QM_NEXT();
op_kLoadF:
  SetReal(R[in_->a], program_.reals[static_cast<std::size_t>(in_->b)]);
  QM_NEXT();
op_kLoadS:
  SetObj(R[in_->a], new StrObj(strings[static_cast<std::size_t>(in_->b)]));
  QM_NEXT();
op_kLoadSet:
  SetBits(R[in_->a], program_.sets[static_cast<std::size_t>(in_->b)]);
  QM_NEXT();
op_kLoadNil:
  Release(R[in_->a]);
  QM_NEXT();
op_kMov:
  SetScalar(R[in_->a], R[in_->b].i);
  QM_NEXT();
op_kMovO:
  CopyValue(R[in_->a], R[in_->b]);
  QM_NEXT();
op_kClone : {
  Obj* c = CloneAggregate(R[in_->b].o);
  SetObj(R[in_->a], c);
  QM_NEXT();
}
op_kGetG:
  SetScalar(R[in_->a], G[in_->b].i);
  QM_NEXT();
op_kGetGO:
  CopyValue(R[in_->a], G[in_->b]);
  QM_NEXT();
op_kSetG:
  SetScalar(G[in_->b], R[in_->a].i);
  QM_NEXT();
op_kSetGO:
  CopyValue(G[in_->b], R[in_->a]);
  QM_NEXT();
op_kGetU:
  SetScalar(R[in_->a], Outer(in_->b, in_->c).i);
  QM_NEXT();
op_kGetUO:
  CopyValue(R[in_->a], Outer(in_->b, in_->c));
  QM_NEXT();
op_kSetU:
  SetScalar(Outer(in_->b, in_->c), R[in_->a].i);
  QM_NEXT();
op_kSetUO:
  CopyValue(Outer(in_->b, in_->c), R[in_->a]);
  QM_NEXT();
op_kMkRef:
  MakeRef(R[in_->a], &Target(R[in_->b]), nullptr);
  QM_NEXT();
op_kMkRefG:
  MakeRef(R[in_->a], &G[in_->b], nullptr);
  QM_NEXT();
op_kMkRefU:
  MakeRef(R[in_->a], &Outer(in_->b, in_->c), nullptr);
  QM_NEXT();
op_kMkRefE : {
  auto* arr = static_cast<ArrObj*>(R[in_->b].o);
  const auto idx = static_cast<std::uint64_t>(R[in_->c].i);
  if (!arr || idx >= arr->v.size()) {
    QM_SYNC();
    Throw("Index out of range (" + std::to_string(R[in_->c].i) + ")");
  }
  MakeRef(R[in_->a], &arr->v[idx], arr);
  QM_NEXT();
}
op_kMkRefF : {
  auto* rec = static_cast<ArrObj*>(R[in_->b].o);
  MakeRef(R[in_->a], &rec->v[static_cast<std::size_t>(in_->c)], rec);
  QM_NEXT();
}
op_kDeref:
  SetScalar(R[in_->a], R[in_->b].ref->i);
  QM_NEXT();
op_kDerefO : {
  Value tmp{{0}, 0};
  CopyValue(tmp, *R[in_->b].ref);
  Release(R[in_->a]);
  R[in_->a] = tmp;
  QM_NEXT();
}
op_kStRef:
  SetScalar(*R[in_->a].ref, R[in_->b].i);
  QM_NEXT();
op_kStRefO:
  CopyValue(*R[in_->a].ref, R[in_->b]);
  QM_NEXT();
  // Element access, one handler per array source (a register, behind a
  // reference, a global) and kind of element (plain bits or counted).
#define QM_ARRAY(holder, index_reg)                                       \
  auto* arr = static_cast<ArrObj*>(holder);                               \
  const auto idx = static_cast<std::uint64_t>(R[index_reg].i);            \
  if (!arr || idx >= arr->v.size()) [[unlikely]] {                        \
    QM_SYNC();                                                            \
    Throw("Index out of range (" + std::to_string(R[index_reg].i) + ")"); \
  }
#define QM_GET_ELEM(name, holder)        \
  name : {                               \
    QM_ARRAY(holder, in_->c)             \
    SetScalar(R[in_->a], arr->v[idx].i); \
    QM_NEXT();                           \
  }
#define QM_GET_ELEM_O(name, holder) \
  name : {                          \
    QM_ARRAY(holder, in_->c)        \
    Value tmp{{0}, 0};              \
    CopyValue(tmp, arr->v[idx]);    \
    Release(R[in_->a]);             \
    R[in_->a] = tmp;                \
    QM_NEXT();                      \
  }
#define QM_SET_ELEM(name, holder)        \
  name : {                               \
    QM_ARRAY(holder, in_->b)             \
    SetScalar(arr->v[idx], R[in_->c].i); \
    QM_NEXT();                           \
  }
#define QM_SET_ELEM_O(name, holder)    \
  name : {                             \
    QM_ARRAY(holder, in_->b)           \
    CopyValue(arr->v[idx], R[in_->c]); \
    QM_NEXT();                         \
  }
  QM_GET_ELEM(op_kGetE, R[in_->b].o)
  QM_GET_ELEM_O(op_kGetEO, R[in_->b].o)
  QM_GET_ELEM(op_kGetER, R[in_->b].ref->o)
  QM_GET_ELEM_O(op_kGetERO, R[in_->b].ref->o)
  QM_GET_ELEM(op_kGetEG, G[in_->b].o)
  QM_GET_ELEM_O(op_kGetEGO, G[in_->b].o)
  QM_SET_ELEM(op_kSetE, R[in_->a].o)
  QM_SET_ELEM_O(op_kSetEO, R[in_->a].o)
  QM_SET_ELEM(op_kSetER, R[in_->a].ref->o)
  QM_SET_ELEM_O(op_kSetERO, R[in_->a].ref->o)
  QM_SET_ELEM(op_kSetEG, G[in_->a].o)
  QM_SET_ELEM_O(op_kSetEGO, G[in_->a].o)
#undef QM_GET_ELEM
#undef QM_GET_ELEM_O
#undef QM_SET_ELEM
#undef QM_SET_ELEM_O
#undef QM_ARRAY
op_kMkRefER:
op_kMkRefEG : {
  auto* arr = static_cast<ArrObj*>(in_->op == Op::kMkRefER ? R[in_->b].ref->o : G[in_->b].o);
  const auto idx = static_cast<std::uint64_t>(R[in_->c].i);
  if (!arr || idx >= arr->v.size()) {
    QM_SYNC();
    Throw("Index out of range (" + std::to_string(R[in_->c].i) + ")");
  }
  MakeRef(R[in_->a], &arr->v[idx], arr);
  QM_NEXT();
}
op_kGetF:
  SetScalar(R[in_->a], static_cast<ArrObj*>(R[in_->b].o)->v[static_cast<std::size_t>(in_->c)].i);
  QM_NEXT();
op_kGetFO : {
  Value tmp{{0}, 0};
  CopyValue(tmp, static_cast<ArrObj*>(R[in_->b].o)->v[static_cast<std::size_t>(in_->c)]);
  Release(R[in_->a]);
  R[in_->a] = tmp;
  QM_NEXT();
}
op_kSetF:
  SetScalar(static_cast<ArrObj*>(R[in_->a].o)->v[static_cast<std::size_t>(in_->b)], R[in_->c].i);
  QM_NEXT();
op_kSetFO:
  CopyValue(static_cast<ArrObj*>(R[in_->a].o)->v[static_cast<std::size_t>(in_->b)], R[in_->c]);
  QM_NEXT();
op_kNewAgg:
  SetObj(R[in_->a], NewAggregate(program_, in_->b));
  QM_NEXT();
op_kNewArr : {
  auto* a = new ArrObj();
  a->v.assign(static_cast<std::size_t>(in_->b), Value{{0}, 0});
  SetObj(R[in_->a], a);
  QM_NEXT();
}
op_kLen:
  SetScalar(R[in_->a], R[in_->b].o
                           ? static_cast<std::int64_t>(static_cast<ArrObj*>(R[in_->b].o)->v.size())
                           : 0);
  QM_NEXT();
op_kTrunc : {
  const std::int64_t v = R[in_->b].i;
  std::int64_t r;
  r = TruncTo(v, in_->c);
  SetScalar(R[in_->a], r);
  QM_NEXT();
}
op_kSingle:
  SetReal(R[in_->a], static_cast<double>(static_cast<float>(R[in_->b].d)));
  QM_NEXT();
op_kAddI:
  SetScalar(R[in_->a], Wrap32(R[in_->b].i + R[in_->c].i));
  QM_NEXT();
op_kSubI:
  SetScalar(R[in_->a], Wrap32(R[in_->b].i - R[in_->c].i));
  QM_NEXT();
op_kMulI:
  SetScalar(R[in_->a], Wrap32(static_cast<std::int64_t>(static_cast<std::uint64_t>(R[in_->b].i) *
                                                        static_cast<std::uint64_t>(R[in_->c].i))));
  QM_NEXT();
op_kAddL:
  SetScalar(R[in_->a], static_cast<std::int64_t>(static_cast<std::uint64_t>(R[in_->b].i) +
                                                 static_cast<std::uint64_t>(R[in_->c].i)));
  QM_NEXT();
op_kSubL:
  SetScalar(R[in_->a], static_cast<std::int64_t>(static_cast<std::uint64_t>(R[in_->b].i) -
                                                 static_cast<std::uint64_t>(R[in_->c].i)));
  QM_NEXT();
op_kMulL:
  SetScalar(R[in_->a], static_cast<std::int64_t>(static_cast<std::uint64_t>(R[in_->b].i) *
                                                 static_cast<std::uint64_t>(R[in_->c].i)));
  QM_NEXT();
op_kDivL:
op_kModL : {
  const std::int64_t a = R[in_->b].i, b = R[in_->c].i;
  if (b == 0) [[unlikely]] {
    QM_SYNC();
    Throw("Division by zero");
  }
  std::int64_t r;
  if (a == INT64_MIN && b == -1)
    r = in_->op == Op::kDivL ? a : 0;
  else
    r = in_->op == Op::kDivL ? a / b : a % b;
  SetScalar(R[in_->a], r);
  QM_NEXT();
}
op_kDivI:
op_kModI : {
  const auto a = static_cast<std::int32_t>(R[in_->b].i), b = static_cast<std::int32_t>(R[in_->c].i);
  if (b == 0) [[unlikely]] {
    QM_SYNC();
    Throw("Division by zero");
  }
  std::int32_t r;
  if (b == -1)
    r = in_->op == Op::kDivI ? static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(a)) : 0;
  else
    r = in_->op == Op::kDivI ? a / b : a % b;
  SetScalar(R[in_->a], r);
  QM_NEXT();
}
op_kModKI : {
  // Lemire's remainder by multiplication: exact for every 32-bit dividend.
  const auto& [m, d] = divisors[in_->c];
  const auto a = static_cast<std::int32_t>(R[in_->b].i);
  const std::uint32_t n =
      a < 0 ? 0u - static_cast<std::uint32_t>(a) : static_cast<std::uint32_t>(a);
  const std::uint64_t low = m * n;
  const auto rem = static_cast<std::uint32_t>((static_cast<unsigned __int128>(low) * d) >> 64);
  SetScalar(R[in_->a], a < 0 ? -static_cast<std::int64_t>(rem) : static_cast<std::int64_t>(rem));
  QM_NEXT();
}
op_kModP2L : {
  const std::int64_t x = R[in_->b].i;
  const std::int64_t d = std::int64_t{1} << in_->c;
  std::int64_t r = x & (d - 1);
  if (x < 0 && r != 0) r -= d;  // the remainder takes the dividend's sign
  SetScalar(R[in_->a], r);
  QM_NEXT();
}
op_kAddKI:
  SetScalar(R[in_->a], Wrap32(R[in_->b].i + in_->c));
  QM_NEXT();
op_kSubKI:
  SetScalar(R[in_->a], Wrap32(R[in_->b].i - in_->c));
  QM_NEXT();
op_kModKL:
  SetScalar(R[in_->a], R[in_->b].i % in_->c);
  QM_NEXT();
op_kNegI:
  SetScalar(R[in_->a], Wrap32(-R[in_->b].i));
  QM_NEXT();
op_kNegL:
  SetScalar(R[in_->a], static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(R[in_->b].i)));
  QM_NEXT();
op_kNotI:
  SetScalar(R[in_->a], Wrap32(~R[in_->b].i));
  QM_NEXT();
op_kNotL:
  SetScalar(R[in_->a], ~R[in_->b].i);
  QM_NEXT();
op_kNotB:
  SetScalar(R[in_->a], R[in_->b].i ? 0 : 1);
  QM_NEXT();
op_kAnd:
  SetScalar(R[in_->a], R[in_->b].i & R[in_->c].i);
  QM_NEXT();
op_kOr:
  SetScalar(R[in_->a], R[in_->b].i | R[in_->c].i);
  QM_NEXT();
op_kXor:
  SetScalar(R[in_->a], R[in_->b].i ^ R[in_->c].i);
  QM_NEXT();
op_kShl:
  SetScalar(R[in_->a], static_cast<std::int64_t>(static_cast<std::uint64_t>(R[in_->b].i)
                                                 << (R[in_->c].i & 63)));
  QM_NEXT();
op_kShr:
  SetScalar(R[in_->a], static_cast<std::int64_t>(static_cast<std::uint64_t>(R[in_->b].i) >>
                                                 (R[in_->c].i & 63)));
  QM_NEXT();
op_kEq:
  SetScalar(R[in_->a], R[in_->b].i == R[in_->c].i);
  QM_NEXT();
op_kNe:
  SetScalar(R[in_->a], R[in_->b].i != R[in_->c].i);
  QM_NEXT();
op_kLt:
  SetScalar(R[in_->a], R[in_->b].i < R[in_->c].i);
  QM_NEXT();
op_kLe:
  SetScalar(R[in_->a], R[in_->b].i <= R[in_->c].i);
  QM_NEXT();
op_kGt:
  SetScalar(R[in_->a], R[in_->b].i > R[in_->c].i);
  QM_NEXT();
op_kGe:
  SetScalar(R[in_->a], R[in_->b].i >= R[in_->c].i);
  QM_NEXT();
op_kLtU:
  SetScalar(R[in_->a],
            static_cast<std::uint64_t>(R[in_->b].i) < static_cast<std::uint64_t>(R[in_->c].i));
  QM_NEXT();
op_kLeU:
  SetScalar(R[in_->a],
            static_cast<std::uint64_t>(R[in_->b].i) <= static_cast<std::uint64_t>(R[in_->c].i));
  QM_NEXT();
op_kGtU:
  SetScalar(R[in_->a],
            static_cast<std::uint64_t>(R[in_->b].i) > static_cast<std::uint64_t>(R[in_->c].i));
  QM_NEXT();
op_kGeU:
  SetScalar(R[in_->a],
            static_cast<std::uint64_t>(R[in_->b].i) >= static_cast<std::uint64_t>(R[in_->c].i));
  QM_NEXT();
op_kEqKI:
  SetScalar(R[in_->a], R[in_->b].i == in_->c);
  QM_NEXT();
op_kNeKI:
  SetScalar(R[in_->a], R[in_->b].i != in_->c);
  QM_NEXT();
op_kLtKI:
  SetScalar(R[in_->a], R[in_->b].i < in_->c);
  QM_NEXT();
op_kLeKI:
  SetScalar(R[in_->a], R[in_->b].i <= in_->c);
  QM_NEXT();
op_kGtKI:
  SetScalar(R[in_->a], R[in_->b].i > in_->c);
  QM_NEXT();
op_kGeKI:
  SetScalar(R[in_->a], R[in_->b].i >= in_->c);
  QM_NEXT();
op_kI2F:
  SetReal(R[in_->a], static_cast<double>(R[in_->b].i));
  QM_NEXT();
op_kAddF:
  SetReal(R[in_->a], R[in_->b].d + R[in_->c].d);
  QM_NEXT();
op_kSubF:
  SetReal(R[in_->a], R[in_->b].d - R[in_->c].d);
  QM_NEXT();
op_kMulF:
  SetReal(R[in_->a], R[in_->b].d * R[in_->c].d);
  QM_NEXT();
op_kDivF:
  if (R[in_->c].d == 0) [[unlikely]] {
    QM_SYNC();
    Throw("Division by zero");
  }
  SetReal(R[in_->a], R[in_->b].d / R[in_->c].d);
  QM_NEXT();
op_kNegF:
  SetReal(R[in_->a], -R[in_->b].d);
  QM_NEXT();
op_kEqF:
  SetScalar(R[in_->a], R[in_->b].d == R[in_->c].d);
  QM_NEXT();
op_kNeF:
  SetScalar(R[in_->a], R[in_->b].d != R[in_->c].d);
  QM_NEXT();
op_kLtF:
  SetScalar(R[in_->a], R[in_->b].d < R[in_->c].d);
  QM_NEXT();
op_kLeF:
  SetScalar(R[in_->a], R[in_->b].d <= R[in_->c].d);
  QM_NEXT();
op_kGtF:
  SetScalar(R[in_->a], R[in_->b].d > R[in_->c].d);
  QM_NEXT();
op_kGeF:
  SetScalar(R[in_->a], R[in_->b].d >= R[in_->c].d);
  QM_NEXT();
op_kCat : {
  std::string_view a = StrOf(R[in_->b]), b = StrOf(R[in_->c]);
  if (a.size() + b.size() > kMaxStringSize) {
    QM_SYNC();
    Throw("Out of memory: string too long");
  }
  {
    // Its own scope: the string is gone before the jump to the next handler.
    std::string s;
    s.reserve(a.size() + b.size());
    s.append(a);
    s.append(b);
    SetStr(R[in_->a], std::move(s));
  }
  QM_NEXT();
}
op_kAppend : {
  Value& d = R[in_->a];
  std::string_view b = StrOf(R[in_->b]);
  if (b.empty()) QM_NEXT();
  if (StrOf(d).size() + b.size() > kMaxStringSize) {
    QM_SYNC();
    Throw("Out of memory: string too long");
  }
  if (d.o && d.o->rc == 1) {
    static_cast<StrObj*>(d.o)->s.append(b);
  } else {
    std::string s(StrOf(d));
    s.append(b);
    SetStr(d, std::move(s));
  }
  QM_NEXT();
}
op_kChr2S:
  SetObj(R[in_->a], new StrObj(std::string(1, static_cast<char>(R[in_->b].i))));
  QM_NEXT();
op_kEqS:
  SetScalar(R[in_->a], CompareStr(R[in_->b], R[in_->c]) == 0);
  QM_NEXT();
op_kNeS:
  SetScalar(R[in_->a], CompareStr(R[in_->b], R[in_->c]) != 0);
  QM_NEXT();
op_kLtS:
  SetScalar(R[in_->a], CompareStr(R[in_->b], R[in_->c]) < 0);
  QM_NEXT();
op_kLeS:
  SetScalar(R[in_->a], CompareStr(R[in_->b], R[in_->c]) <= 0);
  QM_NEXT();
op_kGtS:
  SetScalar(R[in_->a], CompareStr(R[in_->b], R[in_->c]) > 0);
  QM_NEXT();
op_kGeS:
  SetScalar(R[in_->a], CompareStr(R[in_->b], R[in_->c]) >= 0);
  QM_NEXT();
op_kGetChar : {
  std::string_view s = StrOf(R[in_->b]);
  const std::int64_t i = R[in_->c].i;
  if (i < 1 || i > static_cast<std::int64_t>(s.size())) [[unlikely]] {
    QM_SYNC();
    Throw("String index out of range (" + std::to_string(i) + ")");
  }
  SetScalar(R[in_->a], static_cast<unsigned char>(s[static_cast<std::size_t>(i - 1)]));
  QM_NEXT();
}
op_kSetChar : {
  Value& v = *R[in_->a].ref;
  const std::int64_t i = R[in_->b].i;
  if (i < 1 || i > static_cast<std::int64_t>(StrOf(v).size())) {
    QM_SYNC();
    Throw("String index out of range (" + std::to_string(i) + ")");
  }
  if (v.o->rc > 1) SetObj(v, new StrObj(static_cast<StrObj*>(v.o)->s));
  static_cast<StrObj*>(v.o)->s[static_cast<std::size_t>(i - 1)] = static_cast<char>(R[in_->c].i);
  QM_NEXT();
}
op_kSetMake:
  Release(R[in_->a]);
  QM_NEXT();
op_kSetAdd:
op_kSetRange : {
  std::bitset<256> bits = Bits(R[in_->a]);
  const std::int64_t lo = R[in_->b].i, hi = in_->op == Op::kSetAdd ? lo : R[in_->c].i;
  if (lo < 0 || hi > 255) {
    if (lo <= hi) {
      QM_SYNC();
      Throw("Set element out of range (" + std::to_string(lo < 0 ? lo : hi) + ")");
    }
  }
  for (std::int64_t v = lo; v <= hi; ++v) bits.set(static_cast<std::size_t>(v));
  SetBits(R[in_->a], bits);
  QM_NEXT();
}
op_kSetUnion:
  SetBits(R[in_->a], Bits(R[in_->b]) | Bits(R[in_->c]));
  QM_NEXT();
op_kSetDiff:
  SetBits(R[in_->a], Bits(R[in_->b]) & ~Bits(R[in_->c]));
  QM_NEXT();
op_kSetInter:
  SetBits(R[in_->a], Bits(R[in_->b]) & Bits(R[in_->c]));
  QM_NEXT();
op_kSetEq:
  SetScalar(R[in_->a], Bits(R[in_->b]) == Bits(R[in_->c]));
  QM_NEXT();
op_kSetNe:
  SetScalar(R[in_->a], Bits(R[in_->b]) != Bits(R[in_->c]));
  QM_NEXT();
op_kSetLe:
  SetScalar(R[in_->a], (Bits(R[in_->b]) & ~Bits(R[in_->c])).none());
  QM_NEXT();
op_kSetGe:
  SetScalar(R[in_->a], (Bits(R[in_->c]) & ~Bits(R[in_->b])).none());
  QM_NEXT();
op_kIn : {
  const std::int64_t v = R[in_->b].i;
  SetScalar(R[in_->a], v >= 0 && v < 256 && Bits(R[in_->c]).test(static_cast<std::size_t>(v)));
  QM_NEXT();
}
op_kJmp:
  ip = code + in_->a;
  QM_NEXT();
op_kJt:
  if (R[in_->a].i) ip = code + in_->b;
  QM_NEXT();
op_kJf:
  if (!R[in_->a].i) ip = code + in_->b;
  QM_NEXT();
#define QM_JUMP_IF(name, cond)  \
  name:                         \
  if (cond) ip = code + in_->c; \
  QM_NEXT();
  QM_JUMP_IF(op_kJEq, R[in_->a].i == R[in_->b].i)
  QM_JUMP_IF(op_kJNe, R[in_->a].i != R[in_->b].i)
  QM_JUMP_IF(op_kJLt, R[in_->a].i < R[in_->b].i)
  QM_JUMP_IF(op_kJLe, R[in_->a].i <= R[in_->b].i)
  QM_JUMP_IF(op_kJGt, R[in_->a].i > R[in_->b].i)
  QM_JUMP_IF(op_kJGe, R[in_->a].i >= R[in_->b].i)
  QM_JUMP_IF(op_kJEqK, R[in_->a].i == in_->b)
  QM_JUMP_IF(op_kJNeK, R[in_->a].i != in_->b)
  QM_JUMP_IF(op_kJLtK, R[in_->a].i < in_->b)
  QM_JUMP_IF(op_kJLeK, R[in_->a].i <= in_->b)
  QM_JUMP_IF(op_kJGtK, R[in_->a].i > in_->b)
  QM_JUMP_IF(op_kJGeK, R[in_->a].i >= in_->b)
#undef QM_JUMP_IF
op_kForLoop:
  if (++R[in_->a].i <= R[in_->b].i) ip = code + in_->c;
  QM_NEXT();
op_kForLoopD:
  if (--R[in_->a].i >= R[in_->b].i) ip = code + in_->c;
  QM_NEXT();
op_kForLoopL:
  if (++R[in_->a].i <= R[in_->b].i) {
    ip = code + in_->c;
    in_ = ip - 1;  // the body's line event, without a dispatch
    goto op_kLine;
  }
  QM_NEXT();
op_kForLoopDL:
  if (--R[in_->a].i >= R[in_->b].i) {
    ip = code + in_->c;
    in_ = ip - 1;
    goto op_kLine;
  }
  QM_NEXT();
op_kCall : {
  QM_SYNC();
  Enter(in_->a, R + in_->b, in_->c);
  QM_RELOAD();
  QM_NEXT();
}
op_kCallB:
  QM_SYNC();
  CallBuiltin(static_cast<Builtin>(in_->a), R + in_->b, in_->c, static_cast<int>(in_->pad) - 1,
              builtin_ctx_);
  QM_NEXT();
op_kCallM : {
  QM_SYNC();
  if (gather_rows_) ReportRow(line_);
  const ClassInfo* cls = in_->pad || static_cast<MethodId>(in_->a) == MethodId::kCreate
                             ? FindClassById(static_cast<ClassId>(in_->pad))
                             : nullptr;
  CallMethod(static_cast<MethodId>(in_->a), R + in_->b, in_->c, cls);
  QM_NEXT();
}
op_kCallH : {
  QM_SYNC();
  // A host routine may report the current row (routine errors name it).
  if (gather_rows_) ReportRow(line_);
  const std::size_t n = static_cast<std::size_t>(in_->a);
  HostCall call(R + in_->b, engine_.signatures_[n]);
  try {
    engine_.handlers_[n](call);
  } catch (const ScriptError&) {
    throw;
  } catch (const StopRun&) {
    throw;
  } catch (const Raise&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& e) {
    throw ScriptError(e.what());
  }
  // The handler may have re-entered the engine (a nested event loop);
  // the frame vector does not move, but reload to be safe.
  QM_RELOAD();
  QM_NEXT();
}
op_kRet:
  if (frames_.size() == 1) {
    QM_SYNC();
    return;
  }
  PopFrame();
  QM_RELOAD();
  QM_NEXT();
op_kTry:
  handlers_.push_back(Handler{frames_.size() - 1, in_->a, in_->b, in_->c});
  QM_NEXT();
op_kPopTry:
  handlers_.pop_back();
  QM_NEXT();
op_kEndFin : {
  const std::int64_t state = R[in_->a].i;
  if (state == 1) {
    Value& ex = R[in_->b];
    auto* e = static_cast<ExceptionObj*>(ex.o);
    IncRef(e);
    R[in_->a].i = 0;  // the state register only ever holds 0, 1 or 2
    QM_SYNC();
    throw Raise{e};
  }
  if (state == 2) {
    R[in_->a].i = 0;
    ip = code + R[in_->b].i;
  }
  QM_NEXT();
}
op_kRaise:
op_kReraise : {
  QM_SYNC();
  auto* o = static_cast<InstObj*>(R[in_->a].o);
  if (!o) Throw("Access to a nil object");
  if (o->cls->id != ClassId::kException) Throw("Only Exception objects can be raised");
  auto* e = static_cast<ExceptionObj*>(o);
  if (in_->op == Op::kRaise || e->func < 0) {
    e->func = F->func;
    e->pc = static_cast<int>(ip - code) - 1;
    e->line = line_;
  }
  IncRef(e);
  throw Raise{e};
}
op_kRtError:
  QM_SYNC();
  Throw(strings[static_cast<std::size_t>(in_->a)]);
op_kChkNil:
op_kChkIdx:
  QM_NEXT();
op_unknown:
  __attribute__((unused));
  Throw("Invalid byte code");
#undef QM_NEXT
#undef QM_SYNC
#undef QM_RELOAD
}

}  // namespace qm::script
