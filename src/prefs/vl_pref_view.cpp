#include "prefs/vl_pref_view.h"

#include <QKeyEvent>

#include "prefs/recorder_keys.h"

namespace velora {

VLPrefView::VLPrefView(QWidget* parent) : QWidget(parent) {}

bool VLPrefView::performKeyEquivalent(QKeyEvent* event) {
    if (!isControlOnlyKeyEvent(*event) || event->key() != Qt::Key_W) return false;
    window()->hide();
    return true;
}

void VLPrefView::keyPressEvent(QKeyEvent* event) {
    if (performKeyEquivalent(event)) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace velora
