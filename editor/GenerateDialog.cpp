#include "GenerateDialog.h"

#include "format/PairTable.h"
#include "generate/Generate.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QVBoxLayout>
#include <atomic>
#include <opencv2/imgcodecs.hpp>

namespace editor {

// What the worker and the dialog share. The worker only writes `result` or `error` before it
// ends; the dialog reads them after the thread's finished signal.
struct GenerateDialog::Job
{
    std::atomic<bool> cancelled{false};
    std::optional<generate::Pair> result;
    QString error;
    int level = 1;
    std::uint32_t seed = 1;
};

GenerateDialog::GenerateDialog(const QString& photo, int level, QWidget* parent)
    : QDialog(parent), m_photo(photo)
{
    setWindowTitle(tr("Generate a pair from %1").arg(QFileInfo(photo).fileName()));
    m_level = new QComboBox(this);
    m_level->setObjectName("generateLevel");
    m_level->addItem(tr("1 Easy"), 1);
    m_level->addItem(tr("2 Medium"), 2);
    m_level->addItem(tr("3 Hard"), 3);
    m_level->setCurrentIndex(std::clamp(level, 1, 3) - 1);
    m_seed = new QSpinBox(this);
    m_seed->setObjectName("generateSeed");
    m_seed->setRange(0, std::numeric_limits<int>::max());
    m_seed->setValue(1);

    m_original = new QLabel(this);
    m_modified = new QLabel(this);
    for (QLabel* preview : {m_original, m_modified}) {
        preview->setFixedSize(format::kPictureWidth / 2 + 2, format::kPictureHeight / 2 + 2);
        preview->setFrameShape(QFrame::StyledPanel);
        preview->setAlignment(Qt::AlignCenter);
    }
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, format::kDifferenceCount);
    m_progress->setFormat(tr("%v of %m differences"));
    m_status = new QLabel(this);
    m_status->setObjectName("generateStatus");
    m_status->setWordWrap(true);

    m_generate = new QPushButton(tr("Generate"), this);
    m_another = new QPushButton(tr("Another"), this);
    m_another->setToolTip(tr("Try the next seed"));
    m_cancel = new QPushButton(tr("Cancel"), this);
    m_keep = new QPushButton(tr("Keep"), this);
    m_keep->setToolTip(tr("Add this pair"));
    auto* close = new QPushButton(tr("Close"), this);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {m_generate, m_another, m_cancel, m_keep})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(close);

    auto* form = new QFormLayout;
    form->addRow(tr("Level"), m_level);
    form->addRow(tr("Seed"), m_seed);
    auto* previews = new QHBoxLayout;
    previews->addWidget(m_original);
    previews->addWidget(m_modified);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(previews);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addLayout(buttons);

    connect(m_generate, &QPushButton::clicked, this, &GenerateDialog::generate);
    connect(m_another, &QPushButton::clicked, this, &GenerateDialog::another);
    connect(m_cancel, &QPushButton::clicked, this, &GenerateDialog::cancel);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_keep, &QPushButton::clicked, this, [this] {
        if (!m_candidate)
            return;
        emit kept(*m_candidate);
        accept();
    });
    updateButtons();
}

GenerateDialog::~GenerateDialog()
{
    if (m_thread) {
        // The generator looks at the flag before every place it tries: a short wait.
        m_job->cancelled = true;
        m_thread->wait();
        delete m_thread;
    }
}

QString GenerateDialog::status() const
{
    return m_status->text();
}

void GenerateDialog::another()
{
    m_seed->setValue(m_seed->value() + 1);
    generate();
}

