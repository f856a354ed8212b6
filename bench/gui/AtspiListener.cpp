// quirefold-bench-atspi FILE: a screen reader's side of the accessibility bus, for the benchmark
// runs with the accessibility bridge on. Qt's bridge sends an event only when some program has
// registered for it, as a screen reader does; this registers for the events a screen reader
// listens to, receives them, creates FILE.ready once it listens, and when ended (SIGTERM or
// SIGINT) writes into FILE one line a kind of event, "Interface:Member:kind count", and then
// "inserted-characters N", the characters the text-inserted events reported.
// Runs in the session whose bus is DBUS_SESSION_BUS_ADDRESS (the accessibility bus is asked
// from it, which starts it).
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFile>
#include <QMap>
#include <QObject>
#include <QTimer>
#include <csignal>
#include <cstdio>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int)
{
    g_stop = 1;
}

// The event kinds a screen reader such as Orca registers for, in libatspi's spelling (the
// registry passes them on to the applications in theirs).
const char* const kEvents[] = {
    "object:text-changed:insert",
    "object:text-changed:delete",
    "object:text-caret-moved",
    "object:text-selection-changed",
    "object:children-changed",
    "object:state-changed",
    "object:selection-changed",
    "object:active-descendant-changed",
    "object:property-change",
    "object:value-changed",
    "object:row-inserted",
    "object:row-deleted",
    "object:visible-data-changed",
    "focus:",
    "window:activate",
    "window:deactivate",
};

class TListener : public QObject
{
    Q_OBJECT
public:
    QMap<QString, qint64> Counts;
    qint64 InsertedCharacters = 0;

public slots:
    void Event(const QDBusMessage& message)
    {
        const QList<QVariant> args = message.arguments();
        const QString kind = args.isEmpty() ? QString() : args.front().toString();
        const QString interface = message.interface().section(u'.', -1);
        ++Counts[interface + u':' + message.member() + u':' + kind];
        // TextChanged: kind, start, length, the text, the application.
        if (message.member() == QLatin1String("TextChanged") && kind == QLatin1String("insert") &&
            args.size() > 2)
            InsertedCharacters += args.at(2).toLongLong();
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: quirefold-bench-atspi FILE\n", stderr);
        return 2;
    }
    QCoreApplication app(argc, argv);
    const QString file = QString::fromLocal8Bit(argv[1]);

    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
        QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    const QDBusReply<QString> address = QDBusConnection::sessionBus().call(ask);
    if (!address.isValid()) {
        std::fprintf(stderr, "quirefold-bench-atspi: no accessibility bus: %s\n",
                     qPrintable(address.error().message()));
        return 1;
    }
    QDBusConnection bus =
        QDBusConnection::connectToBus(address.value(), QStringLiteral("quirefold-bench-atspi"));
    if (!bus.isConnected()) {
        std::fputs("quirefold-bench-atspi: cannot connect to the accessibility bus\n", stderr);
        return 1;
    }

    TListener listener;
    for (const char* interface : {"Object", "Focus", "Window"}) {
        const QString name = QStringLiteral("org.a11y.atspi.Event.") + QLatin1String(interface);
        if (!bus.connect(QString(), QString(), name, QString(), &listener,
                         SLOT(Event(QDBusMessage)))) {
            std::fputs("quirefold-bench-atspi: cannot receive the events\n", stderr);
            return 1;
        }
    }
    for (const char* event : kEvents) {
        QDBusMessage registration = QDBusMessage::createMethodCall(
            QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/registry"),
            QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("RegisterEvent"));
        registration << QString::fromLatin1(event) << QStringList() << QString();
        const QDBusMessage reply = bus.call(registration);
        if (reply.type() == QDBusMessage::ErrorMessage) {
            std::fprintf(stderr, "quirefold-bench-atspi: the registry refused %s: %s\n", event,
                         qPrintable(reply.errorMessage()));
            return 1;
        }
    }

    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (g_stop)
            app.quit();
    });
    poll.start(20);
    QFile ready(file + QStringLiteral(".ready"));
    if (!ready.open(QIODevice::WriteOnly))
        return 1;
    ready.close();
    app.exec();

    std::FILE* out = std::fopen(argv[1], "w");
    if (!out)
        return 1;
    for (auto it = listener.Counts.cbegin(); it != listener.Counts.cend(); ++it)
        std::fprintf(out, "%s %lld\n", qPrintable(it.key()), static_cast<long long>(it.value()));
    std::fprintf(out, "inserted-characters %lld\n",
                 static_cast<long long>(listener.InsertedCharacters));
    return std::fclose(out) == 0 ? 0 : 1;
}

#include "AtspiListener.moc"
