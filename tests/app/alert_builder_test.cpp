// The alert builder: window title, answers in button order, a plain-text suppression alert.
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
    EXPECT_EQ(alert->defaultButton()->text(), QStringLiteral("One"));
    ASSERT_EQ(alert->buttons().size(), 3);
    // A real modal run, answered by clicking the third button.
    for (QAbstractButton* b : alert->buttons())
        if (b->text() == QStringLiteral("Three")) QTimer::singleShot(0, b, &QAbstractButton::click);
    EXPECT_EQ(runAlertModal(*alert), 1002);
}

// Server and window texts are shown as written, never as markup: the informative label too.
TEST(AlertBuilder, SuppressionBoxAndPlainText) {
    auto alert = createAlert("<i>Title</i>", "<b>bold</b>", {"Okay"}, true, "Never again");
    ASSERT_NE(alert->checkBox(), nullptr);
    EXPECT_EQ(alert->checkBox()->text(), QStringLiteral("Never again"));
    EXPECT_EQ(alert->textFormat(), Qt::PlainText);
    alert->show(); // lays out the labels
    int informative = 0;
    for (QLabel* label : alert->findChildren<QLabel*>())
        if (label->text() == QStringLiteral("<b>bold</b>")) {
            ++informative;
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
        }
    EXPECT_EQ(informative, 1);
    alert->hide();
}

} // namespace
} // namespace velora
