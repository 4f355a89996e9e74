// A termination signal ends the event loop with status 0, as "Quit" does, and more than one
// signal on the way is still one ending.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <csignal>

#include "app/termination_signals.h"

namespace velora {
namespace {

TEST(TerminationSignals, EachEndsTheEventLoopCleanly) {
    quitOnTerminationSignals();
    quitOnTerminationSignals(); // a second call changes nothing
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        QTimer::singleShot(0, [sig] {
            std::raise(sig);
            std::raise(sig);
        });
        QTimer::singleShot(5000, [] { QCoreApplication::exit(7); });
        EXPECT_EQ(QCoreApplication::exec(), 0) << "signal " << sig;
    }
}

} // namespace
} // namespace velora
