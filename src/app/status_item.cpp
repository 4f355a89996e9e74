// The status item and its menu, and the About window.
#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QLabel>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include "app/status_icons.h"
#include "app/velora_controller.h"

namespace velora {

void VeloraController::displayStatusIcon() {
    if (statusItem_ && hideMenuIcon_ != 0) {
        statusItem_->hide();
        statusItem_.reset();
        statusMenu_.reset();
    }
    if (!statusItem_ && hideMenuIcon_ == 0) {
        statusItem_ = std::make_unique<QSystemTrayIcon>();
        statusItem_->setToolTip(QStringLiteral("Velora"));
        // Any click opens the menu, as a click on a status item does. Qt opens it by itself
        // only for a right click in an XEmbed tray; a left click there, and a D-Bus host's
        // Activate or ContextMenu (a host that does not draw the exported menu), arrive here.
        // Deferred, so that a menu Qt opened for the same click is found open and left alone.
        QObject::connect(statusItem_.get(), &QSystemTrayIcon::activated, this,
                         [this](QSystemTrayIcon::ActivationReason reason) {
                             if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::Context)
                                 return;
                             QTimer::singleShot(0, this, [this] {
                                 if (statusMenu_ && !statusMenu_->isVisible())
                                     statusMenu_->popup(QCursor::pos());
                             });
                         });
    }
    if (hideMenuIcon_ != 0) return;
    // The new menu goes in before the old one is freed: the item never points at a freed menu.
    std::unique_ptr<QMenu> menu(createMenu());
    statusItem_->setContextMenu(menu.get());
    statusMenu_ = std::move(menu);
    statusItem_->setIcon(statusIcon(monoIcon_ != 0, monoIconColour()));
    statusItem_->show();
}

QMenu* VeloraController::createMenu() {
    auto* menu = new QMenu;
    QObject::connect(menu->addAction(QStringLiteral("Preferences")), &QAction::triggered, this,
                     [this] { showPreferences(); });
    QObject::connect(menu->addAction(QStringLiteral("About")), &QAction::triggered, this,
                     [this] { showAbout(); });
    menu->addSeparator();
    QObject::connect(menu->addAction(QStringLiteral("Quit")), &QAction::triggered, this,
                     [this] { terminate(); });
    return menu;
}

QWidget* VeloraController::aboutWindow() {
    if (!aboutWindow_) {
        aboutWindow_ = std::make_unique<QWidget>(nullptr, Qt::Window);
        aboutWindow_->setWindowTitle(QStringLiteral("About Velora"));
        auto* layout = new QVBoxLayout(aboutWindow_.get());
        auto* icon = new QLabel;
        ensureAppResources();
        icon->setPixmap(QIcon(QStringLiteral(":/app/velora.svg")).pixmap(64, 64));
        icon->setAlignment(Qt::AlignCenter);
        auto* name = new QLabel(QStringLiteral("Velora"));
        QFont bold = name->font();
        bold.setBold(true);
        bold.setPointSizeF(bold.pointSizeF() * 1.4);
        name->setFont(bold);
        name->setAlignment(Qt::AlignCenter);
        versionLabel_ = new QLabel;
        versionLabel_->setAlignment(Qt::AlignCenter);
        auto* blurb = new QLabel(QStringLiteral("Keyboard-driven window and application switcher."));
        blurb->setAlignment(Qt::AlignCenter);
        layout->addWidget(icon);
        layout->addWidget(name);
        layout->addWidget(versionLabel_);
        layout->addWidget(blurb);
    }
    versionLabel_->setText(versionText());
    return aboutWindow_.get();
}

void VeloraController::showAbout() {
    QWidget* window = aboutWindow();
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace velora
