#pragma once
// Makes a pair from a photo with the generator, on a worker thread so the window stays alive:
// progress while it works, Cancel to stop it, a look at the candidate, Another for the next
// seed, Keep to add it to the pairs.

#include "EditorPair.h"

#include <QDialog>
#include <memory>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QThread;

namespace editor {

class GenerateDialog : public QDialog
{
    Q_OBJECT
  public:
    GenerateDialog(const QString& photo, int level, QWidget* parent = nullptr);
    // Stops a generator still at work and waits for its thread.
    ~GenerateDialog() override;

    void generate();
    // The next seed, then generate.
    void another();
    void cancel();
    bool isRunning() const { return m_thread != nullptr; }
    bool hasCandidate() const { return m_candidate != nullptr; }
    // What the status line says: progress, a refusal, a cancellation.
    QString status() const;

  signals:
    // Keep was pressed: the candidate, to be added under an id of the document's choosing.
    void kept(const editor::EditorPair& pair);

  private:
    struct Job;
    void finished();
    void showProgress(int placed, int attempt);
    void updateButtons();
    void showCandidate();

    QString m_photo;
    std::shared_ptr<Job> m_job;
    QThread* m_thread = nullptr;
    std::unique_ptr<EditorPair> m_candidate;

    QComboBox* m_level;
    QSpinBox* m_seed;
    QLabel* m_original;
    QLabel* m_modified;
    QProgressBar* m_progress;
    QLabel* m_status;
    QPushButton* m_generate;
    QPushButton* m_another;
    QPushButton* m_cancel;
    QPushButton* m_keep;
};

} // namespace editor
