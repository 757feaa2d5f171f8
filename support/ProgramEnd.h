#pragma once

#include <functional>

namespace support {

// Ends the program at once, from wherever it is called: no further handler runs, no window is
// asked anything. Does not return.
[[noreturn]] void EndProgram();

// Tests replace the ending with a handler of their own, which must not return either (it throws
// ProgramEnded). An empty handler restores the real ending.
struct ProgramEnded
{
};
void setProgramEndHandler(std::function<void()> handler);

} // namespace support
