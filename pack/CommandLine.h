#pragma once
// How every tavrello-pack command, `generate` included, runs: what it throws becomes one line on
// stderr and an exit status by one rule.

#include <QString>
#include <QStringList>

namespace pack {

struct Command
{
    const char* name;
    const char* summary;
    // Receives the arguments after the command's name; returns the exit status. Failures are
    // thrown (UsageError, InputError, std::exception), never printed by the command itself.
    int (*run)(const QStringList& arguments);
};

// Exit status for anything wrong with the arguments or the input files (UsageError,
// InputError); 1 is for the rest (a full disk, say).
inline constexpr int kBadInput = 2;

// The program's name in every message, whichever executable prints it.
inline constexpr const char* kProgram = "tavrello-pack";

// Runs one command with its arguments; what it throws comes out as one line on stderr and an
// exit status (kBadInput for UsageError and InputError, 1 for anything else).
int runCommand(const Command& command, const QStringList& arguments);

// Called inside a catch block: prints what was thrown as one line and returns its exit status.
// `command` names the command for failures that are not the user's (nullptr: none running).
int reportFailure(const char* command);

// For commands: write to stdout.
void printOut(const QString& text);

} // namespace pack
