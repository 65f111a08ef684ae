// SPDX-License-Identifier: GPL-3.0-or-later
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <string>
#include <vector>

#include "app/cli/Cli.h"
#include "base/Version.h"

namespace {

struct TEntry {
  std::string Description;
  std::function<TCliRun(CLI::App&)> Setup;
};
std::map<std::string, TEntry>& Registry() {
  static std::map<std::string, TEntry> r;
  return r;
}

// The command being run, for the hint of an argument error.
std::string CurrentCommand;

}  // namespace

TCliCommand::TCliCommand(const char* name, const char* description, std::function<TCliRun(CLI::App&)> setup) {
  Registry()[name] = TEntry{description, std::move(setup)};
}

namespace cli {

void Error(const std::string& message) { std::fprintf(stderr, "stellon-cli: %s\n", message.c_str()); }

void TNoClobber::Add(CLI::App& app) {
  app.add_flag("-n,--no-clobber", On, "never replace an existing file: refuse instead (exit status 1)");
}

bool TNoClobber::Allows(const std::vector<std::string>& paths) const {
  bool all = true;
  for (const std::string& p : paths)
    if (!Policy().MayWrite(p)) {
      Error(p + ": exists; not replaced (--no-clobber)");
      all = false;
    }
  return all;
}

int ArgumentError(const std::string& message) {
  const std::string who = CurrentCommand.empty() ? "stellon-cli" : "stellon-cli " + CurrentCommand;
  std::fprintf(stderr, "%s: %s\nRun '%s --help' for more information.\n", who.c_str(), message.c_str(), who.c_str());
  return kArgumentError;
}

}  // namespace cli

int main(int argc, char** argv) {
  // A write beyond the file-size limit must fail as an error the writer
  // reports and cleans up, not kill the program halfway.
  std::signal(SIGXFSZ, SIG_IGN);
  CLI::App app("Stellon from the command line: frame and combine the images of planetary captures.",
               "stellon-cli");
  app.set_version_flag("--version", "stellon-cli " STELLON_VERSION_TEXT, "print the version and exit");
  app.require_subcommand(1);
  app.footer("Run 'stellon-cli COMMAND --help' for the arguments of a command. Exit status 2: bad arguments.");

  std::map<const CLI::App*, TCliRun> runs;
  for (const auto& [name, entry] : Registry()) {
    CLI::App* sub = app.add_subcommand(name, entry.Description);
    sub->footer("");
    runs[sub] = entry.Setup(*sub);
  }

  // "stellon-cli help" and "stellon-cli help COMMAND" as --help.
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "help") {
    args.erase(args.begin());
    args.push_back("--help");
  }
  if (args.empty()) {
    std::fputs(app.help().c_str(), stderr);
    return cli::kArgumentError;
  }

  if (args[0].rfind('-', 0) != 0 && Registry().count(args[0]) == 0)
    return cli::ArgumentError("unknown command '" + args[0] + "'");

  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them last first
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    std::fputs(app.help().c_str(), stdout);  // the chosen command's help, when there is one
    return 0;
  } catch (const CLI::CallForAllHelp&) {
    std::fputs(app.help("", CLI::AppFormatMode::All).c_str(), stdout);
    return 0;
  } catch (const CLI::CallForVersion& e) {
    std::printf("%s\n", e.what());
    return 0;
  } catch (const CLI::ParseError& e) {
    const std::vector<CLI::App*> chosen = app.get_subcommands();
    if (!chosen.empty()) CurrentCommand = chosen.front()->get_name();
    return cli::ArgumentError(e.what());
  }

  const CLI::App* chosen = app.get_subcommands().front();
  CurrentCommand = chosen->get_name();
  try {
    return runs.at(chosen)();
  } catch (const std::exception& e) {
    cli::Error(e.what());
    return 1;
  }
}
