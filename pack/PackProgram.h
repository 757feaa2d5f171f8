#pragma once
// The tavrello-pack program: one subcommand per job, dispatched from a table.

#include "CommandLine.h"

namespace pack {

// main() for tavrello-pack. Errors come out as one line on stderr.
int runCommandLine(int argc, char** argv);

} // namespace pack
