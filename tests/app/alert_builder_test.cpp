// The alert builder: window title, answers, suppression box, plain text.
#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/alert_builder.h"

namespace velora {
namespace {

TEST(AlertBuilder, ButtonsAnswerFromOneThousandInOrder) {
    auto alert = createAlert("T", "text", {"One", "Two", "Three"}, false);
    EXPECT_EQ(alert->windowTitle(), QStringLiteral("Velora"));
    EXPECT_EQ(alert->checkBox(), nullptr);
    QList<QAbstractButton*> buttons = alert->buttons();
    ASSERT_EQ(buttons.size(), 3);
    EXPECT_EQ(alert->defaultButton()->text(), QStringLiteral("One"));
    // A real modal run, answered by clicking the third button.
    QAbstractButton* third = nullptr;
    for (QAbstractButton* b : buttons)
        if (b->text() == QStringLiteral("Three")) third = b;
    ASSERT_NE(third, nullptr);
    QTimer::singleShot(0, third, &QAbstractButton::click);
    EXPECT_EQ(runAlertModal(*alert), 1002);
}

TEST(AlertBuilder, SuppressionBoxAndPlainText) {
    auto alert = createAlert("<i>Title</i>", "<b>bold</b>", {"Okay"}, true, "Never again");
    ASSERT_NE(alert->checkBox(), nullptr);
    EXPECT_EQ(alert->checkBox()->text(), QStringLiteral("Never again"));
    EXPECT_EQ(alert->textFormat(), Qt::PlainText);
    alert->show(); // lays out the labels
    bool sawInformative = false;
    for (QLabel* label : alert->findChildren<QLabel*>()) {
        if (label->text() != QStringLiteral("<b>bold</b>")) continue;
        sawInformative = true;
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
    }
    EXPECT_TRUE(sawInformative);
    alert->hide();
}

} // namespace
} // namespace velora
