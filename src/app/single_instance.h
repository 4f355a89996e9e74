#pragma once
// One switcher per user and display. The first program listens on a local socket whose name
// holds the user and the display; a later start connects to it, which the first takes as a
// re-open (it may show the preferences), and ends without starting a second switcher.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;

namespace velora {

class SingleInstance final : public QObject {
    Q_OBJECT

  public:
    // The socket's path: $XDG_RUNTIME_DIR (or the temporary folder) / velora-<uid>-<display>.
    static QString socketName(const QString& display);

    explicit SingleInstance(QString name);
    ~SingleInstance() override;

    // True when another program answers on the name; it has been told to re-open.
    bool notifyRunningInstance(int timeoutMs = 2000);
    // Starts listening; a stale socket left by a program that ended is replaced. False when
    // the name cannot be taken.
    bool listen(std::function<void()> onReopen);

  private:
    QString name_;
    std::unique_ptr<QLocalServer> server_;
    std::function<void()> onReopen_;
};

} // namespace velora
