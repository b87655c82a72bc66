// corvane-cli: reads, writes, dumps, verifies and restores the camera's
// memory from the command line, and undoes journalled writes, on the same
// engine as the dialog. Exit statuses: see ExitStatus in cli/output.h.
#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backup/state_folder.h"
#include "cli/commands.h"
#include "cli/trace.h"
#include "platform/devices/devicemap.h"
#include "platform/posix/diagnostics.h"
#include "platform/process/environment.h"
#include "platform/process/stop_signals.h"

namespace {

using cli::CommonOptions;

// What runs the chosen command with the global options.
using Runner = std::function<int(const CommonOptions&)>;

// One subcommand: its name, its one-line help, and what adds its options
// and arguments (bound to an options object of its own) and gives its
// runner.
struct Command {
  const char* name;
  const char* help;
  std::function<Runner(CLI::App&)> define;
};

// A command whose options are a T: add binds them, run runs it.
template <class T>
Command Define(const char* name, const char* help, void (*add)(CLI::App&, T&),
               int (*run)(const CommonOptions&, const T&)) {
  return {name, help, [add, run](CLI::App& sub) -> Runner {
            auto options = std::make_shared<T>();
            add(sub, *options);
            return [options, run](const CommonOptions& common) { return run(common, *options); };
          }};
}

void AddPage(CLI::App& sub, std::optional<int>& page, const char* help) {
  sub.add_option("--page", page, help)->check(CLI::IsMember({0, 1}))->option_text("0|1");
}

void AddFormat(CLI::App& sub, std::optional<cli::Format>& format, const char* help) {
  static const std::map<std::string, cli::Format> kFormats = {{"ihex", cli::Format::kIntelHex},
                                                              {"raw", cli::Format::kRaw}};
  sub.add_option("--format", format, help)
      ->transform(CLI::CheckedTransformer(kFormats, CLI::ignore_case))
      ->option_text("ihex|raw");
}

// verify's and restore's FILE, --page and --format.
void AddFile(CLI::App& sub, cli::FileOptions& o) {
  sub.add_option("FILE", o.file, "Intel HEX or raw dump")->required();
  AddPage(sub, o.page, "only this page; a raw file of 256 bytes is this page");
  AddFormat(sub, o.format, "ihex or raw (default: told by the content)");
}

// The help shows "--trace [=FILE]", without the flag's default value.
class Formatter : public CLI::Formatter {
 public:
  std::string make_option_name(const CLI::Option* opt, bool positional) const override {
    std::string name = CLI::Formatter::make_option_name(opt, positional);
    if (const auto brace = name.find('{'); brace != std::string::npos) {
      name.erase(brace, name.find('}', brace) + 1 - brace);
    }
    return name;
  }
};

const std::vector<Command>& Commands() {
  static const std::vector<Command> kCommands = {
      Define<cli::PortsOptions>(
          "ports", "List the COM map and every serial device with its state: one line each",
          [](CLI::App& sub, cli::PortsOptions& o) {
            sub.add_flag("--probe", o.probe,
                         "open each device for a moment to learn its state (this toggles its "
                         "modem lines); without it no device is opened");
          },
          cli::RunPorts),
      Define<cli::ReadOptions>(
          "read", "Read cells: one line per cell, such as \"0:F7 34\"",
          [](CLI::App& sub, cli::ReadOptions& o) {
            sub.add_option("CELL", o.cells, "PAGE:ADDRESS, such as 0:F7")->required();
          },
          cli::RunRead),
      Define<cli::WriteOptions>(
          "write", "Write cells: per cell read the old code, write, read back: \"0:F7 34 -> 5A\"",
          [](CLI::App& sub, cli::WriteOptions& o) {
            sub.add_option("CELL=CODE", o.writes, "such as 0:F7=5A")->required();
          },
          cli::RunWrite),
      Define<cli::DumpOptions>(
          "dump", "Read both pages (or one) to standard output or a file",
          [](CLI::App& sub, cli::DumpOptions& o) {
            AddPage(sub, o.page, "only this page (0 or 1)");
            sub.add_option("-o,--output", o.output,
                           "write to FILE (through a temporary file, renamed when complete)")
                ->option_text("FILE");
            AddFormat(sub, o.format,
                      "ihex (Intel HEX, the default) or raw (the bytes in address order)");
          },
          cli::RunDump),
      Define<cli::FileOptions>("verify",
                               "Compare the camera with a dump file: one line per differing cell",
                               AddFile, cli::RunVerify),
      Define<cli::RestoreOptions>(
          "restore",
          "Read the cells that a dump file holds, write those that differ, and check each",
          [](CLI::App& sub, cli::RestoreOptions& o) {
            sub.add_option("FILE", o.from.file, "Intel HEX or raw dump")->required();
            sub.add_flag("--dry-run", o.dryRun, "list the cells that would be written; write none");
            AddPage(sub, o.from.page, "only this page; a raw file of 256 bytes is this page");
            AddFormat(sub, o.from.format, "ihex or raw (default: told by the content)");
          },
          cli::RunRestore),
      Define<cli::UndoOptions>(
          "undo", "Write back the old codes of the last N journalled writes, newest first",
          [](CLI::App& sub, cli::UndoOptions& o) {
            sub.add_option("N", o.count, "how many writes (default 1)")->check(CLI::PositiveNumber);
            sub.add_flag("--force", o.force,
                         "write the old code back even when the cell holds another code than "
                         "the write left there");
          },
          cli::RunUndo),
  };
  return kCommands;
}

// The services' warnings: "corvane-cli: <text>" on standard error, on a
// terminal over the progress bar that the line may hold.
void PrintDiagnostic(const std::string& text) {
  platform::WriteDiagnosticLine("corvane-cli", text, /*clearLine=*/true);
}

}  // namespace

