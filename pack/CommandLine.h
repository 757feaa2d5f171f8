#pragma once
// The tavrello-pack program: one subcommand per job, dispatched from a table.

#include <QString>
#include <QStringList>
#include <span>

namespace pack {

struct Command
{
    const char* name;
    const char* summary;
    // Receives the arguments after the command's name; returns the exit status.
    int (*run)(const QStringList& arguments);
};

// Exit status for anything wrong with the arguments or the input files; 1 is for the rest
// (a full disk, say).
inline constexpr int kBadInput = 2;

std::span<const Command> commands();

// main() for tavrello-pack. Errors come out as one line on stderr.
int runCommandLine(int argc, char** argv);

// Runs one command with its arguments; what it throws comes out as one line on stderr and an
// exit status (kBadInput for InputError, 1 for anything else).
int runCommand(const Command& command, const QStringList& arguments);

// The program beside tavrello-pack that `tavrello-pack generate` runs.
inline constexpr const char* kGeneratorProgram = "tavrello-generate";

// For commands: write to stdout, or report bad arguments (one line, returns kBadInput).
void printOut(const QString& text);
int usageError(const QString& problem);

} // namespace pack
