#pragma once
// One switcher per user and display. The first program listens on a local socket whose name
// holds the user and the display; a later start connects to it, which the first takes as a
// re-open (it may show the preferences), and ends without starting a second switcher. The
// same socket takes `velora --trigger NAME` (instance_socket.h has the requests).
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>

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
    // Takes a trigger's hot key name; answers an empty string when the press was taken, else
    // why not (one line for the user).
    using TriggerHandler = std::function<std::string(const std::string& name)>;
    // Starts listening; a stale socket left by a program that ended is replaced. False when
    // the name cannot be taken. Both handlers run on the thread that listens.
    bool listen(std::function<void()> onReopen, TriggerHandler onTrigger = {});

  private:
    // The answer to one request line; none for a line that is no request.
    std::optional<std::string> answer(const std::string& line);

    QString name_;
    std::unique_ptr<QLocalServer> server_;
    std::function<void()> onReopen_;
    TriggerHandler onTrigger_;
};

} // namespace velora
