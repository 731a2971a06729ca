#pragma once
// Run-time values of the script machine. Every variable, parameter and temporary
// is one Value slot. The compiler knows each slot's type, so a Value carries no
// type tag; `meta` only says whether the slot owns a counted heap object or holds
// a reference (a `var` parameter, a `with` target) together with its owner.
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm::script {

enum class ObjKind : std::uint8_t { kString, kArray, kSet, kInstance };

struct Obj {
  explicit Obj(ObjKind k) : kind(k) {}
  virtual ~Obj() = default;
  std::int32_t rc = 1;
  ObjKind kind;
};

inline void IncRef(Obj* o) {
  if (o) ++o->rc;
}
inline void DecRef(Obj* o) {
  if (o && --o->rc == 0) delete o;
}

struct Value {
  union {
    std::int64_t i;
    double d;
    Obj* o;
    Value* ref;
  };
  // 0: plain bits (numbers, or an empty string / nil object in `o`);
  // 1: owns one count of `o`; otherwise a reference in `ref` whose owner (the
  // heap object that holds the referenced slot, or none) is meta & ~3.
  std::uintptr_t meta;
};
static_assert(sizeof(Value) == 16);

inline constexpr std::uintptr_t kOwns = 1;
inline constexpr std::uintptr_t kRefBit = 2;

inline void Release(Value& v) {
  if (v.meta == kOwns) {
    DecRef(v.o);
  } else if (v.meta > 3) {
    DecRef(reinterpret_cast<Obj*>(v.meta & ~std::uintptr_t{3}));
  }
  v.meta = 0;
  v.i = 0;
}

inline void SetScalar(Value& v, std::int64_t x) {
  if (v.meta) [[unlikely]]
    Release(v);
  v.i = x;
}
inline void SetReal(Value& v, double x) {
  if (v.meta) [[unlikely]]
    Release(v);
  v.d = x;
}
// Takes over one count of `o` (which may be null).
inline void SetObj(Value& v, Obj* o) {
  if (v.meta) Release(v);
  v.o = o;
  v.meta = o ? kOwns : 0;
}
// Copies any value, counting shared objects and reference owners.
inline void CopyValue(Value& dst, const Value& src) {
  if (&dst == &src) return;
  if (src.meta == kOwns) {
    IncRef(src.o);
  } else if (src.meta > 3) {
    IncRef(reinterpret_cast<Obj*>(src.meta & ~std::uintptr_t{3}));
  }
  if (dst.meta) Release(dst);
  dst.i = src.i;
  dst.meta = src.meta;
}
inline void MakeRef(Value& dst, Value* target, Obj* owner) {
  IncRef(owner);
  if (dst.meta) Release(dst);
  dst.ref = target;
  dst.meta = reinterpret_cast<std::uintptr_t>(owner) | kRefBit;
}

struct StrObj : Obj {
  StrObj() : Obj(ObjKind::kString) {}
  explicit StrObj(std::string text) : Obj(ObjKind::kString), s(std::move(text)) {}
  std::string s;
};

// Dynamic arrays, static arrays and records: a row of slots.
struct ArrObj : Obj {
  ArrObj() : Obj(ObjKind::kArray) {}
  ~ArrObj() override {
    for (auto& v : v) Release(v);
  }
  std::vector<Value> v;
  bool aggregate = false;  // a record or static array: copied, not shared, on assignment
};

struct SetValueObj : Obj {
  SetValueObj() : Obj(ObjKind::kSet) {}
  std::bitset<256> bits;
};

inline std::string_view StrOf(const Value& v) {
  return v.o ? std::string_view(static_cast<StrObj*>(v.o)->s) : std::string_view();
}
inline Obj* NewStr(std::string s) {
  if (s.empty()) return nullptr;
  return new StrObj(std::move(s));
}
inline void SetStr(Value& v, std::string s) {
  SetObj(v, NewStr(std::move(s)));
}

// A slot's target: the slot itself, or what its reference points to.
inline Value& Target(Value& v) {
  return (v.meta & kRefBit) ? *v.ref : v;
}
inline const Value& Target(const Value& v) {
  return (v.meta & kRefBit) ? *v.ref : v;
}

}  // namespace qm::script
