#pragma once
// One row of a table in the making, laid out as Jet 4 stores it: the column count, the fixed
// area, the variable-length fields with their offsets stored backwards after them, and the null
// mask last. The mask has a bit per column, set when the column has a value, and for a Yes/No
// column when it says Yes.

#include "WriterState.h"

#include <vector>

namespace jet {

class RowLayout
{
  public:
    explicit RowLayout(const Table& table);

    void setMaskBit(const Column& column);
    // Where the column's value goes in the fixed area; as many bytes as its type has.
    char* fixedPlace(const Column& column);
    void setVariable(const Column& column, QByteArray field);
    // The whole row; throws jet::Error when it does not fit on a data page.
    QByteArray bytes() const;

  private:
    const Table& m_table;
    std::vector<char> m_nullMask;
    QByteArray m_fixed;
    // In the order of the variable-length columns; empty for Null.
    std::vector<QByteArray> m_variable;
};

} // namespace jet
