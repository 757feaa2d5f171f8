#include "PackProgram.h"

#include "Build.h"
#include "Check.h"
#include "CommandArguments.h"
#include "Extract.h"
#include "List.h"
#include "Sheet.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <cerrno>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace pack {

namespace {

int runGeneratorProgram(const QStringList& arguments);

// The program beside tavrello-pack that `tavrello-pack generate` runs.
constexpr const char* kGeneratorProgram = "tavrello-generate";

// Adding a command is adding its line here.
constexpr Command kCommands[] = {
    {"build", "write a picture database from a manifest", &runBuild},
    {"list", "print the pairs of a database, one line each", &runList},
    {"extract", "take a database apart into pictures and a manifest", &runExtract},
    {"check", "find pairs that can't be played fairly", &runCheck},
    {"sheet", "draw every pair into one PNG to look over", &runSheet},
    {"generate", "make a pair from a photo and add it to a manifest", &runGeneratorProgram},
};

// The generator links OpenCV, whose libraries take some 50 MiB of memory the moment they are
// loaded. It is a program of its own beside this one, so that build, list, extract and check
// don't carry it; `generate` hands the process over to it with the same arguments, output and
// exit status (it reports through runCommand too).
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

int dispatch(QStringList args)
{
    if (args.isEmpty())
        throw UsageError("which command? (try --help)");
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
    throw UsageError(QStringLiteral("unknown command \"%1\" (try --help)").arg(name).toStdString());
}

// Drawing text needs Qt's fonts, which come with a QGuiApplication and its platform plugin. Only
// the sheet draws, so only it pays for loading them; it shows no window, so the offscreen
// platform serves it with or without a display.
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "sheet") == 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // Starting the platform, Qt remarks on the session it finds (no XDG_RUNTIME_DIR, say);
        // that is no concern of a command that writes a file, and it would break the rule that
        // a failure is one line on stderr.
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        auto app = std::make_unique<QGuiApplication>(argc, argv);
        qInstallMessageHandler(previous);
        return app;
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

} // namespace

int runCommandLine(int argc, char** argv)
{
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    try {
        return dispatch(args);
    } catch (const std::exception&) {
        return reportFailure(nullptr);
    }
}

} // namespace pack
