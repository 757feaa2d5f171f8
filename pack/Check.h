#pragma once
// `tavrello-pack check DB [--json]`: reads a database as the game will and says which pairs can't
// be played fairly (errors, exit status 1) and what looks odd (warnings).

#include "PairCheck.h"

#include <QStringList>

namespace pack {

struct PairReport
{
    QString id;    // as stored, "null" for Null
    QString level; // as stored
    std::vector<Finding> findings;
    DifferenceFindability findability; // how findable each difference is at a glance
};

struct CheckReport
{
    std::vector<PairReport> pairs;
    std::vector<Finding> database; // findings about the whole file, such as empty levels
    int errors = 0;
    int warnings = 0;
};

CheckReport checkDatabase(const QString& database);

int runCheck(const QStringList& arguments);

} // namespace pack
