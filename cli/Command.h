#pragma once
// What a command gets and how it fails, and the commands themselves. A new
// command is one function here and one entry in the table in cli/Cli.cpp.
#include <QJsonObject>
#include <QString>

#include "cli/Cli.h"
#include "cli/Progress.h"

namespace calorix::cli {

// Ends a command: the message goes to stderr as one line, the code is the
// exit code.
struct CliError {
  int code;
  QString message;
};

class CommandContext {
 public:
  CommandContext(const GlobalOptions& options, CliEnv& env, Progress& progress);

  const GlobalOptions& options;
  CliEnv& env;
  Progress& progress;
  // The machine-readable result (--json); "ok" and "command" are added.
  QJsonObject result;

  // Opens the link on first use; CliError (kExitLink) when it cannot.
  Link& link();
  bool linkOpened() const { return link_ != nullptr; }
  // A line of the human-readable result on stdout (nothing with --json).
  void say(const QString& line);

 private:
  Link* link_ = nullptr;
};

int backupCommand(CommandContext& ctx);
int restoreCommand(CommandContext& ctx);
int verifyCommand(CommandContext& ctx);
int readRamCommand(CommandContext& ctx);
int writeRamCommand(CommandContext& ctx);
int traceCommand(CommandContext& ctx);
int plotCommand(CommandContext& ctx);
int portsCommand(CommandContext& ctx);
int tuneCommand(CommandContext& ctx);

}  // namespace calorix::cli
