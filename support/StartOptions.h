#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace support {

// What a program tells about itself in --help and --version.
struct ProgramAbout
{
    QString name;     // as typed: "tavrello"
    QString version;  // "1.0.0"
    QString operands; // the synopsis after the name: "[DATABASE]"
    QString help;     // the paragraphs of --help between the usage line and the options
    int maxOperands = 0;
};

// A program's command line, read before any window system is asked for anything, so that
// --help and --version answer over ssh, in a package build or on a console without a display
// (QApplication aborts there before it could parse a single word).
//
// -h/--help and -v/--version answer and end the program; "--" ends the options, so a file
// named "-x.mdb" can still be given; any other word beginning with '-' is an unknown option.
// Qt's own options (-style, -platform) are unknown too: the environment variables
// QT_STYLE_OVERRIDE and QT_QPA_PLATFORM do their work.
class StartOptions
{
  public:
    StartOptions(const ProgramAbout& about, const QStringList& arguments);

    // argv without the program's own name, decoded as file names are.
    static QStringList argumentsOf(int argc, char** argv);

    // Set when the program ends here: 0 after --help or --version, 2 for a wrong command line.
    std::optional<int> exitStatus() const { return m_exitStatus; }
    // The text for standard output (--help, --version).
    const QString& output() const { return m_output; }
    // The one line for standard error.
    const QString& error() const { return m_error; }
    // The words that are not options, in order.
    const QStringList& operands() const { return m_operands; }

    // Prints output() and error() where they belong and returns the exit status; call only
    // when exitStatus() is set.
    int answer() const;

  private:
    void refuse(const ProgramAbout& about, const QString& problem);

    std::optional<int> m_exitStatus;
    QString m_output;
    QString m_error;
    QStringList m_operands;
};

} // namespace support
