#include "ProgramEnd.h"

#include <cstdio>
#include <cstdlib>

namespace support {
namespace {
std::function<void()>& handler()
{
    static std::function<void()> current;
    return current;
}
} // namespace

void EndProgram()
{
    if (handler()) {
        handler()();
        throw ProgramEnded{};
    }
    // Leave without running destructors or other handlers: the window and the database handle go
    // with the process, as a game in progress simply stops.
    std::fflush(nullptr);
    std::_Exit(EXIT_SUCCESS);
}

void setProgramEndHandler(std::function<void()> newHandler)
{
    handler() = std::move(newHandler);
}

} // namespace support
