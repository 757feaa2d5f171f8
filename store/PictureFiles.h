#pragma once

#include "Field.h"

#include <functional>
#include <string>

namespace store {

// How a routine below lets the window's pending events run; the game sets it to
// QCoreApplication::processEvents. Unset, yielding does nothing.
void setEventYield(std::function<void()> yield);

// Writes the field's binary value to fileName, byte for byte, in chunks of 100 000 bytes (the
// remainder first). Removes a file already at that name first, creates the file fresh and never
// follows a symbolic link at that name. A value that can't be read (or written) to its end
// leaves the file empty. Never throws.
void WriteFieldToFile(Field field, const std::string& fileName);

// Lets pending events run, then deletes fileName; a file that refuses plain deletion is passed to
// ForceDeleteFile. Never throws.
void RemoveFile(const std::string& fileName);

// Makes fileName writable for its owner and deletes it. Throws StoreError when that fails.
void ForceDeleteFile(const std::string& fileName);

} // namespace store
