#include "Readers.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace packtest {

Run run(const QString& program, const QStringList& arguments, const QString& folder)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.start(program, arguments);
    Run r;
    p.closeWriteChannel();
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit) {
        r.err = ("cannot run " + program).toUtf8();
        return r;
    }
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

ReadTable readWithMdbReader(const QString& database, const QString& table)
{
    ReadTable result;
    const QString folder = QStringLiteral(TAVRELLO_SOURCE_DIR "/tests/pack/reader");
    if (!QDir(folder + "/node_modules").exists()) {
        result.warnings = "tests/pack/reader/node_modules is missing; run scripts/deps";
        return result;
    }
    const Run r = run("node", {folder + "/read.mjs", database, table});
    result.warnings = QString::fromLocal8Bit(r.err);
    if (r.exitCode != 0) {
        result.warnings += "node exited with " + QString::number(r.exitCode);
        return result;
    }
    const QJsonObject doc = QJsonDocument::fromJson(r.out).object();
    if (!doc["password"].isNull())
        result.password = doc["password"].toString();
    result.created = QDateTime::fromString(doc["created"].toString(), Qt::ISODateWithMs);
    for (const QJsonValue& t : doc["tables"].toArray())
        result.tables << t.toString();
    for (const QJsonValue& c : doc["columns"].toArray()) {
        result.columns << c["name"].toString();
        const QString type = c["type"].toString();
        result.types << (type == "float" ? "single" : type);
    }
    if (doc["rowCount"].toInt() != doc["rows"].toArray().size())
        result.warnings += "rowCount in the table definition differs from the rows found";
    for (const QJsonValue& v : doc["rows"].toArray()) {
        std::vector<QVariant> row;
        for (const QString& name : std::as_const(result.columns)) {
            const QJsonValue cell = v[name];
            if (cell.isNull())
                row.emplace_back();
            else if (cell.isObject())
                row.emplace_back(QByteArray::fromBase64(cell["base64"].toString().toLatin1()));
            else if (cell.isBool())
                row.emplace_back(cell.toBool() ? 1.0 : 0.0);
            else
                row.emplace_back(cell.toDouble());
        }
        result.rows.push_back(std::move(row));
    }
    return result;
}

} // namespace packtest
