#include "Build.h"

#include "AtomicFile.h"
#include "CommandArguments.h"
#include "CommandLine.h"
#include "jet/DatabaseWriter.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pack {

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A picture file read straight into the database, a page at a time.
class PictureFile final : public jet::LongValueSource
{
  public:
    explicit PictureFile(QString path) : m_path(std::move(path))
    {
        m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0)
            throw InputError(m_path, "cannot read: " + systemError());
        struct stat st
        {
        };
        if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(m_fd);
            throw InputError(m_path, "not a regular file");
        }
        m_size = st.st_size;
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    ~PictureFile() override { ::close(m_fd); }
    PictureFile(const PictureFile&) = delete;
    PictureFile& operator=(const PictureFile&) = delete;

    std::int64_t size() const override { return m_size; }
    void read(char* into, std::int64_t length) override
    {
        while (length > 0) {
            if (m_start == m_end)
                refill();
            const std::int64_t n = std::min<std::int64_t>(length, m_end - m_start);
            std::memcpy(into, m_buffer.data() + m_start, static_cast<std::size_t>(n));
            m_start += n;
            into += n;
            length -= n;
        }
        if (delivered() == m_size) {
            char extra;
            if (m_start < m_end || ::read(m_fd, &extra, 1) > 0)
                throw InputError(m_path, "grew while being read");
        }
    }

  private:
    std::int64_t delivered() const { return m_fileRead - (m_end - m_start); }
    // Pages are filled 4 KiB at a time; the file is read in larger blocks, fewer system calls.
    void refill()
    {
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(
            static_cast<std::int64_t>(m_buffer.size()), m_size - m_fileRead));
        if (want == 0)
            throw InputError(m_path, "became shorter while being read");
        ssize_t n;
        do
            n = ::read(m_fd, m_buffer.data(), want);
        while (n < 0 && errno == EINTR);
        if (n < 0)
            throw InputError(m_path, "cannot read: " + systemError());
        if (n == 0)
            throw InputError(m_path, "became shorter while being read");
        m_start = 0;
        m_end = n;
        m_fileRead += n;
    }

    QString m_path;
    int m_fd = -1;
    std::int64_t m_size = 0;
    std::int64_t m_fileRead = 0;
    std::vector<char> m_buffer = std::vector<char>(256 * 1024);
    std::int64_t m_start = 0;
    std::int64_t m_end = 0;
};

constexpr qint64 kMaxPicture = jet::kMaxLongValueSize; // 16 MiB - 1
constexpr qint64 kMaxDatabase = qint64{2} << 30;

// Finds the problems a stat can find before any output exists, and the size to expect.
qint64 checkPictures(const Manifest& m)
{
    qint64 total = 64 * jet::kPageSize; // catalog, definitions, maps: generously
    for (const Pair& p : m.pairs) {
        total += 200; // the row
        for (const auto* picture : {&p.original, &p.modified}) {
            if (!*picture)
                continue;
            const QString& path = **picture;
            const QFileInfo info(path);
            if (!info.exists())
                throw InputError(path, QStringLiteral("no such file (pair %1)").arg(p.id));
            if (!info.isFile())
                throw InputError(path, QStringLiteral("not a regular file (pair %1)").arg(p.id));
            if (info.size() > kMaxPicture)
                throw InputError(path, QStringLiteral("%1 bytes; pictures must be smaller than "
                                                      "16 MiB (pair %2)")
                                           .arg(info.size())
                                           .arg(p.id));
            total += jet::longValueFootprint(info.size());
        }
    }
    if (total > kMaxDatabase)
        throw InputError(m.path, QStringLiteral("the database would take about %1 MiB, more "
                                                "than the 2 GiB a Jet database can hold")
                                     .arg(total / (1024 * 1024)));
    return total;
}

jet::ColumnType jetType(CoordinateType t)
{
    switch (t) {
    case CoordinateType::Integer:
        return jet::ColumnType::Integer;
    case CoordinateType::Single:
        return jet::ColumnType::Single;
    case CoordinateType::Double:
        return jet::ColumnType::Double;
    case CoordinateType::Decimal:
        return jet::ColumnType::Decimal;
    case CoordinateType::Long:
        break;
    }
    return jet::ColumnType::Long;
}

} // namespace

QStringList imageColumnNames()
{
    QStringList names{format::kIdColumn, format::kLevelColumn, format::kOriginalColumn,
                      format::kModifiedColumn};
    for (const format::DifferenceColumns& d : format::kDifferenceColumns)
        names << d.x1 << d.y1 << d.x2 << d.y2;
    return names;
}

