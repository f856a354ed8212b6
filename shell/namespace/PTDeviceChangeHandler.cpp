#include "shell/namespace/PTDeviceChangeHandler.h"

#include "shell/namespace/ThreadHandOff.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QSocketNotifier>
#include <QStorageInfo>
#include <QTimer>
#include <fcntl.h>
#include <unistd.h>

namespace {

class DeviceEvent : public QEvent
{
public:
    explicit DeviceEvent(TDeviceChangeMessage message)
        : QEvent(Type()), m_message(std::move(message))
    {
    }
    static QEvent::Type Type()
    {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    const TDeviceChangeMessage& Message() const { return m_message; }

private:
    TDeviceChangeMessage m_message;
};

QSet<QString> MountedRoots()
{
    QSet<QString> roots;
    for (const QStorageInfo& info : QStorageInfo::mountedVolumes())
        roots.insert(info.rootPath());
    return roots;
}

} // namespace

TPTDeviceChangeHandler::TPTDeviceChangeHandler(QObject* parent) : QObject(parent)
{
    m_mounts = MountedRoots();
#if defined(__linux__)
    // The mount table signals a change as an exceptional condition on its file.
    m_mountsFd = ::open("/proc/self/mounts", O_RDONLY | O_CLOEXEC);
    if (m_mountsFd >= 0) {
        m_notifier = new QSocketNotifier(m_mountsFd, QSocketNotifier::Exception, this);
        connect(m_notifier, &QSocketNotifier::activated, this,
                &TPTDeviceChangeHandler::CheckMounts);
        return;
    }
#endif
    m_pollTimer = new QTimer(this);
    connect(m_pollTimer, &QTimer::timeout, this, &TPTDeviceChangeHandler::CheckMounts);
    m_pollTimer->start(2000);
}

TPTDeviceChangeHandler::~TPTDeviceChangeHandler()
{
    delete m_notifier;
    if (m_mountsFd >= 0)
        ::close(m_mountsFd);
}

void TPTDeviceChangeHandler::Add(const void* owner, Subscriber subscriber)
{
    m_subscribers.push_back({owner, std::move(subscriber)});
}

void TPTDeviceChangeHandler::Remove(const void* owner)
{
    for (auto it = m_subscribers.begin(); it != m_subscribers.end(); ++it) {
        if (it->owner == owner) {
            m_subscribers.erase(it);
            return;
        }
    }
}

void TPTDeviceChangeHandler::DeviceChange(std::uintptr_t wParam, std::intptr_t lParam,
                                          const QString& rootPath)
{
    TDeviceChangeMessage message;
    message.wParam = wParam;
    message.lParam = lParam;
    message.rootPath = rootPath;
    auto* event = new DeviceEvent(std::move(message));
    HandOffPostedEvent(event);
    QCoreApplication::postEvent(this, event);
}

bool TPTDeviceChangeHandler::event(QEvent* event)
{
    TakeOverPostedEvent(event);
    if (event->type() != DeviceEvent::Type())
        return QObject::event(event);
    const TDeviceChangeMessage& message = static_cast<DeviceEvent*>(event)->Message();
    // A subscriber may add or remove subscribers; tell those present when the message came.
    std::vector<Entry> subscribers = m_subscribers;
    for (const Entry& entry : subscribers) {
        bool stillThere = false;
        for (const Entry& current : m_subscribers)
            stillThere |= current.owner == entry.owner;
        if (stillThere && entry.subscriber)
            entry.subscriber(this, message);
    }
    return true;
}

void TPTDeviceChangeHandler::CheckMounts()
{
    QSet<QString> now = MountedRoots();
    for (const QString& root : now) {
        if (!m_mounts.contains(root))
            DeviceChange(DBT_DEVICEARRIVAL, 0, root);
    }
    for (const QString& root : m_mounts) {
        if (!now.contains(root))
            DeviceChange(DBT_DEVICEREMOVECOMPLETE, 0, root);
    }
    m_mounts = now;
}

TPTDeviceChangeHandler* PTDeviceChangeHandler()
{
    static QPointer<TPTDeviceChangeHandler> handler;
    if (!handler)
        handler = new TPTDeviceChangeHandler(QCoreApplication::instance());
    return handler;
}
