// The yardstick of bench/startup.sh: a bare Qt Widgets window with a list of
// 2 000 items, started and ended the way the program is under
// SOMNEX_STARTUP_PROBE=shown (the process ends once the window is painted).
// What the program adds to this is what its own start-up costs.
#include <QApplication>
#include <QEvent>
#include <QListWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdlib>

namespace {

class EndOnPaint : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            QTimer::singleShot(0, [] { std::_Exit(0); });
        return false;
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Окно"));
    auto *layout = new QVBoxLayout(&window);
    auto *list = new QListWidget(&window);
    layout->addWidget(list);
    QStringList items;
    items.reserve(2000);
    for (int i = 0; i < 2000; ++i)
        items << QStringLiteral("Слово %1").arg(i);
    list->addItems(items);
    window.resize(400, 600);
    window.installEventFilter(new EndOnPaint(&window));
    window.show();
    return app.exec();
}