void GenerateDialog::generate()
{
    if (m_thread)
        return;
    m_candidate.reset();
    showCandidate();
    m_job = std::make_shared<Job>();
    m_job->level = m_level->currentData().toInt();
    m_job->seed = std::uint32_t(m_seed->value());
    m_progress->setValue(0);
    m_status->setText(tr("Looking at the photo..."));

    // The worker holds the job, not the dialog; progress reaches the dialog through its event
    // queue and is dropped if the dialog is gone.
    const std::shared_ptr<Job> job = m_job;
    const QString photo = m_photo;
    QPointer<GenerateDialog> self(this);
    m_thread = QThread::create([job, photo, self] {
        try {
            const cv::Mat fitted = generate::fitPhoto(generate::readPhoto(photo));
            job->result = generate::generatePair(
                fitted, job->level, job->seed, [job, self](int placed, int attempt) {
                    QMetaObject::invokeMethod(
                        self.get(),
                        [self, placed, attempt] {
                            if (self)
                                self->showProgress(placed, attempt);
                        },
                        Qt::QueuedConnection);
                    return !job->cancelled.load();
                });
        } catch (const generate::GenerateCancelled&) {
            job->error = tr("Cancelled.");
        } catch (const std::exception& e) {
            job->error = tr("No pair from this photo: %1.").arg(QString::fromLocal8Bit(e.what()));
        }
    });
    connect(m_thread, &QThread::finished, this, &GenerateDialog::finished);
    m_thread->start();
    updateButtons();
}

void GenerateDialog::cancel()
{
    if (!m_thread)
        return;
    m_job->cancelled = true;
    m_status->setText(tr("Cancelling..."));
}

void GenerateDialog::showProgress(int placed, int attempt)
{
    if (!m_thread || m_job->cancelled)
        return;
    m_progress->setValue(placed);
    m_status->setText(attempt == 0 ? tr("Looking at the photo...")
                                   : tr("Placing difference %1 of %2 (attempt %3)...")
                                         .arg(placed + 1)
                                         .arg(format::kDifferenceCount)
                                         .arg(attempt));
}

void GenerateDialog::finished()
{
    m_thread->deleteLater();
    m_thread = nullptr;
    if (m_job->result) {
        const generate::Pair& made = *m_job->result;
        auto pair = std::make_unique<EditorPair>();
        pair->numbers.level = made.level;
        for (std::size_t k = 0;
             k < made.differences.size() && k < std::size_t(format::kDifferenceCount); ++k) {
            pair->numbers.differences[k] =
                generate::toTwips(made.differences[k].rect).as<std::optional<double>>();
        }
        const auto bytes = [](const std::vector<uchar>& jpeg) {
            return QByteArray(reinterpret_cast<const char*>(jpeg.data()), qsizetype(jpeg.size()));
        };
        pair->original = Picture::fromBytes(bytes(made.originalJpeg));
        pair->modified = Picture::fromBytes(bytes(made.modifiedJpeg));
        m_candidate = std::move(pair);
        m_progress->setValue(format::kDifferenceCount);
        m_status->setText(tr("Seed %1 gives this pair. Keep it, or try Another.").arg(m_job->seed));
    } else {
        m_progress->setValue(0);
        m_status->setText(m_job->error);
    }
    showCandidate();
    updateButtons();
}

void GenerateDialog::showCandidate()
{
    for (auto [label, which] : {std::pair{m_original, 0}, std::pair{m_modified, 1}}) {
        if (!m_candidate) {
            label->setPixmap({});
            continue;
        }
        QImage picture = (which == 0 ? m_candidate->original : m_candidate->modified).image();
        if (picture.isNull())
            continue;
        picture = picture.convertToFormat(QImage::Format_RGB32);
        QPainter painter(&picture);
        painter.setPen(QPen(QColor(229, 57, 53), 3));
        for (const pack::Difference& d : m_candidate->numbers.differences)
            if (isComplete(d))
                painter.drawRect(pixelArea(d));
        painter.end();
        label->setPixmap(QPixmap::fromImage(picture.scaled(
            label->size() - QSize(2, 2), Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    }
}

void GenerateDialog::updateButtons()
{
    const bool running = m_thread != nullptr;
    m_generate->setEnabled(!running);
    m_another->setEnabled(!running);
    m_cancel->setEnabled(running);
    m_keep->setEnabled(!running && m_candidate);
    m_level->setEnabled(!running);
    m_seed->setEnabled(!running);
}

} // namespace editor
