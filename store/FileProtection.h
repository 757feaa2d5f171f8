#pragma once

// Internal to store/: whether a database file is encrypted or has a password, told from its
// first page. libmdb reads neither fact and would show encrypted pages as damage, or a protected
// file's content without its password.

namespace store::detail {

// The end of the sentence refusing a database that is encrypted or has a password, or null for
// an open one. `page` is the first page, at least 0x18 + 128 bytes; `jet3` and `ace` say which
// layout it has. The page holds both facts in a stretch that Jet hides with RC4 under a fixed
// key: from 0x3e, the 4-byte key of the pages' own encryption (zero when they are plain), and
// from 0x42 the database password (20 bytes on Jet 3, 40 on Jet 4 and later, where it is also
// masked with the whole days of the creation date at 0x72).
const char* protectionOf(const unsigned char* page, bool jet3, bool ace);

} // namespace store::detail
