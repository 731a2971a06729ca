#include "script/engine/engine.h"

#include "script/engine/builtins.h"
#include "script/engine/lexer.h"
#include "script/engine/vm.h"

namespace qm::script {

std::string CompilerMessage::Formatted() const {
  const char* k = kind == Kind::kError     ? "[Error] "
                  : kind == Kind::kWarning ? "[Warning] "
                                           : "[Hint] ";
  return std::string(k) + file + "(" + std::to_string(row) + ":" + std::to_string(col) +
         "): " + text;
}

Value& HostCall::Arg(std::size_t i) const {
  return Target(frame_[1 + i]);
}

std::int64_t HostCall::Int(std::size_t i) const {
  return Arg(i).i;
}

double HostCall::Real(std::size_t i) const {
  const Type* t = sig_.params[i];
  return t->kind == TypeKind::kReal ? Arg(i).d : static_cast<double>(Arg(i).i);
}

std::string HostCall::Str(std::size_t i) const {
  const Type* t = sig_.params[i];
  if (t->kind == TypeKind::kChar) return std::string(1, static_cast<char>(Arg(i).i));
  return std::string(StrOf(Arg(i)));
}

void HostCall::SetInt(std::size_t i, std::int64_t v) {
  SetScalar(Arg(i), v);
}

void HostCall::SetStr(std::size_t i, const std::string& s) {
  if (s.size() > kMaxStringSize) throw ScriptError("Out of memory: string too long");
  qm::script::SetStr(Arg(i), s);
}

void HostCall::ReturnInt(std::int64_t v) {
  SetScalar(frame_[0], v);
}
void HostCall::ReturnReal(double v) {
  SetReal(frame_[0], v);
}
void HostCall::ReturnStr(const std::string& s) {
  if (s.size() > kMaxStringSize) throw ScriptError("Out of memory: string too long");
  qm::script::SetStr(frame_[0], s);
}

Engine::Engine() = default;
Engine::~Engine() = default;

void Engine::RegisterRoutine(const std::string& declaration, HostHandler handler) {
  (in_compile_ ? compile_routines_ : routines_).push_back({declaration, std::move(handler)});
}

void Engine::RegisterVariable(const std::string& name, const std::string& type_name) {
  (in_compile_ ? compile_vars_ : vars_).push_back({name, type_name});
}

void Engine::ClearRegistrations() {
  routines_.clear();
  vars_.clear();
  compile_routines_.clear();
  compile_vars_.clear();
}

void Engine::SetText(const std::string& text) {
  lines_.clear();
  std::size_t i = 0;
  while (i <= text.size()) {
    std::size_t j = i;
    while (j < text.size() && text[j] != '\n' && text[j] != '\r') ++j;
    lines_.push_back(text.substr(i, j - i));
    if (j >= text.size()) break;
    if (text[j] == '\r' && j + 1 < text.size() && text[j + 1] == '\n') ++j;
    i = j + 1;
  }
}

void Engine::SetMainFileName(const std::string& name) {
  const std::string next = name.empty() ? "Unnamed" : name;
  breakpoints_.Rename(main_file_, next);
  main_file_ = next;
  breakpoints_.Touch();  // a run in progress re-reads the file names of its lines
  control_.attention = true;
  Poke();
}

bool Engine::Compile() {
  if (Running()) {
    messages_.clear();
    messages_.push_back({CompilerMessage::Kind::kError, main_file_, 0, 0,
                         "Cannot compile while the script is running"});
    return false;
  }
  program_.reset();
  messages_.clear();
  compile_routines_.clear();
  compile_vars_.clear();
  if (on_compile) {
    in_compile_ = true;
    try {
      on_compile();
    } catch (...) {
      in_compile_ = false;
      throw;
    }
    in_compile_ = false;
  }
  std::vector<HostDecl> decls;
  handlers_.clear();
  for (const auto* list : {&routines_, &compile_routines_})
    for (const auto& r : *list) {
      decls.push_back({r.declaration});
      handlers_.push_back(r.handler);
    }
  std::vector<HostVarDecl> vars = vars_;
  vars.insert(vars.end(), compile_vars_.begin(), compile_vars_.end());

  std::string text;
  for (const auto& l : lines_) {
    text += l;
    text += '\n';
  }
  Preprocessor pre([this](const std::string& name, std::string& out) {
    return on_need_file ? on_need_file(name, out) : false;
  });
  for (const auto& d : defines_) pre.Define(d);
  auto out = std::make_unique<CompileOutput>();
  try {
    Lexer lex(pre);
    std::vector<Token> toks;
    lex.Tokenize(text, 0, toks);
    Token eof;
    eof.row = static_cast<int>(lines_.size());
    eof.col = 1;
    if (!toks.empty() && toks.back().file == 0) eof.row = std::max(eof.row, toks.back().row);
    toks.push_back(eof);
    CompileTokens(toks, decls, vars, *out);
  } catch (const CompileError& e) {
    std::string file = e.file == 0 ? main_file_
                                   : (static_cast<std::size_t>(e.file) <= pre.Files().size()
                                          ? pre.Files()[static_cast<std::size_t>(e.file - 1)]
                                          : main_file_);
    messages_.push_back({CompilerMessage::Kind::kError, file, e.row, e.col, e.message});
    return false;
  }
  out->program.files.push_back(main_file_);
  for (const auto& f : pre.Files()) out->program.files.push_back(f);
  signatures_ = std::move(out->hosts);
  program_ = std::make_unique<Program>(std::move(out->program));
  return true;
}

bool Engine::Execute() {
  last_error_ = RunError{};
  if (!program_) {
    last_error_.message = "The script has not been compiled";
    return false;
  }
  if (Running()) {
    last_error_.message = "A script is already running";
    return false;
  }
  control_.stop.store(false);
  control_.pause_requested = false;
  control_.step = start_stepping_ ? RunControl::Step::kInto : RunControl::Step::kNone;
  control_.step_depth = 0;
  control_.state = start_stepping_ ? RunState::kStepping : RunState::kRunning;
  control_.attention = true;  // the first line looks at everything
  start_stepping_ = false;
  bool ok = false;
  {
    Machine machine(*this);
    machine_ = &machine;
    try {
      if (on_execute) on_execute();
      ok = machine.Run();
      if (!ok) last_error_ = machine.Error();
    } catch (...) {
      machine_ = nullptr;
      control_.state = RunState::kIdle;
      if (on_after_execute) on_after_execute();
      throw;
    }
    machine_ = nullptr;
  }
  control_.state = RunState::kIdle;
  control_.step = RunControl::Step::kNone;
  if (on_after_execute) on_after_execute();
  return ok;
}

namespace {

const Program::Global* FindGlobal(const Program* p, const std::string& name) {
  if (!p) return nullptr;
  auto lower = [](std::string s) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  const std::string n = lower(name);
  for (const auto& g : p->globals)
    if (lower(g.name) == n) return &g;
  return nullptr;
}

}  // namespace

bool Engine::SetGlobalInt(const std::string& name, std::int64_t value) {
  const auto* g = FindGlobal(program_.get(), name);
  if (!g || !machine_ || !g->type->IsOrdinal()) return false;
  SetScalar(machine_->Globals()[g->slot], value);
  return true;
}

bool Engine::BindForm(const std::string& name, ScriptForm* form) {
  const auto* g = FindGlobal(program_.get(), name);
  if (!g || !machine_ || g->type->kind != TypeKind::kClass || g->type->cls->id != ClassId::kTForm)
    return false;
  SetObj(machine_->Globals()[g->slot], form ? new FormObj(form) : nullptr);
  return true;
}

bool Engine::BindApplication(const std::string& name, ScriptApplication* app) {
  const auto* g = FindGlobal(program_.get(), name);
  if (!g || !machine_ || g->type->kind != TypeKind::kClass ||
      g->type->cls->id != ClassId::kTApplication)
    return false;
  SetObj(machine_->Globals()[g->slot], app ? new AppObj(app) : nullptr);
  return true;
}

std::optional<std::int64_t> Engine::GlobalInt(const std::string& name) const {
  const auto* g = FindGlobal(program_.get(), name);
  if (!g || !machine_ || !g->type->IsOrdinal()) return std::nullopt;
  return machine_->Globals()[g->slot].i;
}

void Engine::Stop() {
  if (!Running()) return;
  control_.stop.store(true);
  control_.attention = true;
  Poke();
}

void Engine::Pause() {
  if (control_.state == RunState::kRunning || control_.state == RunState::kStepping) {
    control_.pause_requested = true;
    control_.attention = true;
    Poke();
  }
}

void Engine::Resume() {
  if (control_.state == RunState::kPaused) {
    control_.step = RunControl::Step::kNone;
    control_.state = RunState::kRunning;
  }
}

void Engine::StepInto() {
  if (!Running()) {
    start_stepping_ = true;
    return;
  }
  control_.step = RunControl::Step::kInto;
  control_.state = RunState::kStepping;
  control_.attention = true;
  Poke();
}

void Engine::StepOver() {
  if (!Running()) {
    start_stepping_ = true;
    return;
  }
  control_.step = RunControl::Step::kOver;
  control_.step_depth = 0;  // the machine takes the current depth at its next line
  control_.state = RunState::kStepping;
  control_.attention = true;
  Poke();
}

void Engine::Poke() {
  if (machine_) machine_->Poke();
}

}  // namespace qm::script
