#include "script/engine/vm.h"

#include <cmath>
#include <cstring>
#include <new>

#include "script/engine/classes.h"

namespace qm::script {

namespace {

inline std::int64_t Wrap32(std::int64_t v) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
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
  stack_.reset(new Value[kStackSlots]());
  stack_end_ = stack_.get() + kStackSlots;
  frames_.reserve(kMaxCallDepth + 2);
  builtin_ctx_.stop = &engine_.control_.stop;
  builtin_ctx_.program = &program_;
}

Machine::~Machine() {
  while (!frames_.empty()) PopFrame();
  for (int i = 0; i < program_.nglobals; ++i) Release(stack_[static_cast<std::size_t>(i)]);
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

void Machine::Enter(int func, Value* base, int hops) {
  const Function* fn = &program_.functions[static_cast<std::size_t>(func)];
  if (frames_.size() >= kMaxCallDepth || base + fn->nslots > stack_end_)
    Throw("Stack overflow: too many nested calls (more than " + std::to_string(kMaxCallDepth) +
          ")");
  // The caller's frame is the parent when hops is 0; otherwise walk up.
  int link = static_cast<int>(frames_.size()) - 1;
  for (int i = 0; i < hops && link >= 0; ++i) link = frames_[static_cast<std::size_t>(link)].link;
  // The main block starts on a fresh stack whose globals the host may already
  // have set; every other routine clears what earlier frames left behind.
  if (func != 0) Release(base[0]);
  for (int i = func == 0 ? fn->nslots : 1 + fn->nparams; i < fn->nslots; ++i) {
    if (base[i].meta) Release(base[i]);
    base[i].i = 0;
  }
  for (const auto& [slot, layout] : fn->agg_init)
    SetObj(base[slot], NewAggregate(program_, layout));
  frames_.push_back(Frame{fn, 0, base, link, -1, func});
}

void Machine::PopFrame() {
  Frame& f = frames_.back();
  const int first = frames_.size() == 1 ? f.fn->nslots : 1;  // the main frame keeps globals
  for (int i = first; i < f.fn->nslots; ++i) {
    if (f.base[i].meta) Release(f.base[i]);
  }
  if (frames_.size() == 1) {
    for (int i = program_.nglobals; i < f.fn->nslots; ++i) Release(f.base[i]);
  }
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
  if (bp_version_ != engine_.breakpoints_.Version()) {
    bp_version_ = engine_.breakpoints_.Version();
    events_.clear();
    for (std::size_t i = 0; i < program_.lines.size(); ++i)
      events_.push_back(EventFor(static_cast<int>(i)));
    bp_lines_.assign(program_.lines.size(), 0);
    if (!engine_.breakpoints_.Empty()) {
      for (std::size_t i = 0; i < program_.lines.size(); ++i) {
        const LineEvent ev = EventFor(static_cast<int>(i));
        bp_lines_[i] = engine_.breakpoints_.Has(std::string(ev.file), ev.row) ? 1 : 0;
      }
    }
  }
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
  watch_rows_ = static_cast<bool>(engine_.on_line_info) || !engine_.breakpoints_.Empty() ||
                rc.step != RunControl::Step::kNone;
  if ((new_row || pause) && engine_.on_line_info)
    engine_.on_line_info(events_[static_cast<std::size_t>(line)]);
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

bool Machine::Run() {
  Enter(0, stack_.get(), 0);
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
      exc->line = f.line;
    }
    if (!Dispatch(exc)) {
      while (!frames_.empty()) PopFrame();
      return false;
    }
  }
}

void Machine::Loop() {
  RunControl& rc = engine_.control_;
  Frame* F = &frames_.back();
  const Instr* code = F->fn->code.data();
  Value* R = F->base;
  Value* G = stack_.get();
  int pc = F->pc;
  const auto& strings = program_.strings;
  const auto& lines = program_.lines;
  const bool has_line_hook = static_cast<bool>(engine_.on_line);
#define QM_SYNC() (F->pc = pc)
#define QM_RELOAD()            \
  do {                         \
    F = &frames_.back();       \
    code = F->fn->code.data(); \
    R = F->base;               \
    pc = F->pc;                \
  } while (0)
  for (;;) {
    const Instr& in = code[pc++];
    switch (in.op) {
      case Op::kNop:
        break;
      case Op::kLine: {
        F->line = in.a;
        if (has_line_hook) {
          QM_SYNC();
          engine_.on_line();
        }
        if (rc.attention || rc.stop.load(std::memory_order_relaxed)) [[unlikely]] {
          QM_SYNC();
          SlowLine(in.a);
        } else if (watch_rows_) {
          const LineInfo& li = lines[static_cast<std::size_t>(in.a)];
          if (li.row != last_row_ || li.file != last_file_) {
            QM_SYNC();
            if (bp_lines_[static_cast<std::size_t>(in.a)] || rc.step != RunControl::Step::kNone) {
              SlowLine(in.a);
            } else {
              // A new row with nothing to stop for: only the line report.
              last_row_ = li.row;
              last_file_ = li.file;
              if (engine_.on_line_info)
                engine_.on_line_info(events_[static_cast<std::size_t>(in.a)]);
            }
          }
        }
        break;
      }
      case Op::kLoadK:
        SetScalar(R[in.a],
                  static_cast<std::int64_t>(
                      (static_cast<std::uint64_t>(static_cast<std::uint32_t>(in.c)) << 32) |
                      static_cast<std::uint32_t>(in.b)));
        break;
      case Op::kLoadF:
        SetReal(R[in.a], program_.reals[static_cast<std::size_t>(in.b)]);
        break;
      case Op::kLoadS:
        SetObj(R[in.a], new StrObj(strings[static_cast<std::size_t>(in.b)]));
        break;
      case Op::kLoadSet:
        SetBits(R[in.a], program_.sets[static_cast<std::size_t>(in.b)]);
        break;
      case Op::kLoadNil:
        Release(R[in.a]);
        break;
      case Op::kMov:
        SetScalar(R[in.a], R[in.b].i);
        break;
      case Op::kMovO:
        CopyValue(R[in.a], R[in.b]);
        break;
      case Op::kClone: {
        Obj* c = CloneAggregate(R[in.b].o);
        SetObj(R[in.a], c);
        break;
      }
      case Op::kGetG:
        SetScalar(R[in.a], G[in.b].i);
        break;
      case Op::kGetGO:
        CopyValue(R[in.a], G[in.b]);
        break;
      case Op::kSetG:
        SetScalar(G[in.b], R[in.a].i);
        break;
      case Op::kSetGO:
        CopyValue(G[in.b], R[in.a]);
        break;
      case Op::kGetU:
        SetScalar(R[in.a], Outer(in.b, in.c).i);
        break;
      case Op::kGetUO:
        CopyValue(R[in.a], Outer(in.b, in.c));
        break;
      case Op::kSetU:
        SetScalar(Outer(in.b, in.c), R[in.a].i);
        break;
      case Op::kSetUO:
        CopyValue(Outer(in.b, in.c), R[in.a]);
        break;
      case Op::kMkRef:
        MakeRef(R[in.a], &Target(R[in.b]), nullptr);
        break;
      case Op::kMkRefG:
        MakeRef(R[in.a], &G[in.b], nullptr);
        break;
      case Op::kMkRefU:
        MakeRef(R[in.a], &Outer(in.b, in.c), nullptr);
        break;
      case Op::kMkRefE: {
        auto* arr = static_cast<ArrObj*>(R[in.b].o);
        const auto idx = static_cast<std::uint64_t>(R[in.c].i);
        if (!arr || idx >= arr->v.size()) {
          QM_SYNC();
          Throw("Index out of range (" + std::to_string(R[in.c].i) + ")");
        }
        MakeRef(R[in.a], &arr->v[idx], arr);
        break;
      }
      case Op::kMkRefF: {
        auto* rec = static_cast<ArrObj*>(R[in.b].o);
        MakeRef(R[in.a], &rec->v[static_cast<std::size_t>(in.c)], rec);
        break;
      }
      case Op::kDeref:
        SetScalar(R[in.a], R[in.b].ref->i);
        break;
      case Op::kDerefO: {
        Value tmp{{0}, 0};
        CopyValue(tmp, *R[in.b].ref);
        Release(R[in.a]);
        R[in.a] = tmp;
        break;
      }
      case Op::kStRef:
        SetScalar(*R[in.a].ref, R[in.b].i);
        break;
      case Op::kStRefO:
        CopyValue(*R[in.a].ref, R[in.b]);
        break;
      case Op::kGetE:
      case Op::kGetEO:
      case Op::kGetER:
      case Op::kGetERO:
      case Op::kGetEG:
      case Op::kGetEGO: {
        Obj* holder = in.op <= Op::kGetEO                             ? R[in.b].o
                      : (in.op == Op::kGetER || in.op == Op::kGetERO) ? R[in.b].ref->o
                                                                      : G[in.b].o;
        auto* arr = static_cast<ArrObj*>(holder);
        const auto idx = static_cast<std::uint64_t>(R[in.c].i);
        if (!arr || idx >= arr->v.size()) [[unlikely]] {
          QM_SYNC();
          Throw("Index out of range (" + std::to_string(R[in.c].i) + ")");
        }
        if (in.op == Op::kGetE || in.op == Op::kGetER || in.op == Op::kGetEG) {
          SetScalar(R[in.a], arr->v[idx].i);
        } else {
          Value tmp{{0}, 0};
          CopyValue(tmp, arr->v[idx]);
          Release(R[in.a]);
          R[in.a] = tmp;
        }
        break;
      }
      case Op::kSetE:
      case Op::kSetEO:
      case Op::kSetER:
      case Op::kSetERO:
      case Op::kSetEG:
      case Op::kSetEGO: {
        Obj* holder = in.op <= Op::kSetEO                             ? R[in.a].o
                      : (in.op == Op::kSetER || in.op == Op::kSetERO) ? R[in.a].ref->o
                                                                      : G[in.a].o;
        auto* arr = static_cast<ArrObj*>(holder);
        const auto idx = static_cast<std::uint64_t>(R[in.b].i);
        if (!arr || idx >= arr->v.size()) [[unlikely]] {
          QM_SYNC();
          Throw("Index out of range (" + std::to_string(R[in.b].i) + ")");
        }
        if (in.op == Op::kSetE || in.op == Op::kSetER || in.op == Op::kSetEG)
          SetScalar(arr->v[idx], R[in.c].i);
        else
          CopyValue(arr->v[idx], R[in.c]);
        break;
      }
      case Op::kMkRefER:
      case Op::kMkRefEG: {
        auto* arr = static_cast<ArrObj*>(in.op == Op::kMkRefER ? R[in.b].ref->o : G[in.b].o);
        const auto idx = static_cast<std::uint64_t>(R[in.c].i);
        if (!arr || idx >= arr->v.size()) {
          QM_SYNC();
          Throw("Index out of range (" + std::to_string(R[in.c].i) + ")");
        }
        MakeRef(R[in.a], &arr->v[idx], arr);
        break;
      }
      case Op::kGetF:
        SetScalar(R[in.a], static_cast<ArrObj*>(R[in.b].o)->v[static_cast<std::size_t>(in.c)].i);
        break;
      case Op::kGetFO: {
        Value tmp{{0}, 0};
        CopyValue(tmp, static_cast<ArrObj*>(R[in.b].o)->v[static_cast<std::size_t>(in.c)]);
        Release(R[in.a]);
        R[in.a] = tmp;
        break;
      }
      case Op::kSetF:
        SetScalar(static_cast<ArrObj*>(R[in.a].o)->v[static_cast<std::size_t>(in.b)], R[in.c].i);
        break;
      case Op::kSetFO:
        CopyValue(static_cast<ArrObj*>(R[in.a].o)->v[static_cast<std::size_t>(in.b)], R[in.c]);
        break;
      case Op::kNewAgg:
        SetObj(R[in.a], NewAggregate(program_, in.b));
        break;
      case Op::kNewArr: {
        auto* a = new ArrObj();
        a->v.assign(static_cast<std::size_t>(in.b), Value{{0}, 0});
        SetObj(R[in.a], a);
        break;
      }
      case Op::kLen:
        SetScalar(
            R[in.a],
            R[in.b].o ? static_cast<std::int64_t>(static_cast<ArrObj*>(R[in.b].o)->v.size()) : 0);
        break;
      case Op::kTrunc: {
        const std::int64_t v = R[in.b].i;
        std::int64_t r;
        switch (in.c) {
          case 8:
            r = static_cast<std::int8_t>(v);
            break;
          case 16:
            r = static_cast<std::int16_t>(v);
            break;
          case 32:
            r = static_cast<std::int32_t>(v);
            break;
          case -8:
            r = static_cast<std::uint8_t>(v);
            break;
          case -16:
            r = static_cast<std::uint16_t>(v);
            break;
          case -32:
            r = static_cast<std::uint32_t>(v);
            break;
          default:
            r = v;
        }
        SetScalar(R[in.a], r);
        break;
      }
      case Op::kSingle:
        SetReal(R[in.a], static_cast<double>(static_cast<float>(R[in.b].d)));
        break;
      case Op::kAddI:
        SetScalar(R[in.a], Wrap32(R[in.b].i + R[in.c].i));
        break;
      case Op::kSubI:
        SetScalar(R[in.a], Wrap32(R[in.b].i - R[in.c].i));
        break;
      case Op::kMulI:
        SetScalar(R[in.a],
                  Wrap32(static_cast<std::int64_t>(static_cast<std::uint64_t>(R[in.b].i) *
                                                   static_cast<std::uint64_t>(R[in.c].i))));
        break;
      case Op::kAddL:
        SetScalar(R[in.a], static_cast<std::int64_t>(static_cast<std::uint64_t>(R[in.b].i) +
                                                     static_cast<std::uint64_t>(R[in.c].i)));
        break;
      case Op::kSubL:
        SetScalar(R[in.a], static_cast<std::int64_t>(static_cast<std::uint64_t>(R[in.b].i) -
                                                     static_cast<std::uint64_t>(R[in.c].i)));
        break;
      case Op::kMulL:
        SetScalar(R[in.a], static_cast<std::int64_t>(static_cast<std::uint64_t>(R[in.b].i) *
                                                     static_cast<std::uint64_t>(R[in.c].i)));
        break;
      case Op::kDivL:
      case Op::kModL: {
        const std::int64_t a = R[in.b].i, b = R[in.c].i;
        if (b == 0) [[unlikely]] {
          QM_SYNC();
          Throw("Division by zero");
        }
        std::int64_t r;
        if (a == INT64_MIN && b == -1)
          r = in.op == Op::kDivL ? a : 0;
        else
          r = in.op == Op::kDivL ? a / b : a % b;
        SetScalar(R[in.a], r);
        break;
      }
      case Op::kDivI:
      case Op::kModI: {
        const auto a = static_cast<std::int32_t>(R[in.b].i),
                   b = static_cast<std::int32_t>(R[in.c].i);
        if (b == 0) [[unlikely]] {
          QM_SYNC();
          Throw("Division by zero");
        }
        std::int32_t r;
        if (b == -1)
          r = in.op == Op::kDivI ? static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(a))
                                 : 0;
        else
          r = in.op == Op::kDivI ? a / b : a % b;
        SetScalar(R[in.a], r);
        break;
      }
      case Op::kModKI:
        SetScalar(R[in.a], static_cast<std::int32_t>(R[in.b].i) % in.c);
        break;
      case Op::kAddKI:
        SetScalar(R[in.a], Wrap32(R[in.b].i + in.c));
        break;
      case Op::kSubKI:
        SetScalar(R[in.a], Wrap32(R[in.b].i - in.c));
        break;
      case Op::kModKL:
        SetScalar(R[in.a], R[in.b].i % in.c);
        break;
      case Op::kNegI:
        SetScalar(R[in.a], Wrap32(-R[in.b].i));
        break;
      case Op::kNegL:
        SetScalar(R[in.a], static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(R[in.b].i)));
        break;
      case Op::kNotI:
        SetScalar(R[in.a], Wrap32(~R[in.b].i));
        break;
      case Op::kNotL:
        SetScalar(R[in.a], ~R[in.b].i);
        break;
      case Op::kNotB:
        SetScalar(R[in.a], R[in.b].i ? 0 : 1);
        break;
      case Op::kAnd:
        SetScalar(R[in.a], R[in.b].i & R[in.c].i);
        break;
      case Op::kOr:
        SetScalar(R[in.a], R[in.b].i | R[in.c].i);
        break;
      case Op::kXor:
        SetScalar(R[in.a], R[in.b].i ^ R[in.c].i);
        break;
      case Op::kShl:
        SetScalar(R[in.a], static_cast<std::int64_t>(static_cast<std::uint64_t>(R[in.b].i)
                                                     << (R[in.c].i & 63)));
        break;
      case Op::kShr:
        SetScalar(R[in.a], static_cast<std::int64_t>(static_cast<std::uint64_t>(R[in.b].i) >>
                                                     (R[in.c].i & 63)));
        break;
      case Op::kEq:
        SetScalar(R[in.a], R[in.b].i == R[in.c].i);
        break;
      case Op::kNe:
        SetScalar(R[in.a], R[in.b].i != R[in.c].i);
        break;
      case Op::kLt:
        SetScalar(R[in.a], R[in.b].i < R[in.c].i);
        break;
      case Op::kLe:
        SetScalar(R[in.a], R[in.b].i <= R[in.c].i);
        break;
      case Op::kGt:
        SetScalar(R[in.a], R[in.b].i > R[in.c].i);
        break;
      case Op::kGe:
        SetScalar(R[in.a], R[in.b].i >= R[in.c].i);
        break;
      case Op::kLtU:
        SetScalar(R[in.a],
                  static_cast<std::uint64_t>(R[in.b].i) < static_cast<std::uint64_t>(R[in.c].i));
        break;
      case Op::kLeU:
        SetScalar(R[in.a],
                  static_cast<std::uint64_t>(R[in.b].i) <= static_cast<std::uint64_t>(R[in.c].i));
        break;
      case Op::kGtU:
        SetScalar(R[in.a],
                  static_cast<std::uint64_t>(R[in.b].i) > static_cast<std::uint64_t>(R[in.c].i));
        break;
      case Op::kGeU:
        SetScalar(R[in.a],
                  static_cast<std::uint64_t>(R[in.b].i) >= static_cast<std::uint64_t>(R[in.c].i));
        break;
      case Op::kEqKI:
        SetScalar(R[in.a], R[in.b].i == in.c);
        break;
      case Op::kNeKI:
        SetScalar(R[in.a], R[in.b].i != in.c);
        break;
      case Op::kLtKI:
        SetScalar(R[in.a], R[in.b].i < in.c);
        break;
      case Op::kLeKI:
        SetScalar(R[in.a], R[in.b].i <= in.c);
        break;
      case Op::kGtKI:
        SetScalar(R[in.a], R[in.b].i > in.c);
        break;
      case Op::kGeKI:
        SetScalar(R[in.a], R[in.b].i >= in.c);
        break;
      case Op::kI2F:
        SetReal(R[in.a], static_cast<double>(R[in.b].i));
        break;
      case Op::kAddF:
        SetReal(R[in.a], R[in.b].d + R[in.c].d);
        break;
      case Op::kSubF:
        SetReal(R[in.a], R[in.b].d - R[in.c].d);
        break;
      case Op::kMulF:
        SetReal(R[in.a], R[in.b].d * R[in.c].d);
        break;
      case Op::kDivF:
        if (R[in.c].d == 0) [[unlikely]] {
          QM_SYNC();
          Throw("Division by zero");
        }
        SetReal(R[in.a], R[in.b].d / R[in.c].d);
        break;
      case Op::kNegF:
        SetReal(R[in.a], -R[in.b].d);
        break;
      case Op::kEqF:
        SetScalar(R[in.a], R[in.b].d == R[in.c].d);
        break;
      case Op::kNeF:
        SetScalar(R[in.a], R[in.b].d != R[in.c].d);
        break;
      case Op::kLtF:
        SetScalar(R[in.a], R[in.b].d < R[in.c].d);
        break;
      case Op::kLeF:
        SetScalar(R[in.a], R[in.b].d <= R[in.c].d);
        break;
      case Op::kGtF:
        SetScalar(R[in.a], R[in.b].d > R[in.c].d);
        break;
      case Op::kGeF:
        SetScalar(R[in.a], R[in.b].d >= R[in.c].d);
        break;
      case Op::kCat: {
        std::string_view a = StrOf(R[in.b]), b = StrOf(R[in.c]);
        if (a.size() + b.size() > kMaxStringSize) {
          QM_SYNC();
          Throw("Out of memory: string too long");
        }
        std::string s;
        s.reserve(a.size() + b.size());
        s.append(a);
        s.append(b);
        SetStr(R[in.a], std::move(s));
        break;
      }
      case Op::kAppend: {
        Value& d = R[in.a];
        std::string_view b = StrOf(R[in.b]);
        if (b.empty()) break;
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
        break;
      }
      case Op::kChr2S:
        SetObj(R[in.a], new StrObj(std::string(1, static_cast<char>(R[in.b].i))));
        break;
      case Op::kEqS:
        SetScalar(R[in.a], CompareStr(R[in.b], R[in.c]) == 0);
        break;
      case Op::kNeS:
        SetScalar(R[in.a], CompareStr(R[in.b], R[in.c]) != 0);
        break;
      case Op::kLtS:
        SetScalar(R[in.a], CompareStr(R[in.b], R[in.c]) < 0);
        break;
      case Op::kLeS:
        SetScalar(R[in.a], CompareStr(R[in.b], R[in.c]) <= 0);
        break;
      case Op::kGtS:
        SetScalar(R[in.a], CompareStr(R[in.b], R[in.c]) > 0);
        break;
      case Op::kGeS:
        SetScalar(R[in.a], CompareStr(R[in.b], R[in.c]) >= 0);
        break;
      case Op::kGetChar: {
        std::string_view s = StrOf(R[in.b]);
        const std::int64_t i = R[in.c].i;
        if (i < 1 || i > static_cast<std::int64_t>(s.size())) [[unlikely]] {
          QM_SYNC();
          Throw("String index out of range (" + std::to_string(i) + ")");
        }
        SetScalar(R[in.a], static_cast<unsigned char>(s[static_cast<std::size_t>(i - 1)]));
        break;
      }
      case Op::kSetChar: {
        Value& v = *R[in.a].ref;
        const std::int64_t i = R[in.b].i;
        if (i < 1 || i > static_cast<std::int64_t>(StrOf(v).size())) {
          QM_SYNC();
          Throw("String index out of range (" + std::to_string(i) + ")");
        }
        if (v.o->rc > 1) SetObj(v, new StrObj(static_cast<StrObj*>(v.o)->s));
        static_cast<StrObj*>(v.o)->s[static_cast<std::size_t>(i - 1)] =
            static_cast<char>(R[in.c].i);
        break;
      }
      case Op::kSetMake:
        Release(R[in.a]);
        break;
      case Op::kSetAdd:
      case Op::kSetRange: {
        std::bitset<256> bits = Bits(R[in.a]);
        const std::int64_t lo = R[in.b].i, hi = in.op == Op::kSetAdd ? lo : R[in.c].i;
        if (lo < 0 || hi > 255) {
          if (lo <= hi) {
            QM_SYNC();
            Throw("Set element out of range (" + std::to_string(lo < 0 ? lo : hi) + ")");
          }
        }
        for (std::int64_t v = lo; v <= hi; ++v) bits.set(static_cast<std::size_t>(v));
        SetBits(R[in.a], bits);
        break;
      }
      case Op::kSetUnion:
        SetBits(R[in.a], Bits(R[in.b]) | Bits(R[in.c]));
        break;
      case Op::kSetDiff:
        SetBits(R[in.a], Bits(R[in.b]) & ~Bits(R[in.c]));
        break;
      case Op::kSetInter:
        SetBits(R[in.a], Bits(R[in.b]) & Bits(R[in.c]));
        break;
      case Op::kSetEq:
        SetScalar(R[in.a], Bits(R[in.b]) == Bits(R[in.c]));
        break;
      case Op::kSetNe:
        SetScalar(R[in.a], Bits(R[in.b]) != Bits(R[in.c]));
        break;
      case Op::kSetLe:
        SetScalar(R[in.a], (Bits(R[in.b]) & ~Bits(R[in.c])).none());
        break;
      case Op::kSetGe:
        SetScalar(R[in.a], (Bits(R[in.c]) & ~Bits(R[in.b])).none());
        break;
      case Op::kIn: {
        const std::int64_t v = R[in.b].i;
        SetScalar(R[in.a], v >= 0 && v < 256 && Bits(R[in.c]).test(static_cast<std::size_t>(v)));
        break;
      }
      case Op::kJmp:
        pc = in.a;
        break;
      case Op::kJt:
        if (R[in.a].i) pc = in.b;
        break;
      case Op::kJf:
        if (!R[in.a].i) pc = in.b;
        break;
      case Op::kForLoop:
        if (++R[in.a].i <= R[in.b].i) pc = in.c;
        break;
      case Op::kForLoopD:
        if (--R[in.a].i >= R[in.b].i) pc = in.c;
        break;
      case Op::kCall: {
        QM_SYNC();
        Enter(in.a, R + in.b, in.c);
        QM_RELOAD();
        break;
      }
      case Op::kCallB:
        QM_SYNC();
        CallBuiltin(static_cast<Builtin>(in.a), R + in.b, in.c, static_cast<int>(in.pad) - 1,
                    builtin_ctx_);
        break;
      case Op::kCallM: {
        QM_SYNC();
        const ClassInfo* cls = in.pad || static_cast<MethodId>(in.a) == MethodId::kCreate
                                   ? FindClassById(static_cast<ClassId>(in.pad))
                                   : nullptr;
        CallMethod(static_cast<MethodId>(in.a), R + in.b, in.c, cls);
        break;
      }
      case Op::kCallH: {
        QM_SYNC();
        const std::size_t n = static_cast<std::size_t>(in.a);
        HostCall call(R + in.b, engine_.signatures_[n]);
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
        break;
      }
      case Op::kRet:
        QM_SYNC();
        if (frames_.size() == 1) {
          F->pc = pc;
          return;
        }
        PopFrame();
        QM_RELOAD();
        break;
      case Op::kTry:
        handlers_.push_back(Handler{frames_.size() - 1, in.a, in.b, in.c});
        break;
      case Op::kPopTry:
        handlers_.pop_back();
        break;
      case Op::kEndFin: {
        const std::int64_t state = R[in.a].i;
        if (state == 1) {
          Value& ex = R[in.b];
          auto* e = static_cast<ExceptionObj*>(ex.o);
          IncRef(e);
          SetScalar(R[in.a], 0);
          QM_SYNC();
          throw Raise{e};
        }
        if (state == 2) {
          SetScalar(R[in.a], 0);
          pc = static_cast<int>(R[in.b].i);
        }
        break;
      }
      case Op::kRaise:
      case Op::kReraise: {
        QM_SYNC();
        auto* o = static_cast<InstObj*>(R[in.a].o);
        if (!o) Throw("Access to a nil object");
        if (o->cls->id != ClassId::kException) Throw("Only Exception objects can be raised");
        auto* e = static_cast<ExceptionObj*>(o);
        if (in.op == Op::kRaise || e->func < 0) {
          e->func = F->func;
          e->pc = pc - 1;
          e->line = F->line;
        }
        IncRef(e);
        throw Raise{e};
      }
      case Op::kRtError:
        QM_SYNC();
        Throw(strings[static_cast<std::size_t>(in.a)]);
      case Op::kChkNil:
      case Op::kChkIdx:
        break;
    }
  }
#undef QM_SYNC
#undef QM_RELOAD
}

}  // namespace qm::script
