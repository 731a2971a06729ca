#pragma once
// Built-in routines called through the kCallB instruction. Each takes the frame
// as the compiler laid it out: frame[0] receives the result and frame[1...] hold
// the arguments (var arguments as references).
#include <atomic>
#include <stdexcept>
#include <string>

#include "script/engine/value.h"

namespace qm::script {

// A run-time error raised by the machine or a built-in; it becomes a script
// exception with this message.
class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Largest string, and most elements of one array, a script may make.
inline constexpr std::size_t kMaxStringSize = 256u << 20;
inline constexpr std::int64_t kMaxArrayLength = 16 << 20;

enum class Builtin : int {
  kIntToStr,
  kInt64ToStr,
  kStrToInt,
  kStrToIntDef,
  kFloatToStr,
  kStrToFloat,
  kIntToHex,
  kFormat,
  kLengthS,
  kLengthA,
  kHighA,
  kSetLengthS,
  kSetLengthA,
  kCopy,
  kPos,
  kDelete,
  kInsert,
  kUpperCase,
  kLowerCase,
  kTrim,
  kTrimLeft,
  kTrimRight,
  kStringOfChar,
  kAbsI,
  kAbsF,
  kSqrt,
  kRound,
  kTrunc,
  kInt,
  kFrac,
  kSin,
  kCos,
  kArcTan,
  kExp,
  kLn,
  kPower,
  kMinI,
  kMaxI,
  kMinF,
  kMaxF,
  kNow,
  kDate,
  kTime,
  kFormatDateTime,
  kDateToStr,
  kTimeToStr,
  kSleep,
  kCopyA,
  kBoolToStr,
};

struct BuiltinContext {
  const std::atomic<bool>* stop = nullptr;  // Sleep wakes up for a stop request
  const struct Program* program = nullptr;  // layouts for SetLength of records
};

void CallBuiltin(Builtin id, Value* frame, int nargs, int extra, BuiltinContext& ctx);

// Makes a new record or static array of the given layout.
Obj* NewAggregate(const struct Program& program, int layout);
// Deep copy of a record or static array: nested aggregates are copied, strings
// and dynamic arrays shared.
Obj* CloneAggregate(const Obj* src);
// Marks nested aggregates so that cloning knows which slots to copy deeply.
bool IsAggregateObj(const Obj* o);

std::string FormatFloat(double v);
// Format's engine: `args` holds (type code, value) pairs: 0 int, 1 real, 2 string,
// 3 char, 4 boolean.
std::string FormatText(std::string_view fmt, const Value* args, std::size_t count);

}  // namespace qm::script
