// quillstone: the command-line face of the reader. main() only parses the
// arguments and hands each command to its library function.
#include <CLI/CLI.hpp>

#include <iostream>
#include <string>

#include "cli/info_command.h"
#include "cli/terminal_progress.h"
#include "common/application_state.h"

int main(int argc, char** argv) {
  using namespace quill;

  CLI::App app{"Quillstone: read-only recovery and browsing of SQL Server data files"};
  app.require_subcommand(1);

  std::string info_path;
  CLI::App* info = app.add_subcommand("info", "Print the identity of a data file: database, version, collation, pages");
  info->add_option("FILE", info_path, "Primary data file (.mdf)")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }

  ApplicationState state;
  state.collationTable = LoadCollationTable(DefaultCollationTablePath());
  TerminalProgress progress = TerminalProgress::ForStderr();

  if (info->parsed()) return RunInfoCommand(info_path, state, progress, std::cout);
  return kExitUsage;
}
