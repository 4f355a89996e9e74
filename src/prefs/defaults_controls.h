#pragma once
// Controls bound to one user defaults key each. A change by the user writes the key to the
// standard user defaults and synchronizes at once, then emits valueWritten(control); reload()
// shows the stored value without writing anything. The object name of each control is its key.

#include <QCheckBox>
#include <QString>
#include <QWidget>

class QLabel;
class QSlider;

namespace velora {

class AXCVHandler;

// A 0/1 integer setting.
class DefaultsCheckBox : public QCheckBox {
    Q_OBJECT

  public:
    DefaultsCheckBox(const QString& key, const QString& title, QWidget* parent = nullptr);
    const QString& key() const { return key_; }
    void reload();

  signals:
    void valueWritten(QObject* control);

  private:
    QString key_;
};

// A float setting chosen on a slider: the stored value is the slider position times the step.
// It shows the value either in a label (one decimal, "%.01f") or in an editable
// field (whole numbers, for sizes) that the user may type into.
class DefaultsSlider : public QWidget {
    Q_OBJECT

  public:
    enum class Display { Label, Field };
    DefaultsSlider(const QString& key, double minimum, double maximum, double step, Display display,
                   QWidget* parent = nullptr);
    const QString& key() const { return key_; }
    void reload();

    QSlider* slider() const { return slider_; }
    // The label (Display::Label) or null.
    QLabel* valueLabel() const { return label_; }
    // The field (Display::Field) or null.
    AXCVHandler* valueField() const { return field_; }
    // The value shown, as stored.
    double value() const;
    // Sets the value as the user would: stores it and emits valueWritten.
    void setValueByUser(double value);

  signals:
    void valueWritten(QObject* control);

  private:
    int positionFor(double value) const;
    void showValue();
    void write();

    QString key_;
    double step_;
    Display display_;
    QSlider* slider_ = nullptr;
    QLabel* label_ = nullptr;
    AXCVHandler* field_ = nullptr;
};

} // namespace velora
