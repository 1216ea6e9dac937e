// Linux entry point: the Qt application, our Qt backend, then the application
// object's InitInstance, which runs the main form until it ends.
#include <QApplication>

#include "app/segment_app.h"
#include "framework/qt/qt_backend.h"

CSegmentApp theApp;

int main(int argc, char** argv) {
  QApplication qtApp(argc, argv);
  QtBackend backend;
  theApp.InitInstance();
  return 0;
}
