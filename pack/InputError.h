#pragma once

#include <QString>
#include <stdexcept>

namespace pack {

// Something wrong with what the user gave us: a file that is missing or malformed, an argument
// that makes no sense. Reported as one line, exit status 2.
class InputError : public std::runtime_error
{
  public:
    InputError(QString file, QString problem)
        : std::runtime_error((file + ": " + problem).toStdString()), m_file(std::move(file)),
          m_problem(std::move(problem))
    {}
    const QString& file() const { return m_file; }
    const QString& problem() const { return m_problem; }

  private:
    QString m_file;
    QString m_problem;
};

} // namespace pack
