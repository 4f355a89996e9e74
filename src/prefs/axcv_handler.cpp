#include "prefs/axcv_handler.h"

#include <QKeyEvent>

#include "prefs/recorder_keys.h"

namespace velora {

AXCVHandler::AXCVHandler(QWidget* parent) : QLineEdit(parent) {}

bool AXCVHandler::performKeyEquivalent(QKeyEvent* event) {
    if (!isControlOnlyKeyEvent(*event)) return false;
    const char* action = nullptr;
    switch (event->key()) {
    case Qt::Key_X:
        action = "cut";
        break;
    case Qt::Key_C:
        action = "copy";
        break;
    case Qt::Key_V:
        action = "paste";
        break;
    case Qt::Key_A:
        action = "selectAll";
        break;
    case Qt::Key_Z:
        action = "undo";
        break;
    default:
        return false;
    }
    QWidget* firstResponder = window()->focusWidget();
    if (!firstResponder) firstResponder = this;
    return QMetaObject::invokeMethod(firstResponder, action);
}

void AXCVHandler::keyPressEvent(QKeyEvent* event) {
    if (performKeyEquivalent(event)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

} // namespace velora
