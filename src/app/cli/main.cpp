#include <csignal>
#include <cstdio>
#include <exception>
#include <map>
#include <string>

#include "app/cli/Cli.h"

namespace {
struct Entry {
  std::string Usage;
  std::function<int(const TCliArgs&)> Run;
};
std::map<std::string, Entry>& Registry() {
  static std::map<std::string, Entry> r;
  return r;
}

int Usage(FILE* out) {
  std::fprintf(out, "usage: stellon-cli COMMAND [ARGS...]\n");
  for (const auto& [name, e] : Registry()) std::fprintf(out, "  %s\n", e.Usage.c_str());
  return out == stderr ? 2 : 0;
}
}  // namespace

TCliCommand::TCliCommand(const char* name, const char* usage, std::function<int(const TCliArgs&)> run) {
  Registry()[name] = Entry{usage, std::move(run)};
}

namespace cli {
void Error(const std::string& message) { std::fprintf(stderr, "stellon-cli: %s\n", message.c_str()); }

bool TakeOption(TCliArgs& args, const std::string& name, std::string& value) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == name && i + 1 < args.size()) {
      value = args[i + 1];
      args.erase(args.begin() + long(i), args.begin() + long(i) + 2);
      return true;
    }
    if (args[i].rfind(name + "=", 0) == 0) {
      value = args[i].substr(name.size() + 1);
      args.erase(args.begin() + long(i));
      return true;
    }
  }
  return false;
}

bool TakeFlag(TCliArgs& args, const std::string& name) {
  for (size_t i = 0; i < args.size(); ++i)
    if (args[i] == name) {
      args.erase(args.begin() + long(i));
      return true;
    }
  return false;
}
}  // namespace cli

int main(int argc, char** argv) {
  // A write beyond the file-size limit must fail as an error the writer
  // reports and cleans up, not kill the program halfway.
  std::signal(SIGXFSZ, SIG_IGN);
  if (argc < 2) return Usage(stderr);
  const std::string command = argv[1];
  if (command == "help" || command == "--help" || command == "-h") return Usage(stdout);
  auto it = Registry().find(command);
  if (it == Registry().end()) {
    cli::Error("unknown command '" + command + "'");
    return Usage(stderr);
  }
  TCliArgs args(argv + 2, argv + argc);
  try {
    return it->second.Run(args);
  } catch (const std::exception& e) {
    cli::Error(e.what());
    return 1;
  }
}
