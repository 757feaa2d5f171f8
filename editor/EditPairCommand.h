#pragma once
// One undoable change to a pair's numbers: a difference drawn, moved, resized or deleted, the id
// or the level changed. Key presses that nudge the same difference merge into one step.

#include "PairNumbers.h"

#include <QUndoCommand>

namespace editor {

class PairDocument;

class EditPairCommand : public QUndoCommand
{
  public:
    // `mergeKey` >= 0 lets consecutive commands with the same key on the same pair merge.
    EditPairCommand(PairDocument* document, int index, PairNumbers before, PairNumbers after,
                    const QString& text, int mergeKey = -1);

    void undo() override;
    void redo() override;
    int id() const override { return m_mergeKey; }
    bool mergeWith(const QUndoCommand* other) override;

  private:
    PairDocument* m_document;
    int m_index;
    PairNumbers m_before;
    PairNumbers m_after;
    int m_mergeKey;
};

} // namespace editor
