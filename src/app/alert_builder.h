#pragma once
// The one builder of the program's alerts, and the two ways they are shown: modally (the
// caller waits for the answer) and as a sheet on a window (nobody waits).
//
// - The window title is always "Velora"; the title is the message, the text the
//   informative text, both shown as plain text so that markup from outside (an
//   announcement) is shown literally.
// - Buttons answer 1000, 1001, ... in the order given; the first is the default.
// - Tests replace the runner and the sheet presenter to answer alerts without a user.
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QMessageBox;
class QWidget;

namespace velora {

constexpr int kAlertFirstButtonReturn = 1000;

std::unique_ptr<QMessageBox> createAlert(const QString& title, const QString& text,
                                         const QStringList& buttons, bool suppressionEnabled,
                                         const QString& suppressionText = {});

// Runs the alert modally; returns the answer of the chosen button (1000...), or -1 when the
// alert was closed without a button.
int runAlertModal(QMessageBox& alert);

// Shows the alert as a window-modal sheet on the parent and returns at once; the alert
// deletes itself when it is dismissed.
void presentAlertSheet(std::unique_ptr<QMessageBox> alert, QWidget* parent);

// The answer of a button of an alert made by createAlert (1000 + index), or -1.
int alertAnswer(const QMessageBox& alert);

using AlertRunner = std::function<int(QMessageBox&)>;
using SheetPresenter = std::function<void(QMessageBox&)>;
// None restores the real ones.
void setAlertRunnerForTesting(AlertRunner runner);
void setSheetPresenterForTesting(SheetPresenter presenter);

} // namespace velora
