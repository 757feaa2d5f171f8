#include "AddPairCommand.h"

#include "PairDocument.h"

namespace editor {

AddPairCommand::AddPairCommand(PairDocument* document, EditorPair pair, const QString& text)
    : QUndoCommand(text), m_document(document), m_pair(std::move(pair)), m_index(document->count())
{}

void AddPairCommand::undo()
{
    // Keep what the pair became (its pictures decoded, its check) for the redo.
    m_pair = m_document->pair(m_index);
    m_document->removePair(m_index);
}

void AddPairCommand::redo()
{
    m_document->insertPair(m_index, m_pair);
}

} // namespace editor
