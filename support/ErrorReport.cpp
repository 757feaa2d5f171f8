#include "ErrorReport.h"

#include "MessageBoxes.h"

#include <new>
#include <stdexcept>

namespace support {

QString errorReportText(const QString& description, const QString& location, int line)
{
    return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") +
           QString::number(line) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") + supportAddress;
}

QString describeException(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Out of memory.");
    } catch (const std::exception& e) {
        const QString what = QString::fromUtf8(e.what());
        return what.isEmpty() ? QStringLiteral("Unexpected error.") : what;
    } catch (...) {
        return QStringLiteral("Unexpected error.");
    }
}

void ShowErrorReport(const QString& location, const QString& description, int line)
{
    ShowMessage(errorReportText(description, location, line), Exclamation,
                QStringLiteral("Application Error"));
}

} // namespace support