int main(int argc, char** argv, char** envp) {
  // The environment is read here once, before any thread exists; the
  // services get what it says from here.
  platform::SetDiagnosticsHandler(&PrintDiagnostic);
  const platform::EnvironmentSettings settings = platform::ParseEnvironment(envp);
  platform::SetComOverrides(settings.comDevices);
  // A file size limit makes a write fail with EFBIG, which is reported (and
  // a journal line taken out again), rather than end the program.
  std::signal(SIGXFSZ, SIG_IGN);
  // Before any thread exists (see StopSignals).
  platform::StopSignals signals("finishing the transaction that runs");

  CLI::App app{
      "corvane-cli: reads and writes the DV camera's memory over a serial line.\n"
      "Exit status: 0 done, 1 a difference found (or undo found the cell changed),\n"
      "2 bad usage or input (nothing sent), 3 no port could be opened (or its line\n"
      "could not be set up), 4 the camera did not answer, 5 the camera was used,\n"
      "then the journal, the output file or standard output could not be written,\n"
      "128 + N stopped by signal N: SIGINT (Ctrl-C) 130, SIGTERM 143 or SIGHUP 129\n"
      "ends the command after the transaction that runs, with its summary; a second\n"
      "signal ends it at once. Each failure is one line on standard error."};
  app.name("corvane-cli");
  app.formatter(std::make_shared<Formatter>());
  app.set_version_flag("--version", "corvane-cli " CORVANE_VERSION);
  app.require_subcommand(1);
  app.fallthrough();
  CommonOptions options;
  options.stop = &signals;
  options.defaultJournal =
      backup::JournalFile(backup::StateFolder(settings.xdgStateHome, settings.home));
  std::string trace;
  app.add_option("--port", options.port,
                 "COM1 to COM4 (through the COM device map) or a device path; default: the "
                 "lowest COMn that opens")
      ->option_text("COMn|PATH");
  app.add_flag("--trace{-}", trace,
               "trace every byte on the line to FILE, or with --trace alone to standard error")
      ->option_text("[=FILE]");
  app.add_flag("-q,--quiet", options.quiet, "no progress bar and no summary");
  app.add_option("--journal", options.journal,
                 "the journal of writes (default: $XDG_STATE_HOME/corvane/journal)")
      ->option_text("FILE");
  app.add_flag("--safe", options.safe,
               "read every cell with a full Read transaction, not in one session");

  // Each command's runner, bound to its own options; the one that the
  // command line names runs.
  std::vector<Runner> runners;
  const Runner* run = nullptr;
  runners.reserve(Commands().size());
  for (const Command& command : Commands()) {
    CLI::App* sub = app.add_subcommand(command.name, command.help);
    runners.push_back(command.define(*sub));
    sub->callback([&run, runner = &runners.back()] { run = runner; });
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? cli::kExitDone : cli::kExitBadInput;
  }
  // --trace goes before CORVANE_TRACE.
  cli::SetTrace(!trace.empty() ? trace : settings.trace);
  const int status = (*run)(options);
  // Result lines that did not reach standard output (a full disk) are a
  // failure, even where every transaction went well. The commands print
  // them only once they have used the camera (`ports` checks its own).
  if (std::ferror(stdout) != 0 && status <= cli::kExitDiffers) {
    std::fprintf(stderr, "corvane-cli: cannot write the results to standard output\n");
    return cli::kExitLocalFailure;
  }
  return status;
}
