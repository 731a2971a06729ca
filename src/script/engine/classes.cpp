#include "script/engine/classes.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "script/engine/builtins.h"

namespace qm::script {

namespace {

std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

const ClassInfo kTObject{
    ClassId::kTObject,
    "TObject",
    nullptr,
    {
        {"Create", false, "", {}, MethodId::kCreate, -1, true, false},
        {"Free", false, "", {}, MethodId::kFree, -1, false, false},
        {"ClassName", true, "String", {}, MethodId::kClassNameGet, -1, false, false},
    }};

const ClassInfo kException{
    ClassId::kException,
    "Exception",
    &kTObject,
    {
        {"Create", false, "", {"String"}, MethodId::kExceptionCreate, -1, true, false},
        {"Message",
         true,
         "String",
         {},
         MethodId::kMessageGet,
         static_cast<int>(MethodId::kMessageSet),
         false,
         false},
    }};

const ClassInfo kTStringList{
    ClassId::kTStringList,
    "TStringList",
    &kTObject,
    {
        {"Add", false, "Integer", {"String"}, MethodId::kSlAdd, -1, false, false},
        {"Insert", false, "", {"Integer", "String"}, MethodId::kSlInsert, -1, false, false},
        {"Delete", false, "", {"Integer"}, MethodId::kSlDelete, -1, false, false},
        {"Clear", false, "", {}, MethodId::kSlClear, -1, false, false},
        {"Count", true, "Integer", {}, MethodId::kSlCountGet, -1, false, false},
        {"Strings",
         true,
         "String",
         {"Integer"},
         MethodId::kSlStringsGet,
         static_cast<int>(MethodId::kSlStringsSet),
         false,
         true},
        {"Text",
         true,
         "String",
         {},
         MethodId::kSlTextGet,
         static_cast<int>(MethodId::kSlTextSet),
         false,
         false},
        {"IndexOf", false, "Integer", {"String"}, MethodId::kSlIndexOf, -1, false, false},
        {"Sort", false, "", {}, MethodId::kSlSort, -1, false, false},
        {"Sorted",
         true,
         "Boolean",
         {},
         MethodId::kSlSortedGet,
         static_cast<int>(MethodId::kSlSortedSet),
         false,
         false},
        {"LoadFromFile", false, "", {"String"}, MethodId::kSlLoadFromFile, -1, false, false},
        {"SaveToFile", false, "", {"String"}, MethodId::kSlSaveToFile, -1, false, false},
    }};

const ClassInfo kTForm{ClassId::kTForm,
                       "TForm",
                       &kTObject,
                       {
                           {"Caption",
                            true,
                            "String",
                            {},
                            MethodId::kCaptionGet,
                            static_cast<int>(MethodId::kCaptionSet),
                            false,
                            false},
                           {"Show", false, "", {}, MethodId::kShow, -1, false, false},
                           {"Hide", false, "", {}, MethodId::kHide, -1, false, false},
                       }};

const ClassInfo kTApplication{
    ClassId::kTApplication,
    "TApplication",
    &kTObject,
    {
        {"Title",
         true,
         "String",
         {},
         MethodId::kTitleGet,
         static_cast<int>(MethodId::kTitleSet),
         false,
         false},
        {"ProcessMessages", false, "", {}, MethodId::kProcessMessages, -1, false, false},
    }};

InstObj* Self(Value* frame) {
  auto* o = static_cast<InstObj*>(frame[1].o);
  if (!o) throw ScriptError("Access to a nil object");
  if (o->freed) throw ScriptError("Access to an object that has been freed");
  return o;
}

StringListObj* List(Value* frame) {
  InstObj* o = Self(frame);
  if (o->cls->id != ClassId::kTStringList) throw ScriptError("Object is not a TStringList");
  return static_cast<StringListObj*>(o);
}

std::string Arg(Value* frame, int i) {
  return std::string(StrOf(Target(frame[i])));
}

void CheckIndex(const StringListObj* l, std::int64_t i, bool allow_end = false) {
  const auto n = static_cast<std::int64_t>(l->items.size());
  if (i < 0 || i > n || (i == n && !allow_end))
    throw ScriptError("List index out of bounds (" + std::to_string(i) + ")");
}

void CheckRoom(const StringListObj* l) {
  if (l->items.size() >= kMaxListItems) throw ScriptError("Out of memory: string list too long");
}

std::string JoinText(const StringListObj* l) {
  std::string out;
  for (const auto& s : l->items) {
    if (out.size() + s.size() + 2 > kMaxStringSize)
      throw ScriptError("Out of memory: text too long");
    out += s;
    out += "\r\n";
  }
  return out;
}

void SplitText(StringListObj* l, std::string_view text) {
  l->items.clear();
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t j = i;
    while (j < text.size() && text[j] != '\r' && text[j] != '\n') ++j;
    CheckRoom(l);
    l->items.emplace_back(text.substr(i, j - i));
    if (j < text.size() && text[j] == '\r' && j + 1 < text.size() && text[j + 1] == '\n') ++j;
    i = j + 1;
  }
  if (l->sorted) std::sort(l->items.begin(), l->items.end());
}

}  // namespace

