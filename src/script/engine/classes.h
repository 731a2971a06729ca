#pragma once
// The classes scripts can use (they cannot declare their own): TObject,
// Exception, TStringList, and TForm / TApplication, which the host binds to its
// own window and application through the two interfaces below.
#include <cstdint>
#include <string>
#include <vector>

#include "script/engine/value.h"

namespace qm::script {

// What a script may do with the host's window (the global `Self`).
class ScriptForm {
 public:
  virtual ~ScriptForm() = default;
  virtual std::string Caption() const = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void Show() = 0;
  virtual void Hide() = 0;
};

// What a script may do with the application (the global `Application`).
class ScriptApplication {
 public:
  virtual ~ScriptApplication() = default;
  virtual std::string Title() const = 0;
  virtual void SetTitle(const std::string& title) = 0;
  virtual void ProcessMessages() = 0;
};

enum class ClassId { kTObject, kException, kTStringList, kTForm, kTApplication };

enum class MethodId : int {
  kCreate,  // TObject.Create, TStringList.Create
  kFree,
  kExceptionCreate,
  kMessageGet,
  kMessageSet,
  kSlAdd,
  kSlInsert,
  kSlDelete,
  kSlClear,
  kSlCountGet,
  kSlStringsGet,
  kSlStringsSet,
  kSlTextGet,
  kSlTextSet,
  kSlIndexOf,
  kSlSort,
  kSlSortedGet,
  kSlSortedSet,
  kSlLoadFromFile,
  kSlSaveToFile,
  kCaptionGet,
  kCaptionSet,
  kShow,
  kHide,
  kTitleGet,
  kTitleSet,
  kProcessMessages,
  kClassNameGet,
};

// A method or property as the compiler sees it. Type names are the script's.
struct MemberInfo {
  const char* name;
  bool property;
  const char* result;               // "" for procedures; the property's type
  std::vector<const char*> params;  // "var String" marks a var parameter
  MethodId method;                  // procedures, functions and property getters
  int setter = -1;                  // properties: MethodId of the setter, -1 read-only
  bool is_constructor = false;
  bool indexed_default = false;  // Strings[i] may be written sl[i]
};

struct ClassInfo {
  ClassId id;
  const char* name;
  const ClassInfo* parent;
  std::vector<MemberInfo> members;
  // The member named `name` (lower case) of this class or its ancestors.
  const MemberInfo* Find(const std::string& lower) const;
  bool InheritsFrom(const ClassInfo* other) const;
};

const std::vector<const ClassInfo*>& AllClasses();
const ClassInfo* FindClass(const std::string& lower);
const ClassInfo* FindClassById(ClassId id);

struct InstObj : Obj {
  explicit InstObj(const ClassInfo* c) : Obj(ObjKind::kInstance), cls(c) {}
  const ClassInfo* cls;
  bool freed = false;
};

struct ExceptionObj : InstObj {
  explicit ExceptionObj(std::string msg);
  std::string message;
  // Where it was raised: routine, byte-code position, line table index.
  int func = -1, pc = 0, line = -1;
};

struct StringListObj : InstObj {
  StringListObj();
  std::vector<std::string> items;
  bool sorted = false;
};

struct FormObj : InstObj {
  explicit FormObj(ScriptForm* f);
  ScriptForm* form;
};

struct AppObj : InstObj {
  explicit AppObj(ScriptApplication* a);
  ScriptApplication* app;
};

// Most items a string list may hold, and the largest text it may load.
inline constexpr std::size_t kMaxListItems = 16u << 20;

// Runs a class method; frame[0] receives the result, frame[1] is self (or for a
// constructor unused), frame[2...] the arguments. Throws ScriptError.
void CallMethod(MethodId id, Value* frame, int nargs, const ClassInfo* constructed);

}  // namespace qm::script
