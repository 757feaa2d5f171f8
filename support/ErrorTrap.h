#pragma once

#include <QString>
#include <utility>

namespace support {

// The error trap of an event handler. The handler runs each numbered statement through the trap;
// an exception thrown by the statement, or by a routine it calls, is shown as one error report
// with the handler's location text and the statement's line, and the handler goes on with its
// next statement. A routine that throws is thereby left at that point, the rest of it skipped.
//
//     ErrorTrap trap(QStringLiteral("in Tavrello2021/08/31.Form1.Form_Load "));
//     trap.run(102, [&] { ApplySkin(...); });
//     if (trap.test(104, [&] { return condition(); })) { ... }
class ErrorTrap
{
  public:
    explicit ErrorTrap(QString location) : m_location(std::move(location)) {}

    template <class Statement> void run(int line, Statement&& statement)
    {
        try {
            std::forward<Statement>(statement)();
        } catch (...) {
            report(line);
        }
    }

    // A condition that throws is reported once and then counts as false, so the block it guards
    // is skipped: a failure must never pass for a success.
    template <class Condition> bool test(int line, Condition&& condition)
    {
        try {
            return static_cast<bool>(std::forward<Condition>(condition)());
        } catch (...) {
            report(line);
            return false;
        }
    }

    const QString& location() const { return m_location; }

  private:
    // Shows the report for the exception being handled. The program's end passes through.
    void report(int line);

    QString m_location;
};

} // namespace support
