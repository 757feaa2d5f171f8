#pragma once
// The pairs down the editor's left side, one row each: the id, the level, a thumbnail of the
// original and the worst of what the checks found. A row's state ("unchecked", "ready",
// "warning" or "error") is kept under Qt::UserRole.

#include <QListWidget>
#include <QTimer>

namespace editor {

class PairDocument;

class PairList : public QListWidget
{
    Q_OBJECT
  public:
    explicit PairList(PairDocument* document, QWidget* parent = nullptr);

    // One row per pair of the document, made anew; the current row stays where it was, or on
    // the last pair when fewer are left. Then checks the pairs not yet checked, one per turn of
    // the event loop, so the list fills in while the author already works on the first pair.
    void rebuild();
    // Shows the pair at `index` as it is now; a pair not yet checked says so.
    void updateItem(int index);

  signals:
    // The author moved to the pair at `index` (-1 for none); it has been checked.
    void pairSelected(int index);
    // rebuild() ended on the pair at `index` (-1 for none), which is to be shown again.
    void rebuilt(int index);

  private:
    void select(int index);
    void checkNextPair();

    PairDocument* m_document;
    QTimer m_checkPass;
};

} // namespace editor
