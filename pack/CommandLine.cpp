#include "CommandLine.h"

#include "CommandArguments.h"
#include "InputError.h"

#include <cstdio>

namespace pack {

namespace {

void printErr(const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

// Keeps a message to one line whatever it quotes.
QString oneLine(QString s)
{
    s.replace('\n', ' ');
    s.replace('\r', ' ');
    return s;
}

} // namespace

void printOut(const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

int reportFailure(const char* command)
{
    try {
        throw;
    } catch (const UsageError& e) {
        printErr(
            QStringLiteral("%1: %2\n").arg(kProgram, oneLine(QString::fromLocal8Bit(e.what()))));
        return kBadInput;
    } catch (const InputError& e) {
        printErr(
            QStringLiteral("%1: %2: %3\n").arg(kProgram, oneLine(e.file()), oneLine(e.problem())));
        return kBadInput;
    } catch (const std::exception& e) {
        const QString what = oneLine(QString::fromLocal8Bit(e.what()));
        printErr(command ? QStringLiteral("%1: %2: %3\n").arg(kProgram, command, what)
                         : QStringLiteral("%1: %2\n").arg(kProgram, what));
        return 1;
    }
}

int runCommand(const Command& command, const QStringList& arguments)
{
    try {
        return command.run(arguments);
    } catch (const std::exception&) {
        return reportFailure(command.name);
    }
}

} // namespace pack
