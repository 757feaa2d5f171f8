#include "CommandLine.h"

#include "Build.h"
#include "Check.h"
#include "Extract.h"
#include "InputError.h"
#include "List.h"
#include "generate/Generate.h"

#include <QCoreApplication>
#include <cstdio>

namespace pack {

namespace {

// Adding a command is adding its line here.
constexpr Command kCommands[] = {
    {"build", "write a picture database from a manifest", &runBuild},
    {"list", "print the pairs of a database, one line each", &runList},
    {"extract", "take a database apart into pictures and a manifest", &runExtract},
    {"check", "find pairs that can't be played fairly", &runCheck},
    {"generate", "make a pair from a photo and add it to a manifest", &generate::runGenerate},
};

constexpr const char* kProgram = "tavrello-pack";

void printErr(const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

QString programHelp()
{
    QString text = QStringLiteral("Usage: %1 COMMAND [ARGUMENTS...]\n\n"
                                  "Builds Tavrello's picture database.\n\n"
                                  "Commands:\n")
                       .arg(kProgram);
    for (const Command& c : kCommands)
        text += QStringLiteral("  %1  %2\n").arg(QLatin1String(c.name), -10).arg(c.summary);
    text += QStringLiteral("\nRun '%1 COMMAND --help' for a command's options, '%1 --version' for "
                           "the version.\n")
                .arg(kProgram);
    return text;
}

// Keeps a message to one line whatever it quotes.
QString oneLine(QString s)
{
    s.replace('\n', ' ');
    s.replace('\r', ' ');
    return s;
}

} // namespace

std::span<const Command> commands()
{
    return kCommands;
}

void printOut(const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

int usageError(const QString& problem)
{
    printErr(QStringLiteral("%1: %2\n").arg(kProgram, oneLine(problem)));
    return kBadInput;
}

int runCommandLine(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    if (args.isEmpty())
        return usageError("which command? (try --help)");
    const QString name = args.takeFirst();
    if (name == "-h" || name == "--help" || name == "help") {
        printOut(programHelp());
        return 0;
    }
    if (name == "--version") {
        printOut(QStringLiteral("%1 %2\n").arg(kProgram, QStringLiteral(TAVRELLO_VERSION)));
        return 0;
    }
    for (const Command& c : kCommands) {
        if (name != QLatin1String(c.name))
            continue;
        try {
            return c.run(args);
        } catch (const InputError& e) {
            printErr(QStringLiteral("%1: %2: %3\n")
                         .arg(kProgram, oneLine(e.file()), oneLine(e.problem())));
            return kBadInput;
        } catch (const std::exception& e) {
            printErr(QStringLiteral("%1: %2: %3\n")
                         .arg(kProgram, name, oneLine(QString::fromLocal8Bit(e.what()))));
            return 1;
        }
    }
    return usageError(QStringLiteral("unknown command \"%1\" (try --help)").arg(name));
}

} // namespace pack
