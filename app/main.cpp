#include <QApplication>
#include <QLabel>

// Placeholder window until the start-up sequence lands.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLabel label(QObject::tr("Trovanti"));
    label.resize(320, 120);
    label.show();
    return app.exec();
}
