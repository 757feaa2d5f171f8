#pragma once

// Internal to store/: reading one long binary value (a picture) of a row through libmdb.

#include "TableScan.h"

#include <cstddef>
#include <cstdint>

namespace store::detail {

// Room for one stored piece: a piece is at most a page (4096 bytes on Jet 4).
inline constexpr std::size_t kPieceBuffer = 8192;

// Follows one value's chain of pieces. The place in the chain is kept here, not in libmdb's
// column, so that several fields and record sets may read their values in turns.
class LongValueReader
{
  public:
    // Reads the next piece of the value of `column` in `row` into `into` (kPieceBuffer bytes) and
    // gives its length. The first call finds the row again and checks that its header is the one
    // the scan saw. Throws StoreError when the connection is closed or the value is damaged.
    std::size_t readPiece(const TableScan& table, const Row& row, std::size_t column,
                          unsigned char* into);
    // Whether the last piece has been read.
    bool finished() const { return m_finished; }

  private:
    std::size_t readFirstPiece(const TableScan& table, const Row& row, std::size_t column,
                               const std::function<StoreError(const std::string&)>& fail);

    bool m_started = false;
    bool m_finished = false;
    std::uint32_t m_nextPiece = 0; // libmdb's page/row pointer of the next piece
    unsigned m_piecesRead = 0;
};

} // namespace store::detail
