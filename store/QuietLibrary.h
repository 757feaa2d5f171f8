#pragma once

// Internal to store/: the guard that keeps libmdb's own messages off the player's terminal.

#include <cstddef>
#include <cstdio>

namespace store::detail {

// libmdb reports problems with fprintf(stderr, ...) and then returns NULL or 0, and on some
// damaged files dumps page bytes to stdout. While one of these guards lives, the C library's
// stdout and stderr streams point at a memory buffer instead, which is dropped unread: a failure
// reaches the player as the StoreError that follows it, in words a player can act on.
// The game is single-threaded around the store, as libmdb requires anyway.
class QuietLibrary
{
  public:
    QuietLibrary();
    ~QuietLibrary();
    QuietLibrary(const QuietLibrary&) = delete;
    QuietLibrary& operator=(const QuietLibrary&) = delete;

  private:
    FILE* m_savedOut = nullptr;
    FILE* m_savedErr = nullptr;
    FILE* m_sink = nullptr;
    char* m_buffer = nullptr;
    std::size_t m_size = 0;
};

} // namespace store::detail
