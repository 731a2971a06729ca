#pragma once
// The compiled form of a script: register byte code per routine, the line table
// the debugger works from, and the layouts that create records and static arrays.
#include <bitset>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "script/engine/types.h"

namespace qm::script {

// Operands a, b, c are register numbers of the current frame unless the comment
// says otherwise. Integer ops with the suffix I wrap to 32 bits, L work on 64.
enum class Op : std::uint16_t {
  kNop,
  kLine,     // a: line table index (statement start; hooks, breakpoints, stepping)
  kLoadK,    // a := integer constant b | c << 32
  kLoadF,    // a := real constant number b
  kLoadS,    // a := string constant number b
  kLoadNil,  // a := nil / empty
  kMov,      // a := b (plain bits)
  kMovO,     // a := b (counted)
  kClone,    // a := deep copy of the record or static array in b
  kGetG,
  kGetGO,
  kSetG,
  kSetGO,  // globals: a reg, b global slot
  kGetU,
  kGetUO,
  kSetU,
  kSetUO,   // outer routine's slot: a reg, b slot, c levels up
  kMkRef,   // a := reference to register b
  kMkRefG,  // a := reference to global b
  kMkRefU,  // a := reference to slot b, c levels up
  kMkRefE,  // a := reference to element c of array in b
  kMkRefF,  // a := reference to field c of record in b
  kDeref,
  kDerefO,  // a := *b
  kStRef,
  kStRefO,  // *a := b
  kGetE,
  kGetEO,  // a := b[c] (0-based)
  kSetE,
  kSetEO,  // a[b] := c
  kGetF,
  kGetFO,  // a := b.field c
  kSetF,
  kSetFO,   // a.field b := c
  kNewAgg,  // a := new aggregate of layout b
  kTrunc,   // a := b truncated to c (8, 16, 32 signed; -8, -16, -32 unsigned)
  kSingle,  // a := b rounded to single precision
  kAddI,
  kSubI,
  kMulI,
  kAddL,
  kSubL,
  kMulL,
  kDivL,
  kModL,
  kAddKI,
  kSubKI,  // a := b +/- immediate c
  kModKL,  // a := b mod immediate c
  kNegI,
  kNegL,
  kNotI,
  kNotL,
  kNotB,
  kAnd,
  kOr,
  kXor,
  kShl,
  kShr,
  kEq,
  kNe,
  kLt,
  kLe,
  kGt,
  kGe,  // integers/ordinals
  kLtU,
  kLeU,
  kGtU,
  kGeU,
  kEqKI,
  kNeKI,
  kLtKI,
  kLeKI,
  kGtKI,
  kGeKI,  // compare with immediate c
  kI2F,
  kAddF,
  kSubF,
  kMulF,
  kDivF,
  kNegF,
  kEqF,
  kNeF,
  kLtF,
  kLeF,
  kGtF,
  kGeF,
  kCat,     // a := b + c (strings)
  kAppend,  // a := a + b in place when a is not shared
  kChr2S,   // a := string of char b
  kEqS,
  kNeS,
  kLtS,
  kLeS,
  kGtS,
  kGeS,
  kGetChar,   // a := b[c] (1-based string index)
  kSetChar,   // reference a: string; (*a)[b] := c
  kSetMake,   // a := empty set
  kSetAdd,    // a := a + [b]
  kSetRange,  // a := a + [b..c]; reads c as register
  kSetUnion,
  kSetDiff,
  kSetInter,
  kSetEq,
  kSetNe,
  kSetLe,
  kSetGe,
  kIn,   // a := b in set c
  kJmp,  // pc := a
  kJt,
  kJf,        // if a then pc := b
  kForLoop,   // a := a + 1; if a <= b then pc := c
  kForLoopD,  // a := a - 1; if a >= b then pc := c
  kCall,      // call routine a with frame at register b
  kCallB,     // builtin a, frame at b, c arguments
  kCallH,     // host routine a, frame at b
  kCallM,     // class method a, frame at b (self at b + 1), c arguments
  kRet,
  kTry,  // handler at pc a; b: register that receives the exception; c: 1 = finally
  kPopTry,
  kEndFin,   // a: state register (0 go on, 1 re-raise b, 2 jump to pc in a's partner b)
  kRaise,    // raise exception object in a
  kReraise,  // raise exception object in a again, keeping its position
  kRtError,  // raise a run-time error with message constant a
  kChkNil,   // error when object in a is nil or freed
  kChkIdx,   // error unless 0 <= a < length of array b (c: 0 dyn, else static count)
  kNewArr,   // a := new dynamic array of b elements
  kLen,      // a := number of elements of the array in b (0 for nil)
  kLoadSet,  // a := set constant number b
  // Element access with the array behind a reference (R) or in a global (G):
  // operands as kGetE / kSetE / kMkRefE, the array operand naming the
  // reference register or the global slot.
  kGetER,
  kGetERO,
  kSetER,
  kSetERO,
  kMkRefER,
  kGetEG,
  kGetEGO,
  kSetEG,
  kSetEGO,
  kMkRefEG,
  // 32-bit division: far cheaper than the 64-bit one.
  kDivI,
  kModI,
  kModKI,
  // Compare and branch in one: if a op b then pc := c (integers and ordinals;
  // with K, b is an immediate).
  kJEq,
  kJNe,
  kJLt,
  kJLe,
  kJGt,
  kJGe,
  kJEqK,
  kJNeK,
  kJLtK,
  kJLeK,
  kJGtK,
  kJGeK,
  // kForLoop / kForLoopD whose body starts with a kLine at c - 1: the turn runs
  // that line event straight away and goes on at c.
  kForLoopL,
  kForLoopDL,
  kModP2L,  // a := b mod 2^c (64-bit; the sign follows b)
};

struct Instr {
  Op op;
  std::uint16_t pad = 0;
  std::int32_t a = 0, b = 0, c = 0;
};
static_assert(sizeof(Instr) == 16);

struct LineInfo {
  int file = 0;  // 0: the main script
  int row = 0, col = 0;
  int pos = 0;  // character offset in the file
};

// Parameter kinds, shared with host routine signatures.
enum class ParamMode { kValue, kVar, kConst, kOut };

struct Function {
  std::string name;
  int level = 1;   // nesting: 0 is the main program, 1 a top-level routine
  int nslots = 1;  // slot 0: result; then parameters, locals, temporaries
  int nparams = 0;
  // Slots 1 + nparams up to here are declared locals; above them are
  // temporaries, which are always written before they are read.
  int locals_end = 1;
  // Slots 1 up to here may hold a counted object or a reference when the
  // routine returns; the slots above only ever get plain numbers, so a return
  // need not look at them.
  int release_end = 1 << 30;
  std::vector<Instr> code;
  // Slots that start as records or static arrays: (slot, layout).
  std::vector<std::pair<int, int>> agg_init;
};

// Element recipe of an aggregate: a nested layout number or -1 for a zero slot.
struct Layout {
  std::vector<int> elems;
  int repeat = 1;  // static arrays: elems[0] repeated `repeat` times
};

struct Program {
  std::vector<Function> functions;  // 0: main block
  std::vector<std::string> strings;
  std::vector<double> reals;
  std::vector<std::bitset<256>> sets;
  // Divisors of kModKI with their precomputed multipliers (2^64 / d + 1), so
  // that "i mod 7" costs two multiplications instead of a division.
  std::vector<std::pair<std::uint64_t, std::uint32_t>> divisors;
  std::vector<LineInfo> lines;
  std::vector<std::string> files;  // names of included files; [0] is the main script
  std::vector<Layout> layouts;
  int nglobals = 0;
  struct Global {
    std::string name;
    const Type* type;
    int slot;
  };
  std::vector<Global> globals;
  std::unique_ptr<TypePool> types;  // keeps the types of `globals` alive
};

}  // namespace qm::script
