#include "ErrorTrap.h"

#include "ErrorReport.h"
#include "ProgramEnd.h"

#include <exception>

namespace support {

void ErrorTrap::report(int line)
{
    const std::exception_ptr error = std::current_exception();
    try {
        std::rethrow_exception(error);
    } catch (const ProgramEnded&) {
        throw;
    } catch (...) {
    }
    ShowErrorReport(m_location, describeException(error), line);
}

} // namespace support
