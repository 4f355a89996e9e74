#include "prefs/defaults_controls.h"

#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <algorithm>
#include <cmath>

#include "prefs/axcv_handler.h"
#include "settings/user_defaults.h"

namespace velora {

DefaultsCheckBox::DefaultsCheckBox(const QString& key, const QString& title, QWidget* parent)
    : QCheckBox(title, parent), key_(key) {
    setObjectName(key);
    connect(this, &QCheckBox::toggled, this, [this](bool on) {
        UserDefaults& defaults = UserDefaults::standard();
        defaults.setInteger(key_.toStdString(), on ? 1 : 0);
        defaults.synchronize();
        emit valueWritten(this);
    });
}

void DefaultsCheckBox::reload() {
    QSignalBlocker quiet(this);
    setChecked(UserDefaults::standard().integerForKey(key_.toStdString()) != 0);
}

DefaultsSlider::DefaultsSlider(const QString& key, double minimum, double maximum, double step,
                               Display display, QWidget* parent)
    : QWidget(parent), key_(key), step_(step), display_(display) {
    setObjectName(key);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    slider_ = new QSlider(Qt::Horizontal);
    slider_->setRange(positionFor(minimum), positionFor(maximum));
    slider_->setPageStep(std::max(1, (slider_->maximum() - slider_->minimum()) / 10));
    row->addWidget(slider_, 1);
    if (display == Display::Label) {
        label_ = new QLabel;
        label_->setMinimumWidth(label_->fontMetrics().horizontalAdvance(QStringLiteral("00.0")));
        label_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        row->addWidget(label_);
    } else {
        field_ = new AXCVHandler;
        field_->setValidator(new QIntValidator(int(minimum), int(maximum), field_));
        field_->setAlignment(Qt::AlignRight);
        field_->setFixedWidth(field_->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
        row->addWidget(field_);
        connect(field_, &QLineEdit::editingFinished, this, [this] {
            bool ok = false;
            const int typed = field_->text().toInt(&ok);
            if (ok && typed != int(value()))
                setValueByUser(typed);
            else
                showValue();
        });
    }
    connect(slider_, &QSlider::valueChanged, this, [this] {
        showValue();
        write();
    });
}

int DefaultsSlider::positionFor(double value) const {
    return int(std::lround(value / step_));
}

double DefaultsSlider::value() const {
    return slider_->value() * step_;
}

void DefaultsSlider::showValue() {
    if (label_) label_->setText(QString::asprintf("%.01f", value()));
    if (field_) field_->setText(QString::number(std::lround(value())));
}

void DefaultsSlider::write() {
    UserDefaults& defaults = UserDefaults::standard();
    defaults.setFloat(key_.toStdString(), float(value()));
    defaults.synchronize();
    emit valueWritten(this);
}

void DefaultsSlider::setValueByUser(double v) {
    const int position = std::clamp(positionFor(v), slider_->minimum(), slider_->maximum());
    if (position == slider_->value()) {
        showValue();
        return;
    }
    slider_->setValue(position); // shows and writes
}

void DefaultsSlider::reload() {
    {
        QSignalBlocker quiet(slider_);
        slider_->setValue(positionFor(UserDefaults::standard().floatForKey(key_.toStdString())));
    }
    showValue();
}

} // namespace velora
