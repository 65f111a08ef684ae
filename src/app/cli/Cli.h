// stellon-cli: a thin command-line front over the core. Every file of this
// folder registers its subcommands with a static TCliCommand.
#pragma once

#include <functional>
#include <string>
#include <vector>

using TCliArgs = std::vector<std::string>;

struct TCliCommand {
  // name: the subcommand word; usage: one line shown by "stellon-cli help";
  // run: gets the arguments after the subcommand word, returns the exit status.
  TCliCommand(const char* name, const char* usage, std::function<int(const TCliArgs&)> run);
};

// Shared helpers for subcommands.
namespace cli {
// Prints "stellon-cli: <message>" on standard error.
void Error(const std::string& message);
// Removes "--name VALUE" (or "--name=VALUE") from args; true and value when present.
bool TakeOption(TCliArgs& args, const std::string& name, std::string& value);
// Removes a "--name" switch from args; true when present.
bool TakeFlag(TCliArgs& args, const std::string& name);
}  // namespace cli
