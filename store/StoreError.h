#pragma once

#include <stdexcept>
#include <string>

namespace store {

// Every failure of the database layer surfaces as this exception. Its what() is a sentence a
// player can read ("The database file /home/ann/tavrello/dbImages.mdb is damaged."), because the
// game's error report shows it as it stands.
class StoreError : public std::runtime_error
{
  public:
    using std::runtime_error::runtime_error;
};

} // namespace store
