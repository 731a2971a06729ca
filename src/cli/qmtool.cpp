// qmtool: the map editor's core on the command line, for batch work.
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "common/errors.h"

namespace {

void PrintHelp(std::ostream& out) {
  out << "usage: qmtool SUBCOMMAND [ARGS...]\n\nSubcommands:\n";
  for (const auto& sub : qm::cli::Subcommands()) {
    std::string usage = sub.usage;
    out << "  " << usage;
    if (usage.size() < 44) out << std::string(44 - usage.size(), ' ');
    else out << "\n" << std::string(46, ' ');
    out << sub.summary << "\n";
  }
  out << "\nExit status 0 on success; otherwise a one-line message on stderr.\n";
}

// Matches the longest subcommand name ("tileset pack" before "tileset").
const qm::cli::Subcommand* Find(const std::vector<std::string>& args, std::size_t& words) {
  const qm::cli::Subcommand* best = nullptr;
  for (const auto& sub : qm::cli::Subcommands()) {
    const std::string name = sub.name;
    const auto space = name.find(' ');
    const std::size_t n = space == std::string::npos ? 1 : 2;
    if (args.size() < n) continue;
    const bool match = n == 1 ? args[0] == name
                              : args[0] == name.substr(0, space) && args[1] == name.substr(space + 1);
    if (match && (!best || n > words)) {
      best = &sub;
      words = n;
    }
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintHelp(args.empty() ? std::cerr : std::cout);
    return args.empty() ? 2 : 0;
  }
  std::size_t words = 0;
  const auto* sub = Find(args, words);
  if (!sub) {
    std::cerr << "qmtool: unknown subcommand \"" << args[0] << "\" (see qmtool --help)\n";
    return 2;
  }
  args.erase(args.begin(), args.begin() + static_cast<std::ptrdiff_t>(words));
  try {
    return sub->run(args);
  } catch (const qm::cli::CliError& error) {
    std::cerr << "qmtool: " << error.message << "\n";
  } catch (const qm::UserError& error) {
    std::cerr << "qmtool: " << error.what() << "\n";
  } catch (const std::bad_alloc&) {
    std::cerr << "qmtool: out of memory\n";
  } catch (const std::exception& error) {
    std::cerr << "qmtool: " << error.what() << "\n";
  }
  return 1;
}
