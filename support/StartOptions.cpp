#include "StartOptions.h"

#include <QFile>
#include <cstdio>

namespace support {
namespace {

QString helpText(const ProgramAbout& about)
{
    return QStringLiteral("Usage: %1 %2\n\n%3\nOptions:\n"
                          "  -h, --help     print this help and end\n"
                          "  -v, --version  print the version and end\n")
        .arg(about.name, about.operands, about.help);
}

} // namespace

StartOptions::StartOptions(const ProgramAbout& about, const QStringList& arguments)
{
    bool optionsEnded = false;
    for (const QString& word : arguments) {
        if (!optionsEnded && word == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded &&
                   (word == QLatin1String("-h") || word == QLatin1String("--help"))) {
            m_output = helpText(about);
            m_exitStatus = 0;
            return;
        } else if (!optionsEnded &&
                   (word == QLatin1String("-v") || word == QLatin1String("--version"))) {
            m_output = about.name + QLatin1Char(' ') + about.version + QLatin1Char('\n');
            m_exitStatus = 0;
            return;
        } else if (!optionsEnded && word.size() > 1 && word.startsWith(QLatin1Char('-'))) {
            refuse(about, QStringLiteral("unknown option '%1'").arg(word));
            return;
        } else if (word.isEmpty()) {
            // An empty word names no file; passing it on would make "not found." of the program
            // folder itself.
            refuse(about, QStringLiteral("an empty name is no file"));
            return;
        } else if (m_operands.size() == about.maxOperands) {
            refuse(about, QStringLiteral("\"%1\" is one argument too many").arg(word));
            return;
        } else {
            m_operands << word;
        }
    }
}

void StartOptions::refuse(const ProgramAbout& about, const QString& problem)
{
    m_error = QStringLiteral("%1: %2 (try --help)\n").arg(about.name, problem);
    m_exitStatus = 2;
}

QStringList StartOptions::argumentsOf(int argc, char** argv)
{
    QStringList words;
    for (int i = 1; i < argc; ++i)
        words << QFile::decodeName(argv[i]);
    return words;
}

int StartOptions::answer() const
{
    if (!m_output.isEmpty()) {
        std::fputs(m_output.toLocal8Bit().constData(), stdout);
        std::fflush(stdout);
    }
    if (!m_error.isEmpty())
        std::fputs(m_error.toLocal8Bit().constData(), stderr);
    return m_exitStatus.value_or(0);
}

} // namespace support
