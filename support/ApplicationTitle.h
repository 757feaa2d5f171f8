#pragma once

#include <QString>

namespace support {

inline const QString productName = QStringLiteral("Tavrello");

// Shortens a product name to a title: drops the last word, then further words from the end until
// at most 40 characters remain. A name without a blank is kept whole (there is no word to drop).
QString titleFromProductName(const QString& name);

// Makes the title of the product name the program-wide application title.
void SetApplicationTitle();

// The title every message box without a title of its own shows (empty until set).
QString applicationTitle();

} // namespace support
