#include "shell/widgets/FileJobRunner.h"

#include "shell/namespace/FolderSupport.h"
#include "shell/namespace/NameBytes.h"

#include <QLocale>
#include <QProgressDialog>
#include <QPushButton>
#include <QWidget>
#include <algorithm>
#include <set>

namespace {

// Only the GUI thread starts, polls and ends runners, so these need no lock.
std::set<TFileJobRunner*>& Runners()
{
    static std::set<TFileJobRunner*> running;
    return running;
}

std::function<void()>& WorkerGate()
{
    static std::function<void()> gate;
    return gate;
}

constexpr int kPollMs = 50;
constexpr int kShowAfterMs = 1000;

QString Verb(TFileOperation::Kind kind)
{
    switch (kind) {
    case TFileOperation::foMove:
        return QStringLiteral("Moving");
    case TFileOperation::foLink:
        return QStringLiteral("Linking");
    case TFileOperation::foTrash:
        return QStringLiteral("Deleting");
    default:
        return QStringLiteral("Copying");
    }
}

} // namespace

TFileJobRunner::TFileJobRunner(std::unique_ptr<TFileOperation> job, QWidget* dialogParent)
    : m_job(std::move(job)), m_dialogParent(dialogParent)
{
    m_pollTimer.setInterval(kPollMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &TFileJobRunner::Poll);
    m_showTimer.setSingleShot(true);
    m_showTimer.setTimerType(Qt::PreciseTimer);
    m_showTimer.setInterval(kShowAfterMs);
    connect(&m_showTimer, &QTimer::timeout, this, &TFileJobRunner::ShowProgress);
}

TFileJobRunner::~TFileJobRunner()
{
    if (m_thread.joinable()) {
        m_job->Cancel();
        m_thread.join();
    }
    Runners().erase(this);
    delete m_dialog.data();
}

void TFileJobRunner::Start()
{
    if (m_thread.joinable() || m_done)
        return;
    Runners().insert(this);
    std::function<void()> gate = WorkerGate();
    m_thread = std::thread([this, gate] {
        if (gate)
            gate();
        m_job->Run();
        m_done.store(true, std::memory_order_release);
    });
    m_pollTimer.start();
    m_showTimer.start();
}

void TFileJobRunner::Cancel()
{
    m_job->Cancel();
    if (m_dialog)
        m_dialog->setLabelText(QStringLiteral("Cancelling..."));
}

QProgressDialog* TFileJobRunner::ProgressDialog() const
{
    return m_dialog && m_dialog->isVisible() ? m_dialog.data() : nullptr;
}

int TFileJobRunner::RunningCount()
{
    return static_cast<int>(Runners().size());
}

void TFileJobRunner::CancelAll()
{
    for (TFileJobRunner* runner : Runners())
        runner->Cancel();
}

void TFileJobRunner::SetWorkerGate(std::function<void()> gate)
{
    WorkerGate() = std::move(gate);
}

void TFileJobRunner::Poll()
{
    if (!m_done.load(std::memory_order_acquire)) {
        if (m_dialog)
            UpdateProgress();
        return;
    }
    m_thread.join();
    m_pollTimer.stop();
    m_showTimer.stop();
    if (m_dialog)
        m_dialog->hide();
    Runners().erase(this);
    emit Finished();
}

void TFileJobRunner::ShowProgress()
{
    if (m_done.load(std::memory_order_acquire))
        return;
    m_dialog = new QProgressDialog(m_dialogParent ? m_dialogParent->window() : nullptr);
    m_dialog->setWindowTitle(Verb(m_job->GetKind()));
    // The list and the rest of the window stay usable while files are copied.
    m_dialog->setWindowModality(Qt::NonModal);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setMinimumDuration(0);
    m_dialog->setRange(0, 0);
    connect(m_dialog.data(), &QProgressDialog::canceled, this, &TFileJobRunner::Cancel);
    UpdateProgress();
    m_dialog->show();
}

void TFileJobRunner::UpdateProgress()
{
    if (m_job->Cancelled())
        return;
    const TJobProgress& progress = m_job->Progress();
    std::string item = progress.Item();
    std::uint64_t done = progress.BytesDone();
    std::uint64_t total = progress.BytesTotal();
    QString name = DisplayName(portable::LastPathPart(item));
    QString text = QStringLiteral("%1 \"%2\"").arg(Verb(m_job->GetKind()), name);
    if (total > 0) {
        QLocale locale;
        text += QStringLiteral("\n%1 of %2")
                    .arg(locale.formattedDataSize(static_cast<qint64>(done)),
                         locale.formattedDataSize(static_cast<qint64>(total)));
        // Per mille, so that sizes beyond what an int counts fit the bar.
        m_dialog->setRange(0, 1000);
        m_dialog->setValue(static_cast<int>(std::min<std::uint64_t>(done, total) * 1000 / total));
    }
    m_dialog->setLabelText(text);
}
