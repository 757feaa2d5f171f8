#include "Check.h"

#include "CommandArguments.h"
#include "CommandLine.h"
#include "InputError.h"
#include "StoredPairs.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <cmath>

namespace pack {
namespace {

const char* kHelp =
    "Usage: tavrello-pack check DB [--json]\n\n"
    "Reads the database as the game does and reports, per pair and in a summary:\n"
    "errors (the pair can't be played fairly): duplicate ids, Null coordinates,\n"
    "x1 > x2 or y1 > y2, pictures that don't decode or differ in size, a difference\n"
    "reaching outside the picture, a difference with no visible change, changed\n"
    "pixels outside every difference; warnings: a level without pairs, pictures cut\n"
    "off by the picture box or much smaller than it, overlapping differences, a\n"
    "change smoother than its surroundings, a difference too hard to find for its\n"
    "level (or, at Hard, too plain).\n"
    "Each pair's line ends with the findability of its four differences: the pixels\n"
    "plainly changed, weighed down by busy surroundings (Easy asks each for 100 and\n"
    "230 pixels plainly changed, Medium for 80 and 110, Hard for at most 300).\n"
    "Exit status 1 when there are errors, 0 otherwise. --json prints the same as JSON.\n";

std::optional<QImage> decode(const std::optional<QByteArray>& bytes, const QString& which,
                             std::vector<Finding>& findings)
{
    if (!bytes) {
        findings.push_back({Finding::Error, "the " + which + " picture is Null"});
        return std::nullopt;
    }
    QString problem;
    QImage image = decodePicture(*bytes, &problem);
    if (image.isNull()) {
        findings.push_back(
            {Finding::Error, "the " + which + " picture doesn't decode (" + problem + ")"});
        return std::nullopt;
    }
    return image;
}

QString text(const store::FieldValue& v)
{
    return QString::fromStdString(v.toString());
}

void count(CheckReport& report, const std::vector<Finding>& findings)
{
    for (const Finding& f : findings)
        (f.severity == Finding::Error ? report.errors : report.warnings) += 1;
}

QString severityWord(const Finding& f)
{
    return f.severity == Finding::Error ? QStringLiteral("error") : QStringLiteral("warning");
}

QString plural(int n, const char* word)
{
    return QStringLiteral("%1 %2%3").arg(n).arg(QLatin1String(word), n == 1 ? "" : "s");
}

// " (findability 812, 640, -, 950)": one figure a difference, "-" where none can be measured.
QString findabilityText(const DifferenceFindability& findability)
{
    QStringList scores;
    for (const std::optional<Findability>& f : findability)
        scores << (f ? QString::number(qRound(f->score)) : QStringLiteral("-"));
    return QStringLiteral(" (findability %1)").arg(scores.join(QStringLiteral(", ")));
}

QJsonArray findabilityJson(const DifferenceFindability& findability)
{
    QJsonArray list;
    for (const std::optional<Findability>& f : findability)
        list.append(f ? QJsonValue(QJsonObject{{"findability", qRound(f->score)},
                                               {"changed_area", f->changedArea},
                                               {"clutter", std::round(f->clutter * 100) / 100}})
                      : QJsonValue());
    return list;
}

void printText(const CheckReport& report)
{
    QString out;
    for (const PairReport& pair : report.pairs) {
        const QString name = QStringLiteral("pair %1 (level %2)").arg(pair.id, pair.level);
        out += name + (pair.findings.empty() ? QStringLiteral(": ok") : QString()) +
               findabilityText(pair.findability) + '\n';
        for (const Finding& f : pair.findings)
            out += name + ": " + severityWord(f) + ": " + f.text + '\n';
    }
    for (const Finding& f : report.database)
        out += severityWord(f) + ": " + f.text + '\n';
    out += QStringLiteral("%1 checked: %2, %3\n")
               .arg(plural(int(report.pairs.size()), "pair"), plural(report.errors, "error"),
                    plural(report.warnings, "warning"));
    printOut(out);
}

void printJson(const QString& database, const CheckReport& report)
{
    const auto split = [](const std::vector<Finding>& findings, Finding::Severity severity) {
        QJsonArray list;
        for (const Finding& f : findings)
            if (f.severity == severity)
                list.append(f.text);
        return list;
    };
    QJsonArray pairs;
    for (const PairReport& pair : report.pairs)
        pairs.append(QJsonObject{{"id", pair.id},
                                 {"level", pair.level},
                                 {"errors", split(pair.findings, Finding::Error)},
                                 {"warnings", split(pair.findings, Finding::Warning)},
                                 {"differences", findabilityJson(pair.findability)}});
    const QJsonObject root{{"database", database},
                           {"pairs", pairs},
                           {"errors", split(report.database, Finding::Error)},
                           {"warnings", split(report.database, Finding::Warning)},
                           {"error_count", report.errors},
                           {"warning_count", report.warnings}};
    printOut(QString::fromUtf8(QJsonDocument(root).toJson()));
}

} // namespace

CheckReport checkDatabase(const QString& database)
{
    if (!QFileInfo(database).isFile())
        throw InputError(database, "no such database file");
    CheckReport report;
    forEachPair(database, [&](const PairRow& row) {
        const StoredPair numbers = row.numbers();
        PairReport pair{text(numbers.id), text(numbers.level), {}, {}};
        if (!numbers.level.isNull() && !format::isPlayedLevel(numbers.level.toDouble()))
            pair.findings.push_back(
                {Finding::Warning, "level " + pair.level + " is never played (levels are 1 to 3)"});

        const std::array<StoredRect, format::kDifferenceCount>& rects = numbers.differences;
        const std::vector<Finding> rectFindings = checkRectangles(rects);
        pair.findings.insert(pair.findings.end(), rectFindings.begin(), rectFindings.end());

        const std::optional<QImage> original =
            decode(row.original(), QStringLiteral("original"), pair.findings);
        const std::optional<QImage> modified =
            decode(row.modified(), QStringLiteral("modified"), pair.findings);
        if (original && modified) {
            const std::vector<Finding> pictureFindings = checkPictures(*original, *modified, rects);
            pair.findings.insert(pair.findings.end(), pictureFindings.begin(),
                                 pictureFindings.end());
            pair.findability = measureFindability(*original, *modified, rects);
            if (!numbers.level.isNull()) {
                const std::vector<Finding> fit =
                    checkLevelFit(int(numbers.level.toDouble()), pair.findability, pictureFindings);
                pair.findings.insert(pair.findings.end(), fit.begin(), fit.end());
            }
        }
        report.pairs.push_back(std::move(pair));
    });

    // Duplicate ids are known only once every row is read; they lead each pair's findings.
    QMap<QString, int> idCounts;
    for (const PairReport& pair : report.pairs)
        ++idCounts[pair.id];
    for (PairReport& pair : report.pairs) {
        if (idCounts.value(pair.id) > 1)
            pair.findings.insert(pair.findings.begin(),
                                 {Finding::Error, QStringLiteral("id %1 is used by %2 pairs")
                                                      .arg(pair.id)
                                                      .arg(idCounts.value(pair.id))});
        count(report, pair.findings);
    }

    for (int level = 1; level <= format::kLevelCount; ++level) {
        if (levelIds(database, level).empty())
            report.database.push_back(
                {Finding::Warning,
                 QStringLiteral("level %1 (%2) has no pairs: a game there shows "
                                "empty pictures")
                     .arg(level)
                     .arg(QLatin1String(format::kLevelNames[std::size_t(level - 1)]))});
    }
    count(report, report.database);
    return report;
}

int runCheck(const QStringList& arguments)
{
    CommandArguments args("check", "a database file", 1, {{"json", "print the report as JSON"}});
    if (!args.parse(arguments)) {
        printOut(kHelp);
        return 0;
    }
    const QString database = args.operands()[0];
    const bool json = args.isSet("json");
    const CheckReport report = checkDatabase(database);
    json ? printJson(database, report) : printText(report);
    return report.errors > 0 ? 1 : 0;
}

} // namespace pack
