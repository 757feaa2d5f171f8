#pragma once
// Reading a picture database back through the same store the game uses: every row of tblImages in
// the order the file holds them, its numbers, and its pictures on request.

#include "Manifest.h"
#include "format/DifferenceRect.h"
#include "format/PairTable.h"
#include "store/FieldValue.h"
#include "store/Recordset.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <functional>
#include <optional>

namespace pack {

// A difference rectangle in twips, as stored (Null where a corner is Null). The corners keep the
// column's own type and are compared exactly, as the game's hit test compares them.
using StoredRect = format::DifferenceRect<store::FieldValue>;

// A stored rectangle as a manifest holds it: each corner as the nearest double, Null as null.
Difference manifestDifference(const StoredRect& stored);
// A manifest's rectangle as `build` stores it: in a whole-number column (`whole`) each corner cut
// to an integer, otherwise as a double; null as Null.
StoredRect storedRect(const Difference& difference, bool whole);

struct StoredPair
{
    store::FieldValue id;
    store::FieldValue level;
    // Byte counts of the pictures; nullopt for a Null picture.
    std::optional<long> originalSize;
    std::optional<long> modifiedSize;
    // differences[k] = difference k + 1, in twips, Null kept.
    std::array<StoredRect, format::kDifferenceCount> differences;
};

// A row being visited: its numbers, and its pictures read on demand.
class PairRow
{
  public:
    explicit PairRow(store::Recordset& rows) : m_rows(rows) {}
    StoredPair numbers() const;
    // The whole picture; nullopt for Null.
    std::optional<QByteArray> original() const { return picture(format::kOriginalColumn); }
    std::optional<QByteArray> modified() const { return picture(format::kModifiedColumn); }
    // The Jet type name of a column ("long", "integer", "single", "double", ...).
    std::string coordinateType() const;

  private:
    std::optional<QByteArray> picture(const char* column) const;
    store::Recordset& m_rows;
};

// Opens the database and calls visit for each row of tblImages in physical order. Problems with
// the file (missing, not a database, no tblImages) throw InputError naming it.
void forEachPair(const QString& database, const std::function<void(const PairRow&)>& visit);

// A level query as the game runs it: the ids of the level's rows in the order the game shows them.
std::vector<store::FieldValue> levelIds(const QString& database, int level);

} // namespace pack
