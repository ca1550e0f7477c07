// kelsor-bare-window: the least a Qt Widgets program does to show a window,
// built with the same compiler, flags and Qt as the client. The start-up
// benchmarks measure the client against it.
//   kelsor-bare-window WIDTH HEIGHT
#include <QApplication>
#include <QWidget>
#include <cstdlib>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const int width = argc > 2 ? std::atoi(argv[1]) : 0;
    const int height = argc > 2 ? std::atoi(argv[2]) : 0;
    QWidget window;
    window.setWindowTitle(QStringLiteral("KelsorOCR文字识别"));
    window.resize(width > 0 ? width : 1120, height > 0 ? height : 720);
    window.show();
    return application.exec();
}
