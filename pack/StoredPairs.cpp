#include "StoredPairs.h"

#include "InputError.h"
#include "store/Connection.h"
#include "store/StoreError.h"

namespace pack {
namespace {

// Runs a query on a fresh connection; store errors become input errors naming the file.
template <class Visit>
void withRows(const QString& database, const std::string& query, Visit&& visit)
{
    try {
        store::Connection connection;
        connection.Open(store::connectionStringFor(database.toStdString()));
        store::Recordset rows;
        rows.Open(query, connection, 3, 3);
        visit(rows);
    } catch (const store::StoreError& e) {
        throw InputError(database, QString::fromStdString(e.what()));
    }
}

} // namespace

Difference manifestDifference(const StoredRect& stored)
{
    return stored.map([](const store::FieldValue& corner) {
        return corner.isNull() ? std::nullopt : std::optional<double>(corner.toDouble());
    });
}

StoredRect storedRect(const Difference& difference, bool whole)
{
    return difference.map([whole](const std::optional<double>& corner) {
        if (!corner)
            return store::FieldValue();
        return whole ? store::FieldValue(std::int64_t(*corner)) : store::FieldValue(*corner);
    });
}

StoredPair PairRow::numbers() const
{
    StoredPair pair;
    pair.id = m_rows.Fields(format::kIdColumn).Value();
    pair.level = m_rows.Fields(format::kLevelColumn).Value();
    for (auto [column, size] : {std::pair{format::kOriginalColumn, &pair.originalSize},
                                std::pair{format::kModifiedColumn, &pair.modifiedSize}}) {
        const store::Field field = m_rows.Fields(column);
        if (!field.IsNull())
            *size = field.ActualSize();
    }
    for (std::size_t k = 0; k < std::size_t(format::kDifferenceCount); ++k)
        pair.differences[k] = format::kDifferenceColumns[k].map(
            [this](const char* column) { return m_rows.Fields(column).Value(); });
    return pair;
}

std::string PairRow::coordinateType() const
{
    return m_rows.Fields(format::kDifferenceColumns[0].x1).TypeName();
}

std::optional<QByteArray> PairRow::picture(const char* column) const
{
    store::Field field = m_rows.Fields(column);
    if (field.IsNull())
        return std::nullopt;
    const std::vector<unsigned char> bytes = field.GetChunk(field.ActualSize());
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

void forEachPair(const QString& database, const std::function<void(const PairRow&)>& visit)
{
    withRows(database, std::string("select * from ") + format::kTable, [&](store::Recordset& rows) {
        for (bool more = !rows.Eof(); more; more = (rows.MoveNext(), !rows.Eof()))
            visit(PairRow(rows));
    });
}

std::vector<store::FieldValue> levelIds(const QString& database, int level)
{
    std::vector<store::FieldValue> ids;
    withRows(database, format::kLevelQueries[std::size_t(level - 1)], [&](store::Recordset& rows) {
        for (; !rows.Eof(); rows.MoveNext())
            ids.push_back(rows.Fields(format::kIdColumn).Value());
    });
    return ids;
}

} // namespace pack