const ClassInfo* FindClassById(ClassId id) {
  switch (id) {
    case ClassId::kTObject:
      return &kTObject;
    case ClassId::kException:
      return &kException;
    case ClassId::kTStringList:
      return &kTStringList;
    case ClassId::kTForm:
      return &kTForm;
    case ClassId::kTApplication:
      return &kTApplication;
  }
  return &kTObject;
}

const MemberInfo* ClassInfo::Find(const std::string& lower) const {
  for (const ClassInfo* c = this; c; c = c->parent)
    for (const auto& m : c->members)
      if (Lower(m.name) == lower) return &m;
  return nullptr;
}

bool ClassInfo::InheritsFrom(const ClassInfo* other) const {
  for (const ClassInfo* c = this; c; c = c->parent)
    if (c == other) return true;
  return false;
}

const std::vector<const ClassInfo*>& AllClasses() {
  static const std::vector<const ClassInfo*> all = {&kTObject, &kException, &kTStringList, &kTForm,
                                                    &kTApplication};
  return all;
}

const ClassInfo* FindClass(const std::string& lower) {
  for (const ClassInfo* c : AllClasses())
    if (Lower(c->name) == lower) return c;
  return nullptr;
}

ExceptionObj::ExceptionObj(std::string msg) : InstObj(&kException), message(std::move(msg)) {}
StringListObj::StringListObj() : InstObj(&kTStringList) {}
FormObj::FormObj(ScriptForm* f) : InstObj(&kTForm), form(f) {}
AppObj::AppObj(ScriptApplication* a) : InstObj(&kTApplication), app(a) {}

