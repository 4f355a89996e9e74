#include "app/alert_builder.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <mutex>

namespace velora {

namespace {

const char* const kAnswerProperty = "veloraAnswer";

std::mutex hooksMutex;
AlertRunner testRunner;
SheetPresenter testPresenter;

AlertRunner runner() {
    std::lock_guard lock(hooksMutex);
    return testRunner;
}

SheetPresenter presenter() {
    std::lock_guard lock(hooksMutex);
    return testPresenter;
}

} // namespace

std::unique_ptr<QMessageBox> createAlert(const QString& title, const QString& text,
                                         const QStringList& buttons, bool suppressionEnabled,
                                         const QString& suppressionText) {
    auto alert = std::make_unique<QMessageBox>();
    alert->setWindowTitle(QStringLiteral("Velora"));
    alert->setTextFormat(Qt::PlainText);
    alert->setText(title);
    alert->setInformativeText(text);
    // The informative text follows the text format only for rich text detection; a label
    // of the box is set to plain text explicitly so that markup is never interpreted.
    for (QObject* child : alert->children())
        if (auto* label = qobject_cast<QLabel*>(child)) label->setTextFormat(Qt::PlainText);
    for (int i = 0; i < buttons.size(); ++i) {
        QPushButton* button = alert->addButton(buttons[i], QMessageBox::AcceptRole);
        button->setProperty(kAnswerProperty, kAlertFirstButtonReturn + i);
        if (i == 0) alert->setDefaultButton(button);
    }
    if (suppressionEnabled) {
        auto* box = new QCheckBox(suppressionText.isEmpty() ? QStringLiteral("Do not show this message again")
                                                            : suppressionText);
        alert->setCheckBox(box);
    }
    return alert;
}

int alertAnswer(const QMessageBox& alert) {
    QAbstractButton* clicked = alert.clickedButton();
    if (!clicked) return -1;
    bool ok = false;
    const int answer = clicked->property(kAnswerProperty).toInt(&ok);
    return ok ? answer : -1;
}

int runAlertModal(QMessageBox& alert) {
    if (AlertRunner r = runner()) return r(alert);
    alert.exec();
    return alertAnswer(alert);
}

void presentAlertSheet(std::unique_ptr<QMessageBox> alert, QWidget* parent) {
    if (SheetPresenter p = presenter()) {
        p(*alert);
        return;
    }
    QMessageBox* box = alert.release();
    if (parent) {
        box->setParent(parent, box->windowFlags());
        box->setWindowModality(Qt::WindowModal);
    }
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void setAlertRunnerForTesting(AlertRunner r) {
    std::lock_guard lock(hooksMutex);
    testRunner = std::move(r);
}

void setSheetPresenterForTesting(SheetPresenter p) {
    std::lock_guard lock(hooksMutex);
    testPresenter = std::move(p);
}

} // namespace velora
