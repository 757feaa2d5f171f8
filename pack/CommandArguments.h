#pragma once
// The command line of one tavrello-pack command: options as `--name value` or `--name=value`
// (and their one-letter forms), an exact number of other arguments, and --help.

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QStringList>
#include <stdexcept>

namespace pack {

// A command line that makes no sense. runCommand reports it as one line with exit status 2.
class UsageError : public std::runtime_error
{
  public:
    using std::runtime_error::runtime_error;
};

class CommandArguments
{
  public:
    // command names the command in messages; operands says what its other arguments are, for the
    // message when there are too few or too many of them; it takes exactly operandCount.
    CommandArguments(const char* command, const char* operands, qsizetype operandCount,
                     const QList<QCommandLineOption>& options);

    // Reads the arguments after the command's name. False when --help was asked for: the
    // command then prints its help. Throws UsageError for an unknown option, an option without
    // its value or given twice, and too few or too many other arguments.
    bool parse(const QStringList& arguments);

    const QStringList& operands() const { return m_operands; }
    bool isSet(const QString& option) const { return m_parser.isSet(option); }
    // The option's value; empty when it wasn't given.
    QString value(const QString& option) const { return m_parser.value(option); }

    // Throws UsageError for what the command finds wrong with its arguments beyond what parse
    // checks (a missing option, a bad value), in the same words as parse's own.
    [[noreturn]] void refuse(const QString& problem) const;

  private:
    QString m_command;
    QString m_operandsText;
    qsizetype m_operandCount;
    QList<QCommandLineOption> m_options;
    QCommandLineParser m_parser;
    QStringList m_operands;
};

} // namespace pack
