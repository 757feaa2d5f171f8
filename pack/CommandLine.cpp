#include "CommandLine.h"

#include "Build.h"
#include "Check.h"
#include "CommandArguments.h"
#include "Extract.h"
#include "InputError.h"
#include "List.h"

#include <QCoreApplication>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace pack {

namespace {

int runGeneratorProgram(const QStringList& arguments);

// Adding a command is adding its line here.
constexpr Command kCommands[] = {
    {"build", "write a picture database from a manifest", &runBuild},
    {"list", "print the pairs of a database, one line each", &runList},
    {"extract", "take a database apart into pictures and a manifest", &runExtract},
    {"check", "find pairs that can't be played fairly", &runCheck},
    {"generate", "make a pair from a photo and add it to a manifest", &runGeneratorProgram},
};

// The generator links OpenCV, whose libraries take some 50 MiB of memory the moment they are
// loaded. It is a program of its own beside this one, so that build, list, extract and check
// don't carry it; `generate` hands the process over to it with the same arguments, output and
// exit status.
int runGeneratorProgram(const QStringList& arguments)
{
    const QByteArray program =
        QFile::encodeName(QCoreApplication::applicationDirPath() + QStringLiteral("/") +
                          QLatin1String(kGeneratorProgram));
    std::vector<QByteArray> words{program};
    for (const QString& a : arguments)
        words.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    ::execv(program.constData(), argv.data());
    throw std::runtime_error("the pair generator " + program.toStdString() +
                             " can't be started: " + std::strerror(errno));
}

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
        if (name == QLatin1String(c.name))
            return runCommand(c, args);
    }
    return usageError(QStringLiteral("unknown command \"%1\" (try --help)").arg(name));
}

int runCommand(const Command& command, const QStringList& arguments)
{
    try {
        return command.run(arguments);
    } catch (const UsageError& e) {
        printErr(
            QStringLiteral("%1: %2\n").arg(kProgram, oneLine(QString::fromLocal8Bit(e.what()))));
        return kBadInput;
    } catch (const InputError& e) {
        printErr(
            QStringLiteral("%1: %2: %3\n").arg(kProgram, oneLine(e.file()), oneLine(e.problem())));
        return kBadInput;
    } catch (const std::exception& e) {
        printErr(QStringLiteral("%1: %2: %3\n")
                     .arg(kProgram, QLatin1String(command.name),
                          oneLine(QString::fromLocal8Bit(e.what()))));
        return 1;
    }
}

} // namespace pack
