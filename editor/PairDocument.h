#pragma once
// The pairs being edited: read from a pairs folder's manifest or from a database, changed through
// the undo stack, written back as a manifest and built into a database.

#include "EditorPair.h"
#include "pack/Manifest.h"

#include <QObject>
#include <QUndoStack>
#include <vector>

namespace editor {

class PairDocument : public QObject
{
    Q_OBJECT
  public:
    enum class Source { None, Manifest, Database };

    explicit PairDocument(QObject* parent = nullptr);

    // Replace the pairs with those of a manifest or a database. Throw pack::InputError (or
    // another std::exception for a damaged file) and leave the document as it was.
    void openManifest(const QString& path);
    void openDatabase(const QString& path);
    void clear();

    Source source() const { return m_source; }
    // The manifest or database the pairs came from; empty for a new document.
    const QString& path() const { return m_path; }
    bool isModified() const { return !m_undo.isClean(); }
    QUndoStack* undoStack() { return &m_undo; }

    int count() const { return int(m_pairs.size()); }
    const EditorPair& pair(int index) const { return m_pairs[std::size_t(index)]; }
    // Decodes the pair's pictures and checks it, once.
    void ensureChecked(int index);
    // check's findings, with the ones that need the other pairs (a shared id) first.
    std::vector<pack::Finding> findings(int index);
    // The worst of findings(): Error, Warning, or nullopt for a pair ready to play.
    std::optional<pack::Finding> worstFinding(int index);
    int nextFreeId() const;

    // Called by the undo commands only, so every change can be undone.
    void setNumbers(int index, const PairNumbers& numbers);
    void insertPair(int index, EditorPair pair);
    void removePair(int index);

    // Writes the manifest (pictures held only in memory go beside it as <id>-original.<ext>)
    // and from then on edits that manifest. Throws as writeManifest does.
    void saveAs(const QString& manifestPath);
    // The pairs as a manifest for the writer; pictures held only in memory are written into
    // `looseFolder` first.
    pack::Manifest toManifest(const QString& looseFolder) const;

  signals:
    void reset();
    void pairChanged(int index);
    void pairInserted(int index);
    void pairRemoved(int index);

  private:
    void check(int index);

    Source m_source = Source::None;
    QString m_path;
    pack::CoordinateType m_coordinateType = pack::CoordinateType::Long;
    std::vector<EditorPair> m_pairs;
    QUndoStack m_undo;
};

} // namespace editor
