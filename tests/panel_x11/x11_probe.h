#pragma once
// Reading the X server's view of windows through the standard X tools.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QThread>

#include <functional>
#include <vector>

namespace velora::test {

inline QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(5000)) return {};
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

inline std::vector<unsigned long> windowIds(const QString& text) {
    std::vector<unsigned long> ids;
    QRegularExpression hex(QStringLiteral("0x[0-9a-fA-F]+"));
    for (auto it = hex.globalMatch(text); it.hasNext();) ids.push_back(it.next().captured().toULong(nullptr, 16));
    return ids;
}

inline std::vector<unsigned long> clientList() {
    return windowIds(run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST")}));
}

inline unsigned long activeWindow() {
    auto ids = windowIds(run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_ACTIVE_WINDOW")}));
    return ids.empty() ? 0 : ids.front();
}

// xwininfo's line "<label>: <value>" for a window.
inline QString windowInfo(unsigned long id, const QString& label) {
    const QString text = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(id)});
    for (const QString& line : text.split('\n'))
        if (line.trimmed().startsWith(label + ':')) return line.section(':', 1).trimmed();
    return {};
}

// Processes events until the condition holds or the time is up; the condition's last answer.
inline bool waitFor(const std::function<bool()>& condition, int msec = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > msec) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    return true;
}

} // namespace velora::test
