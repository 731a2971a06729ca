#pragma once
// Compile-time types of the script language. The compiler resolves every
// expression to one of these, so the machine never looks at types while running.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qm::script {

enum class TypeKind {
  kInteger,  // every integer type and subranges of them
  kBoolean,
  kChar,
  kEnum,
  kReal,
  kString,
  kSet,
  kStaticArray,
  kDynArray,
  kOpenArray,
  kRecord,
  kClass,
  kNil,
  kVoid,
  kArrayOfConst,
};

struct ClassInfo;

struct Field {
  std::string name;
  const struct Type* type;
};

struct Type {
  TypeKind kind = TypeKind::kVoid;
  std::string name;
  // Ordinals: value range. `bits` is the storage width for integers (8, 16, 32,
  // 64) and whether it is unsigned, which decides truncation on store.
  std::int64_t lo = 0, hi = 0;
  int bits = 64;
  bool is_unsigned = false;
  const Type* base = nullptr;  // the ordinal a subrange or set is made of
  int real_size = 8;           // Single: 4
  // Arrays: element type and (static) index range; sets: `base` is the element.
  const Type* elem = nullptr;
  const Type* index = nullptr;
  std::vector<Field> fields;  // records
  std::vector<std::string> enum_names;
  const ClassInfo* cls = nullptr;
  int layout = -1;  // aggregate layout number in the program, for records and static arrays

  bool IsOrdinal() const {
    return kind == TypeKind::kInteger || kind == TypeKind::kBoolean || kind == TypeKind::kChar ||
           kind == TypeKind::kEnum;
  }
  bool IsAggregate() const { return kind == TypeKind::kStaticArray || kind == TypeKind::kRecord; }
  // Slots of these types own heap objects.
  bool IsManaged() const {
    return kind == TypeKind::kString || kind == TypeKind::kSet || kind == TypeKind::kDynArray ||
           kind == TypeKind::kOpenArray || kind == TypeKind::kRecord ||
           kind == TypeKind::kStaticArray || kind == TypeKind::kClass ||
           kind == TypeKind::kArrayOfConst;
  }
  std::int64_t Count() const { return hi - lo + 1; }
};

// Owns every type made during one compilation.
class TypePool {
 public:
  Type* Make(TypeKind kind, std::string name = {}) {
    auto t = std::make_unique<Type>();
    t->kind = kind;
    t->name = std::move(name);
    types_.push_back(std::move(t));
    return types_.back().get();
  }

 private:
  std::vector<std::unique_ptr<Type>> types_;
};

std::string TypeName(const Type* t);

}  // namespace qm::script
