#pragma once
// Adding a pair (from two pictures or from the generator) at the end of the list, undoably.

#include "EditorPair.h"

#include <QUndoCommand>

namespace editor {

class PairDocument;

class AddPairCommand : public QUndoCommand
{
  public:
    AddPairCommand(PairDocument* document, EditorPair pair, const QString& text);

    void undo() override;
    void redo() override;

  private:
    PairDocument* m_document;
    EditorPair m_pair;
    int m_index;
};

} // namespace editor
