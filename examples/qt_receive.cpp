// Prints what arrives on a serial port for some seconds. A Qt console
// program: the port's handlers run on Qt's main loop (smThreadSync, the
// default), so they may touch anything the main thread owns.
//
//   qt_receive PORT [SECONDS]
#include <velt/comport/CPort.h>
#include <velt/comport/ui/QtHandOver.h>

#include <QCoreApplication>
#include <QTimer>

#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: qt_receive PORT [SECONDS]\n";
        return 2;
    }
    const int seconds = argc > 2 ? std::stoi(argv[2]) : 10;

    // Lets Qt's loop run the handlers that the port's event thread hands over.
    InstallQtHandOver();

    TComPort port(nullptr);
    port.SetPort(argv[1]);
    port.SetBaudRate(br9600);
    port.OnRxChar = [&port](TComponent*, int32_t Count) {
        std::string received;
        port.ReadText(received, Count);
        std::cout << received << std::flush;
    };
    try {
        port.Open();
    } catch (const std::exception& Error) {
        std::cerr << Error.what() << '\n';
        return 1;
    }
    std::cerr << "Receiving on " << port.Port() << " for " << seconds << " s\n";
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    const int result = app.exec();
    port.Close();
    return result;
}
