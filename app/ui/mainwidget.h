#pragma once

#include <QWidget>

class QLabel;

// The one main window. For now it shows the welcome page; the device list and room panes take
// their place beside it.
class MainWidget : public QWidget
{
    Q_OBJECT
public:
    static MainWidget* instance(QWidget* parent = nullptr);
    static void cleanUp();

    static constexpr int kWidth = 840;
    static constexpr int kHeight = 600;

public slots:
    // Brings the window to the front: shows it, or restores it when minimised, and activates it.
    void showWindows();

protected:
    void changeEvent(QEvent* event) override;

private:
    explicit MainWidget(QWidget* parent);
    void retranslate();

    QLabel* welcome_ = nullptr;
    static MainWidget* instance_;
};
