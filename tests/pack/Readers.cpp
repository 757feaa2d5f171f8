#include "Readers.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryFile>
#include <cstdio>
#include <glib.h>
#include <mdbtools.h>
#include <stdexcept>
#include <unistd.h>

namespace packtest {

namespace {

QString typeName(int jetType)
{
    switch (jetType) {
    case MDB_INT:
        return "integer";
    case MDB_LONGINT:
        return "long";
    case MDB_FLOAT:
        return "single";
    case MDB_DOUBLE:
        return "double";
    case MDB_OLE:
        return "ole";
    default:
        return QStringLiteral("type %1").arg(jetType);
    }
}

// libmdb reports trouble on stderr; catch it so a test can insist there is none.
class StderrCapture
{
  public:
    StderrCapture()
    {
        std::fflush(stderr);
        m_file.open();
        m_saved = ::dup(2);
        ::dup2(m_file.handle(), 2);
    }
    QString finish()
    {
        std::fflush(stderr);
        ::dup2(m_saved, 2);
        ::close(m_saved);
        m_file.seek(0);
        return QString::fromLocal8Bit(m_file.readAll());
    }

  private:
    QTemporaryFile m_file;
    int m_saved = -1;
};

std::vector<QString> splitCsvLine(const QString& line)
{
    std::vector<QString> fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(field);
    return fields;
}

} // namespace

Run run(const QString& program, const QStringList& arguments, const QString& folder)
{
    QProcess p;
    if (!folder.isEmpty())
        p.setWorkingDirectory(folder);
    p.start(program, arguments);
    Run r;
    if (!p.waitForStarted(-1)) {
        r.err = ("cannot start " + program).toUtf8();
        return r;
    }
    p.closeWriteChannel();
    p.waitForFinished(-1);
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

ReadTable readWithLibmdb(const QString& database, const QString& tableName)
{
    ReadTable result;
    StderrCapture capture;
    QByteArray path = QFile::encodeName(database);
    MdbHandle* mdb = mdb_open(path.constData(), MDB_NOFLAGS);
    if (!mdb) {
        result.warnings = capture.finish() + "mdb_open failed";
        return result;
    }
    mdb_read_catalog(mdb, MDB_TABLE);
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type == MDB_TABLE)
            result.tables << QString::fromUtf8(entry->object_name);
    }
    QByteArray name = tableName.toUtf8();
    MdbTableDef* table = mdb_read_table_by_name(mdb, name.data(), MDB_TABLE);
    if (!table) {
        mdb_close(mdb);
        result.warnings = capture.finish() + "no table " + tableName;
        return result;
    }
    mdb_read_columns(table);
    mdb_rewind_table(table);
    const unsigned columns = table->num_cols;
    // A long binary's pieces are copied into the bound buffer, a page's worth at a time.
    const std::size_t bufferSize = std::max<std::size_t>(mdb->bind_size, 4096) + 16;
    std::vector<std::vector<char>> buffers(columns, std::vector<char>(bufferSize));
    std::vector<int> lengths(columns, 0);
    for (unsigned i = 0; i < columns; ++i) {
        auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        result.columns << QString::fromUtf8(col->name);
        result.types << typeName(col->col_type);
        mdb_bind_column(table, static_cast<int>(i + 1), buffers[i].data(), &lengths[i]);
    }
    while (mdb_fetch_row(table)) {
        std::vector<QVariant> row;
        for (unsigned i = 0; i < columns; ++i) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
            if (lengths[i] == 0) {
                row.emplace_back();
            } else if (col->col_type == MDB_OLE) {
                char header[MDB_MEMO_OVERHEAD];
                std::memcpy(header, buffers[i].data(), sizeof header);
                QByteArray bytes;
                std::size_t n = mdb_ole_read(mdb, col, header, bufferSize - 16);
                bytes.append(buffers[i].data(), static_cast<qsizetype>(n));
                while ((n = mdb_ole_read_next(mdb, col, header)) > 0)
                    bytes.append(buffers[i].data(), static_cast<qsizetype>(n));
                row.emplace_back(bytes);
            } else {
                row.emplace_back(QString::fromUtf8(buffers[i].data(), lengths[i]).toDouble());
            }
        }
        result.rows.push_back(std::move(row));
    }
    mdb_free_tabledef(table);
    mdb_close(mdb);
    result.warnings = capture.finish();
    return result;
}

