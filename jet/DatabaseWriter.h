#pragma once
// Writes Jet 4 (Access 2000 .mdb) databases: one pass, rows appended in order, long binary values
// streamed page by page so a 200 MB database never needs more than a few pages in memory.
//
// What comes out is a database without indexes: the system catalog MSysObjects with the rows
// Access itself puts in a new file, empty MSysACEs/MSysQueries/MSysRelationships, and the user
// tables added through addTable(). It is read by libmdb (mdbtools), mdb-reader and Access.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <variant>
#include <vector>

namespace jet {

inline constexpr int kPageSize = 4096;

// Jet's own type codes; only the ones this writer knows how to lay out.
enum class ColumnType : std::uint8_t {
    Boolean = 0x01, // Yes/No: lives in the row's null mask, never Null
    Byte = 0x02,
    Integer = 0x03, // 16-bit
    Long = 0x04,    // 32-bit
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,     // up to 255 bytes
    Text = 0x0A,       // up to 255 characters, stored as UCS-2
    LongBinary = 0x0B, // "OLE Object"
    Memo = 0x0C,
    Decimal = 0x10, // "Numeric": an exact decimal of `precision` digits, `scale` after the point
};

struct ColumnDef
{
    QString name;
    ColumnType type;
    // Decimal columns only; at most 18 digits here, so the unscaled value fits 64 bits.
    std::uint8_t precision = 18;
    std::uint8_t scale = 2;
};

class Error : public std::runtime_error
{
  public:
    using std::runtime_error::runtime_error;
};

// The file could not be written (disk full, I/O error): nothing to do with what went in.
class WriteError : public Error
{
  public:
    using Error::Error;
};

// The bytes of one long value, handed over a piece at a time.
class LongValueSource
{
  public:
    virtual ~LongValueSource() = default;
    // Known before the first byte is read: the row needs it up front.
    virtual std::int64_t size() const = 0;
    // Fills exactly `length` bytes, or throws jet::Error.
    virtual void read(char* into, std::int64_t length) = 0;
};

// A long value already in memory (small values, tests).
class BytesSource final : public LongValueSource
{
  public:
    explicit BytesSource(QByteArray bytes) : m_bytes(std::move(bytes)) {}
    std::int64_t size() const override { return m_bytes.size(); }
    void read(char* into, std::int64_t length) override;

  private:
    QByteArray m_bytes;
    std::int64_t m_position = 0;
};

struct Null
{
};

// One cell. Integers go to Boolean (0 or 1) and Byte/Integer/Long; integers and reals to Single,
// Double and Decimal (a real must have no more decimal places than the column's scale); a
// QDateTime to DateTime; QByteArray to Binary, LongBinary and Memo; QString to Text and Memo; a
// LongValueSource to LongBinary and Memo. Null goes to any column but Boolean.
using Value =
    std::variant<Null, std::int64_t, double, QDateTime, QByteArray, QString, LongValueSource*>;

// Largest long value Jet 4 can describe: its length field has 24 bits.
inline constexpr std::int64_t kMaxLongValueSize = (std::int64_t{1} << 24) - 1;
// Long values up to this size sit inside the row itself.
inline constexpr std::int64_t kMaxInlineLongValue = 256;
// Up to this size a long value takes one row on a long-value page...
inline constexpr std::int64_t kMaxSingleLongValue = kPageSize - 14 - 2;
// ...beyond it, a chain of whole pages carrying this many bytes each.
inline constexpr std::int64_t kLongValueChunk = kPageSize - 14 - 2 - 4;

// Bytes a long value of `size` adds to the file at most, for estimating a database's size.
std::int64_t longValueFootprint(std::int64_t size);

class DatabaseWriter
{
  public:
    struct Options
    {
        QDateTime created = QDateTime::currentDateTimeUtc();
        std::int64_t maxFileSize = std::int64_t{2} << 30;
    };

    // `fd` is an empty file open for writing; it stays owned by the caller.
    explicit DatabaseWriter(int fd);
    DatabaseWriter(int fd, Options options);
    ~DatabaseWriter();
    DatabaseWriter(const DatabaseWriter&) = delete;
    DatabaseWriter& operator=(const DatabaseWriter&) = delete;

    using TableId = int;
    TableId addTable(const QString& name, std::vector<ColumnDef> columns);
    // One value per column, in the table's column order.
    void addRow(TableId table, std::span<const Value> values);
    // Writes the catalog, the table definitions and the usage maps. The file is complete after.
    void finish();

    std::int64_t pageCount() const;

  private:
    struct State;
    std::unique_ptr<State> d;
};

} // namespace jet
