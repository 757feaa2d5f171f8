#include "StoredPairs.h"

#include "InputError.h"
#include "store/Connection.h"
#include "store/StoreError.h"

namespace pack {
namespace {

const std::array<std::array<std::string, 4>, 4> kCoordinateColumns = [] {
    std::array<std::array<std::string, 4>, 4> names;
    const char* corners[] = {"x1", "y1", "x2", "y2"};
    for (int k = 0; k < 4; ++k)
        for (int c = 0; c < 4; ++c)
            names[k][c] = "loc" + std::to_string(k + 1) + "_" + corners[c];
    return names;
}();

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

const std::string& coordinateColumn(int difference, int corner)
{
    return kCoordinateColumns[difference][corner];
}

StoredPair PairRow::numbers() const
{
    StoredPair pair;
    pair.id = m_rows.Fields("id").Value();
    pair.level = m_rows.Fields("level").Value();
    for (auto [column, size] : {std::pair{"original_image", &pair.originalSize},
                                std::pair{"modified_image", &pair.modifiedSize}}) {
        const store::Field field = m_rows.Fields(column);
        if (!field.IsNull())
            *size = field.ActualSize();
    }
    for (int k = 0; k < 4; ++k)
        for (int c = 0; c < 4; ++c)
            pair.differences[k][c] = m_rows.Fields(coordinateColumn(k, c)).Value();
    return pair;
}

std::string PairRow::coordinateType() const
{
    return m_rows.Fields(coordinateColumn(0, 0)).TypeName();
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
    withRows(database, "select * from tblImages", [&](store::Recordset& rows) {
        for (bool more = !rows.Eof(); more; more = (rows.MoveNext(), !rows.Eof()))
            visit(PairRow(rows));
    });
}

std::vector<store::FieldValue> levelIds(const QString& database, int level)
{
    std::vector<store::FieldValue> ids;
    withRows(database,
             "select * from tblImages where level=" + std::to_string(level) + " order by id",
             [&](store::Recordset& rows) {
                 for (; !rows.Eof(); rows.MoveNext())
                     ids.push_back(rows.Fields("id").Value());
             });
    return ids;
}

} // namespace pack
