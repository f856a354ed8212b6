#pragma once

// Runs a copy, move or link job on a worker thread so that the window stays usable: once the
// job has run for a second a progress dialog shows the item and the bytes done, with Cancel.
// Finished comes on the GUI thread after the job has ended.

#include "shell/namespace/FileOperation.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

class QProgressDialog;
class QWidget;

class TFileJobRunner : public QObject
{
    Q_OBJECT

public:
    // The dialog, when one shows, belongs to dialogParent's window.
    TFileJobRunner(std::unique_ptr<TFileOperation> job, QWidget* dialogParent);
    // Cancels a job still running and waits for it to end.
    ~TFileJobRunner() override;

    void Start();
    void Cancel();
    bool Running() const { return m_thread.joinable(); }
    TFileOperation& Job() { return *m_job; }
    // The progress dialog while it shows, otherwise null.
    QProgressDialog* ProgressDialog() const;

    // Jobs of this program that have not ended yet.
    static int RunningCount();
    static void CancelAll();

    // Runs on the worker before the job: lets tests hold a job while it counts as running.
    static void SetWorkerGate(std::function<void()> gate);

signals:
    void Finished();

private:
    void Poll();
    void ShowProgress();
    void UpdateProgress();

    std::unique_ptr<TFileOperation> m_job;
    QPointer<QWidget> m_dialogParent;
    // The window owns the dialog too and may go first: a guarded pointer, deleted by whoever
    // is last.
    QPointer<QProgressDialog> m_dialog;
    QTimer m_pollTimer;
    QTimer m_showTimer;
    std::thread m_thread;
    std::atomic<bool> m_done{false};
};
