#pragma once

// Internal to store/: what a Field handle refers to, shared by its copies.

#include "Field.h"
#include "LongValueReader.h"
#include "RecordsetImpl.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace store {

struct Field::Impl
{
    // The record set, when it is still open on the row this field was taken for and has a
    // current row. Throws StoreError otherwise.
    Recordset::Impl& recordset() const;
    const detail::Cell& cell() const;
    // The next stored piece of this field's long binary value into `piece`; gives its length.
    std::size_t readPiece(const Recordset::Impl& r);

    std::weak_ptr<Recordset::Impl> rs;
    std::uint64_t generation = 0;
    std::size_t column = 0;
    std::string name;

    // Reading a long binary value: the stored piece at hand and how much of the value was given.
    detail::LongValueReader reader;
    std::vector<unsigned char> piece;
    std::size_t pieceLength = 0;
    std::size_t pieceOffset = 0;
    long delivered = 0;
};

} // namespace store