void CallMethod(MethodId id, Value* frame, int nargs, const ClassInfo* constructed) {
  (void)nargs;
  Value& result = frame[0];
  switch (id) {
    case MethodId::kCreate: {
      Obj* o;
      if (constructed->id == ClassId::kTStringList)
        o = new StringListObj();
      else if (constructed->id == ClassId::kException)
        o = new ExceptionObj("");
      else if (constructed->id == ClassId::kTObject)
        o = new InstObj(&kTObject);
      else
        throw ScriptError(std::string("Scripts cannot create a ") + constructed->name);
      SetObj(result, o);
      return;
    }
    case MethodId::kExceptionCreate:
      SetObj(result, new ExceptionObj(Arg(frame, 2)));
      return;
    case MethodId::kFree: {
      auto* o = static_cast<InstObj*>(frame[1].o);
      if (!o) return;  // Free on nil does nothing
      if (o->cls->id == ClassId::kTForm || o->cls->id == ClassId::kTApplication)
        throw ScriptError("This object belongs to the program and cannot be freed");
      if (o->freed) throw ScriptError("Object freed twice");
      o->freed = true;
      if (o->cls->id == ClassId::kTStringList) {
        static_cast<StringListObj*>(o)->items.clear();
        static_cast<StringListObj*>(o)->items.shrink_to_fit();
      }
      return;
    }
    case MethodId::kClassNameGet:
      SetStr(result, Self(frame)->cls->name);
      return;
    case MethodId::kMessageGet:
    case MethodId::kMessageSet: {
      InstObj* o = Self(frame);
      if (o->cls->id != ClassId::kException) throw ScriptError("Object is not an Exception");
      auto* e = static_cast<ExceptionObj*>(o);
      if (id == MethodId::kMessageGet)
        SetStr(result, e->message);
      else
        e->message = Arg(frame, 2);
      return;
    }
    case MethodId::kSlAdd: {
      StringListObj* l = List(frame);
      CheckRoom(l);
      std::string s = Arg(frame, 2);
      std::int64_t at;
      if (l->sorted) {
        auto it = std::lower_bound(l->items.begin(), l->items.end(), s);
        at = it - l->items.begin();
        l->items.insert(it, std::move(s));
      } else {
        at = static_cast<std::int64_t>(l->items.size());
        l->items.push_back(std::move(s));
      }
      SetScalar(result, at);
      return;
    }
    case MethodId::kSlInsert: {
      StringListObj* l = List(frame);
      if (l->sorted) throw ScriptError("Operation not allowed on a sorted list");
      CheckIndex(l, frame[2].i, true);
      CheckRoom(l);
      l->items.insert(l->items.begin() + frame[2].i, Arg(frame, 3));
      return;
    }
    case MethodId::kSlDelete: {
      StringListObj* l = List(frame);
      CheckIndex(l, frame[2].i);
      l->items.erase(l->items.begin() + frame[2].i);
      return;
    }
    case MethodId::kSlClear:
      List(frame)->items.clear();
      return;
    case MethodId::kSlCountGet:
      SetScalar(result, static_cast<std::int64_t>(List(frame)->items.size()));
      return;
    case MethodId::kSlStringsGet: {
      StringListObj* l = List(frame);
      CheckIndex(l, frame[2].i);
      SetStr(result, l->items[static_cast<std::size_t>(frame[2].i)]);
      return;
    }
    case MethodId::kSlStringsSet: {
      StringListObj* l = List(frame);
      if (l->sorted) throw ScriptError("Operation not allowed on a sorted list");
      CheckIndex(l, frame[2].i);
      l->items[static_cast<std::size_t>(frame[2].i)] = Arg(frame, 3);
      return;
    }
    case MethodId::kSlTextGet:
      SetStr(result, JoinText(List(frame)));
      return;
    case MethodId::kSlTextSet:
      SplitText(List(frame), StrOf(frame[2]));
      return;
    case MethodId::kSlIndexOf: {
      StringListObj* l = List(frame);
      const std::string s = Arg(frame, 2);
      std::int64_t found = -1;
      for (std::size_t i = 0; i < l->items.size(); ++i)
        if (l->items[i] == s) {
          found = static_cast<std::int64_t>(i);
          break;
        }
      SetScalar(result, found);
      return;
    }
    case MethodId::kSlSort: {
      StringListObj* l = List(frame);
      std::sort(l->items.begin(), l->items.end());
      return;
    }
    case MethodId::kSlSortedGet:
      SetScalar(result, List(frame)->sorted ? 1 : 0);
      return;
    case MethodId::kSlSortedSet: {
      StringListObj* l = List(frame);
      l->sorted = frame[2].i != 0;
      if (l->sorted) std::sort(l->items.begin(), l->items.end());
      return;
    }
    case MethodId::kSlLoadFromFile: {
      StringListObj* l = List(frame);
      const std::string path = Arg(frame, 2);
      std::ifstream in(path, std::ios::binary);
      if (!in) throw ScriptError("Cannot open file \"" + path + "\".");
      in.seekg(0, std::ios::end);
      const auto size = static_cast<std::int64_t>(in.tellg());
      if (size < 0 || static_cast<std::uint64_t>(size) > kMaxStringSize)
        throw ScriptError("File \"" + path + "\" is too large");
      in.seekg(0);
      std::string text(static_cast<std::size_t>(size), '\0');
      in.read(text.data(), size);
      SplitText(l, text);
      return;
    }
    case MethodId::kSlSaveToFile: {
      StringListObj* l = List(frame);
      const std::string path = Arg(frame, 2);
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      const std::string text = JoinText(l);
      if (!out || !out.write(text.data(), static_cast<std::streamsize>(text.size())))
        throw ScriptError("Cannot create file \"" + path + "\".");
      return;
    }
    case MethodId::kCaptionGet:
    case MethodId::kCaptionSet:
    case MethodId::kShow:
    case MethodId::kHide: {
      InstObj* o = Self(frame);
      if (o->cls->id != ClassId::kTForm) throw ScriptError("Object is not a TForm");
      ScriptForm* f = static_cast<FormObj*>(o)->form;
      if (id == MethodId::kCaptionGet)
        SetStr(result, f->Caption());
      else if (id == MethodId::kCaptionSet)
        f->SetCaption(Arg(frame, 2));
      else if (id == MethodId::kShow)
        f->Show();
      else
        f->Hide();
      return;
    }
    case MethodId::kTitleGet:
    case MethodId::kTitleSet:
    case MethodId::kProcessMessages: {
      InstObj* o = Self(frame);
      if (o->cls->id != ClassId::kTApplication) throw ScriptError("Object is not a TApplication");
      ScriptApplication* a = static_cast<AppObj*>(o)->app;
      if (id == MethodId::kTitleGet)
        SetStr(result, a->Title());
      else if (id == MethodId::kTitleSet)
        a->SetTitle(Arg(frame, 2));
      else
        a->ProcessMessages();
      return;
    }
  }
}

}  // namespace qm::script
