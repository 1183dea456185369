// The Qt backend tests need one QApplication for the whole binary.
#include <cairo.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "platform/graphics/graphics.hpp"

namespace {

QtMessageHandler default_handler = nullptr;

// The offscreen platform's notes on window features it lacks are noise.
void quiet_messages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (text.startsWith("This plugin does not support")) return;
  if (default_handler) default_handler(type, context, text);
}

}  // namespace

int main(int argc, char** argv) {
  // Test discovery runs the binary without the test environment.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  default_handler = qInstallMessageHandler(quiet_messages);
  int status = 0;
  {
    QApplication app(argc, argv);
    status = RUN_ALL_TESTS();
    // The windows go before the application does.
    velmora::gfx::install_graphics(std::make_unique<velmora::gfx::HeadlessBackend>());
  }
  // Cairo keeps the font faces of drawn texts until told to let them go;
  // without this the leak checker of sanitizer builds reports them.
  cairo_debug_reset_static_data();
  return status;
}
