#include "ui/mainwidget.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "core/log.h"

MainWidget* MainWidget::instance_ = nullptr;

MainWidget* MainWidget::instance(QWidget* parent)
{
    if (!instance_)
        instance_ = new MainWidget(parent);
    return instance_;
}

void MainWidget::cleanUp()
{
    delete instance_;
    instance_ = nullptr;
}

MainWidget::MainWidget(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(kWidth, kHeight);
    resize(kWidth, kHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move((area.width() - kWidth) / 2, (area.height() - kHeight) / 2);
    }
    setStyleSheet("background-color: white;");

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 95, 0, 0);
    welcome_ = new QLabel(this);
    welcome_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QFont font = welcome_->font();
    font.setPointSize(13);
    welcome_->setFont(font);
    welcome_->setStyleSheet("color: #b2b2b2;");
    layout->addWidget(welcome_);
    layout->addStretch(1);
    retranslate();
}

void MainWidget::retranslate()
{
    setWindowTitle(tr("Trovanti"));
    welcome_->setText(tr("<font>Welcome To Trovanti!<br>Now You Can Send Files Across Any Platform.</font>"));
}

void MainWidget::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void MainWidget::showWindows()
{
    if (!isVisible()) {
        show();
    } else if (isMinimized()) {
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        raise();
    }
    raise();
    activateWindow();
    Log::getLog(Log::Both) << "MainWidget: window shown\n";
}
