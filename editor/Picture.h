#pragma once
// One picture of a pair: the file it came from (or only bytes, for a picture read from a database
// or made by the generator), and what those bytes decode to.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <optional>

namespace editor {

class Picture
{
  public:
    // No picture at all (null in the manifest, Null in the database).
    Picture() = default;
    static Picture fromFile(const QString& path);
    static Picture fromBytes(QByteArray bytes);

    bool isMissing() const { return !m_path && m_bytes.isEmpty(); }
    const std::optional<QString>& path() const { return m_path; }
    void setPath(const QString& path) { m_path = path; }
    // The bytes the database will hold; read from the file on first use.
    const QByteArray& bytes() const;
    // Decoded on first use; null when the picture can't be read or decoded (see problem()).
    const QImage& image() const;
    // Why image() is null, as the end of a sentence; empty when it isn't.
    const QString& problem() const;

  private:
    void load() const;

    std::optional<QString> m_path;
    mutable QByteArray m_bytes;
    mutable QImage m_image;
    mutable QString m_problem;
    mutable bool m_loaded = false;
};

} // namespace editor