BuildResult buildDatabase(const Manifest& manifest, const QString& output, bool replace,
                          const QDateTime& created, const BuildProgress& progress)
{
    checkPictures(manifest);
    AtomicFile file(output, replace);
    jet::DatabaseWriter::Options options;
    if (created.isValid())
        options.created = created;
    options.maxFileSize = kMaxDatabase;
    jet::DatabaseWriter writer(file.fd(), options);

    const QStringList names = imageColumnNames();
    std::vector<jet::ColumnDef> columns;
    for (qsizetype i = 0; i < names.size(); ++i) {
        jet::ColumnType type = jetType(manifest.coordinateType);
        if (i < 2)
            type = jet::ColumnType::Long;
        else if (i < 4)
            type = jet::ColumnType::LongBinary;
        columns.push_back({names[i], type});
    }
    try {
        const auto table = writer.addTable(format::kTable, std::move(columns));
        const bool whole = manifest.coordinateType == CoordinateType::Long ||
                           manifest.coordinateType == CoordinateType::Integer;
        std::vector<jet::Value> row;
        for (const Pair& p : manifest.pairs) {
            row.clear();
            row.emplace_back(std::int64_t{p.id});
            row.emplace_back(std::int64_t{p.level});
            // Opened per row: at most two pictures are open, and none is ever read whole.
            std::optional<PictureFile> original, modified;
            if (p.original)
                original.emplace(*p.original);
            if (p.modified)
                modified.emplace(*p.modified);
            row.emplace_back(original ? jet::Value(&*original) : jet::Value(jet::Null{}));
            row.emplace_back(modified ? jet::Value(&*modified) : jet::Value(jet::Null{}));
            for (const Difference& d : p.differences)
                for (const std::optional<double>& c : {d.x1, d.y1, d.x2, d.y2}) {
                    if (!c)
                        row.emplace_back(jet::Null{});
                    else if (whole)
                        row.emplace_back(static_cast<std::int64_t>(*c));
                    else
                        row.emplace_back(*c);
                }
            writer.addRow(table, row);
            if (progress)
                progress(&p - manifest.pairs.data() + 1, qsizetype(manifest.pairs.size()));
        }
        writer.finish();
    } catch (const jet::WriteError& e) {
        throw std::runtime_error(output.toStdString() + ": " + e.what());
    } catch (const jet::Error& e) {
        throw InputError(output, QString::fromStdString(e.what()));
    }
    file.commit();
    return {static_cast<qsizetype>(manifest.pairs.size()), writer.pageCount() * jet::kPageSize};
}

namespace {
QString buildHelp()
{
    return QStringLiteral(
               "Usage: tavrello-pack build MANIFEST.json -o OUT.mdb [--force]\n"
               "\n"
               "Writes the picture pairs listed in MANIFEST.json into a new Access (Jet 4) "
               "database,\n"
               "table %1, in the order the manifest lists them. Picture paths are relative to\n"
               "the manifest's folder. OUT.mdb appears only once it is complete.\n"
               "\n"
               "  -o, --output OUT.mdb  the database to write\n"
               "      --force           replace OUT.mdb if it exists\n"
               "  -h, --help            show this help\n"
               "\n"
               "Set SOURCE_DATE_EPOCH to fix the creation date and get the same bytes on every "
               "build.\n")
        .arg(QLatin1String(format::kTable));
}
} // namespace

int runBuild(const QStringList& arguments)
{
    CommandArguments args("build", "a manifest (build MANIFEST.json -o OUT.mdb)", 1,
                          {{{"o", "output"}, "the database to write", "OUT.mdb"},
                           {"force", "replace OUT.mdb if it exists"}});
    if (!args.parse(arguments)) {
        printOut(buildHelp());
        return 0;
    }
    const QString manifest = args.operands()[0];
    const QString output = args.value("output");
    if (output.isEmpty())
        args.refuse("where to? give -o OUT.mdb");
    const bool force = args.isSet("force");

    QDateTime created;
    if (const QByteArray epoch = qgetenv("SOURCE_DATE_EPOCH"); !epoch.isEmpty()) {
        bool ok = false;
        const qint64 seconds = epoch.toLongLong(&ok);
        if (!ok)
            throw InputError("SOURCE_DATE_EPOCH", "is not a number of seconds");
        created = QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
    }
    const BuildResult result = buildDatabase(readManifest(manifest), output, force, created);
    printOut(
        QStringLiteral("%1: %2 pairs, %3 bytes\n").arg(output).arg(result.pairs).arg(result.bytes));
    return 0;
}

} // namespace pack
