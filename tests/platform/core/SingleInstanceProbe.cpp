// A start of the single-instance guard in a process of its own:
//   single_instance_probe FOLDER EXPECTED
// The process that becomes the instance prints "first", waits until EXPECTED
// later starts asked it to come to the front (at most 20 s), prints
// "activations N" and exits 0; a later start exits 3.
#include "platform/core/SingleInstance.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    somnex::SingleInstance instance(QString::fromLocal8Bit(argv[1]));
    if (!instance.start())
        return 3;
    std::printf("first\n");
    std::fflush(stdout);
    const int expected = std::atoi(argv[2]);
    int activations = 0;
    QObject::connect(&instance, &somnex::SingleInstance::activationRequested, [&] {
        if (++activations >= expected)
            QCoreApplication::quit();
    });
    QTimer::singleShot(20000, &app, &QCoreApplication::quit);
    if (expected > 0)
        app.exec();
    std::printf("activations %d\n", activations);
    return 0;
}
