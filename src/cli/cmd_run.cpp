// qmtool run SCRIPT: compiles and runs a script headless, with its console and
// dialog routines on the terminal.
#include <unistd.h>

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "common/errors.h"
#include "script/engine/engine.h"

namespace qm::cli {

namespace {

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ReadWhole(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return true;
}

// One answer line from stdin; false at the end of input (taken as Cancel).
bool ReadAnswer(std::string& line) {
  std::cout.flush();
  if (!std::getline(std::cin, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

void RegisterTerminalRoutines(script::Engine& engine) {
  using script::HostCall;
  engine.RegisterRoutine("procedure Writeln(s: string)",
                         [](HostCall& c) { std::cout << c.Str(0) << '\n'; });
  engine.RegisterRoutine("procedure readln(var s: string)", [](HostCall& c) {
    std::string line;
    c.SetStr(0, ReadAnswer(line) ? line : std::string());
  });
  engine.RegisterRoutine("procedure Clr", [](HostCall&) {
    // Only a real terminal can be cleared; redirected output keeps its lines.
    if (isatty(STDOUT_FILENO)) std::cout << "\x1b[H\x1b[2J";
  });
  engine.RegisterRoutine("procedure ShowMessage(s: String)",
                         [](HostCall& c) { std::cout << c.Str(0) << '\n'; });
  engine.RegisterRoutine("function Confirm(c,t: String): Boolean", [](HostCall& c) {
    std::cout << c.Str(0) << ": " << c.Str(1) << " [OK/Cancel] ";
    std::string line;
    const bool ok = ReadAnswer(line) && !line.empty() &&
                    (line[0] == 'o' || line[0] == 'O' || line[0] == 'y' || line[0] == 'Y');
    c.ReturnBool(ok);
  });
  engine.RegisterRoutine("function InputBox(c,p,d: String): String", [](HostCall& c) {
    std::cout << c.Str(0) << ": " << c.Str(1) << " [" << c.Str(2) << "] ";
    std::string line;
    c.ReturnStr(ReadAnswer(line) ? line : c.Str(2));
  });
  engine.RegisterRoutine("function InputQuery(c,p: String; Var v: String): Boolean",
                         [](HostCall& c) {
                           std::cout << c.Str(0) << ": " << c.Str(1) << " [" << c.Str(2) << "] ";
                           std::string line;
                           if (ReadAnswer(line)) {
                             c.SetStr(2, line);
                             c.ReturnBool(true);
                           } else {
                             c.ReturnBool(false);
                           }
                         });
}

}  // namespace

int RunScript(const std::vector<std::string>& args) {
  Arguments a(args, {}, {});
  a.ExpectPositional(1, "run SCRIPT");
  const std::string path = a.Positional()[0];
  std::string text;
  if (!ReadWhole(path, text)) throw CliError{CannotOpenMessage(path, SystemReason(errno))};

  script::Engine engine;
  engine.SetText(text);
  engine.SetMainFileName(FileNameOf(path));
  const std::string base = DirectoryOf(path).empty() ? std::string() : DirectoryOf(path);
  engine.on_need_file = [&](const std::string& name, std::string& out) {
    return ReadWhole(base + name, out);
  };
  RegisterTerminalRoutines(engine);

  bool compiled;
  try {
    compiled = engine.Compile();
  } catch (const script::IncludeError& e) {
    throw CliError{e.what()};
  }
  for (const auto& m : engine.Messages()) std::cerr << m.Formatted() << '\n';
  if (!compiled) return 1;
  std::cerr << "Compilation Successful\n";
  const bool ok = engine.Execute();
  std::cout.flush();
  if (ok) {
    std::cerr << "Execution Complete\n";
    return 0;
  }
  const auto& e = engine.LastError();
  std::cerr << "Runtime Error: " << e.message << " at [" << e.row << ":" << e.col
            << "] bytecode pos:" << e.proc << ":" << e.pos << '\n';
  return 2;
}

}  // namespace qm::cli