ReadTable readWithMdbTools(const QString& database, const QString& table)
{
    ReadTable result;
    auto tool = [&](const QString& program, const QStringList& args) {
        const Run r = run(program, args);
        if (r.exitCode != 0)
            result.warnings += program + " exited with " + QString::number(r.exitCode) + "\n";
        result.warnings += QString::fromLocal8Bit(r.err);
        return QString::fromUtf8(r.out);
    };
    const QString version = tool("mdb-ver", {database}).trimmed();
    if (version != "JET4")
        result.warnings += "mdb-ver says " + version + "\n";
    result.tables = tool("mdb-tables", {"-S", "-1", database}).split('\n', Qt::SkipEmptyParts);

    // mdb-schema's lines look like:	[loc1_x1]			Long Integer,
    const QString schema = tool("mdb-schema", {"-T", table, database});
    for (const QString& line : schema.split('\n')) {
        const QString t = line.trimmed();
        if (!t.startsWith('[') || !t.contains(']'))
            continue;
        result.columns << t.mid(1, t.indexOf(']') - 1);
        QString type = t.mid(t.indexOf(']') + 1).trimmed();
        if (type.endsWith(','))
            type.chop(1);
        const std::pair<const char*, const char*> names[] = {{"Long Integer", "long"},
                                                             {"Integer", "integer"},
                                                             {"Single", "single"},
                                                             {"Double", "double"}};
        QString normal = type;
        for (const auto& [shown, ours] : names)
            if (type == QLatin1String(shown))
                normal = ours;
        if (type.startsWith("OLE"))
            normal = "ole";
        result.types << normal;
    }

    const QString csv = tool("mdb-export", {"-b", "hex", database, table});
    const QStringList lines = csv.split('\n', Qt::SkipEmptyParts);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const std::vector<QString> fields = splitCsvLine(lines[i]);
        std::vector<QVariant> row;
        for (std::size_t c = 0; c < fields.size(); ++c) {
            const bool ole = c < static_cast<std::size_t>(result.types.size()) &&
                             result.types[static_cast<qsizetype>(c)] == "ole";
            if (ole)
                row.emplace_back(QByteArray::fromHex(fields[c].toLatin1()));
            else if (fields[c].isEmpty())
                row.emplace_back();
            else
                row.emplace_back(fields[c].toDouble());
        }
        result.rows.push_back(std::move(row));
    }
    return result;
}

ReadTable readWithMdbReader(const QString& database, const QString& table)
{
    ReadTable result;
    const QString script = QStringLiteral(TAVRELLO_SOURCE_DIR "/tests/pack/reader/read.mjs");
    if (!QDir(QStringLiteral(TAVRELLO_SOURCE_DIR "/tests/pack/reader/node_modules")).exists()) {
        result.warnings = "tests/pack/reader/node_modules is missing; run scripts/deps";
        return result;
    }
    const Run r = run("node", {script, database, table});
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
    const QJsonArray columns = doc["columns"].toArray();
    for (const QJsonValue& c : columns) {
        result.columns << c["name"].toString();
        const QString type = c["type"].toString();
        result.types << (type == "float" ? "single" : type);
    }
    if (doc["rowCount"].toInt() != doc["rows"].toArray().size())
        result.warnings += "rowCount in the table definition differs from the rows found";
    for (const QJsonValue& v : doc["rows"].toArray()) {
        const QJsonObject o = v.toObject();
        std::vector<QVariant> row;
        for (const QString& name : std::as_const(result.columns)) {
            const QJsonValue cell = o[name];
            if (cell.isNull())
                row.emplace_back();
            else if (cell.isObject())
                row.emplace_back(QByteArray::fromBase64(cell["base64"].toString().toLatin1()));
            else
                row.emplace_back(cell.toDouble());
        }
        result.rows.push_back(std::move(row));
    }
    return result;
}

} // namespace packtest
