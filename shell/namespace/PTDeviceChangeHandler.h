#pragma once

// Re-broadcasts volume arrivals and removals to the controls, always later from the event loop
// and never inside the notification itself.

#include <QObject>
#include <QSet>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;
class QTimer;

constexpr int WM_DEVICECHANGE = 0x219;
constexpr int DBT_DEVICEARRIVAL = 0x8000;
constexpr int DBT_DEVICEREMOVECOMPLETE = 0x8004;
constexpr int kDeviceChangeMessage = 1124; // WM_USER + 100

struct TDeviceChangeMessage
{
    int message = kDeviceChangeMessage;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    QString rootPath; // the volume that came or went
};

class TPTDeviceChangeHandler : public QObject
{
    Q_OBJECT
public:
    using Subscriber = std::function<void(TPTDeviceChangeHandler*, const TDeviceChangeMessage&)>;

    explicit TPTDeviceChangeHandler(QObject* parent = nullptr);
    ~TPTDeviceChangeHandler() override;

    // Subscribers are told in the order they were added; Remove drops the owner's first one.
    void Add(const void* owner, Subscriber subscriber);
    void Remove(const void* owner);
    int SubscriberCount() const { return static_cast<int>(m_subscribers.size()); }

    // The system's notice of a device change: answered at once, broadcast later.
    void DeviceChange(std::uintptr_t wParam, std::intptr_t lParam, const QString& rootPath = {});

protected:
    bool event(QEvent* event) override;

private:
    void CheckMounts();

    struct Entry
    {
        const void* owner;
        Subscriber subscriber;
    };
    std::vector<Entry> m_subscribers;
    QSet<QString> m_mounts;
    int m_mountsFd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_pollTimer = nullptr;
};

// The process-wide broadcaster, created on first use and destroyed with the application.
TPTDeviceChangeHandler* PTDeviceChangeHandler();
