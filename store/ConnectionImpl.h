#pragma once

// Internal to store/: what a Connection holds, shared with the record sets opened on it.

#include "Connection.h"
#include "Database.h"

#include <memory>
#include <string>

namespace store {

struct Connection::Impl
{
    std::shared_ptr<detail::Database> db;
    std::string dataSource;
};

} // namespace store
