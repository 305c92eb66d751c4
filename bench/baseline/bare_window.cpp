// The baseline of the start-up, memory and idle figures: a bare Qt Widgets window of
// the main window's size that shows one line of text and runs a 25 ms timer that does
// nothing, as the main window's connection icon timer runs.
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("bare window"));
  window.setFixedSize(679, 190);
  QLabel text(QStringLiteral("Flightstick not connected"), &window);
  text.move(10, 10);
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, [] {});
  tick.start(25);
  window.show();
  return QApplication::exec();
}
