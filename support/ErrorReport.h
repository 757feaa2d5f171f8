#pragma once

#include <QString>
#include <exception>

namespace support {

inline const QString supportAddress = QStringLiteral("support@tavrello.example.org");

// The text of the error report: the description, the handler's location text with the line, an
// empty line and the request for a screenshot.
QString errorReportText(const QString& description, const QString& location, int line);

// The readable description of an exception caught by a trap.
QString describeException(const std::exception_ptr& error);

// Shows the error report for the given error, titled "Application Error", with the warning icon.
void ShowErrorReport(const QString& location, const QString& description, int line);

} // namespace support
