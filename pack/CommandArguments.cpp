#include "CommandArguments.h"

namespace pack {

CommandArguments::CommandArguments(const char* command, const char* operands,
                                   qsizetype operandCount, const QList<QCommandLineOption>& options)
    : m_command(QLatin1String(command)), m_operandsText(QLatin1String(operands)),
      m_operandCount(operandCount), m_options(options)
{
    m_parser.addOptions(options);
    m_parser.addOption({{"h", "help"}, "show this help"});
}

bool CommandArguments::parse(const QStringList& arguments)
{
    // The parser reads a whole command line, program name first.
    if (!m_parser.parse(QStringList{m_command} + arguments))
        refuse(m_parser.errorText().toLower().remove(QLatin1Char('.')));
    if (m_parser.isSet(QStringLiteral("help")))
        return false;
    for (const QCommandLineOption& option : std::as_const(m_options)) {
        if (!option.valueName().isEmpty() && m_parser.values(option.names().constLast()).size() > 1)
            refuse(QStringLiteral("--%1 given twice").arg(option.names().constLast()));
    }
    m_operands = m_parser.positionalArguments();
    if (m_operands.size() < m_operandCount)
        refuse(QStringLiteral("needs %1").arg(m_operandsText));
    if (m_operands.size() > m_operandCount)
        refuse(QStringLiteral("\"%1\" is one argument too many").arg(m_operands[m_operandCount]));
    return true;
}

void CommandArguments::refuse(const QString& problem) const
{
    throw UsageError(
        QStringLiteral("%1: %2 (try %1 --help)").arg(m_command, problem).toStdString());
}

} // namespace pack
