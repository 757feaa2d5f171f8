#include "EditPairCommand.h"

#include "PairDocument.h"

namespace editor {

EditPairCommand::EditPairCommand(PairDocument* document, int index, PairNumbers before,
                                 PairNumbers after, const QString& text, int mergeKey)
    : QUndoCommand(text), m_document(document), m_index(index), m_before(std::move(before)),
      m_after(std::move(after)), m_mergeKey(mergeKey)
{}

void EditPairCommand::undo()
{
    m_document->setNumbers(m_index, m_before);
}

void EditPairCommand::redo()
{
    m_document->setNumbers(m_index, m_after);
}

bool EditPairCommand::mergeWith(const QUndoCommand* other)
{
    const auto* next = static_cast<const EditPairCommand*>(other);
    if (next->m_index != m_index)
        return false;
    m_after = next->m_after;
    return true;
}

} // namespace editor
