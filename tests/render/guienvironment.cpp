// Fonts, and so every replay, need a QGuiApplication. GoogleTest's own main runs the suite, so
// the application lives in a global environment: made before the first test, gone after the
// last. Listing the tests (CTest's discovery) makes none, so it needs no display. Graphics
// views write their pictures with the application's writer, as in the programs.

#include <gtest/gtest.h>

#include <memory>

#include <QGuiApplication>

#include "pictureexport.h"

namespace {

class GuiEnvironment final : public testing::Environment {
public:
    void SetUp() override {
        // Runs outside CTest (a bare ./tivane_render_tests) need no display either.
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        m_app = std::make_unique<QGuiApplication>(m_argc, m_argv);
        tivane::InstallPictureWriter(&m_pictureWriter);
    }
    void TearDown() override {
        tivane::InstallPictureWriter(nullptr);
        m_app.reset();
    }

private:
    char m_name[20] = "tivane_render_tests";
    char* m_argv[2] = {m_name, nullptr};
    int m_argc = 1; // QGuiApplication keeps a reference to it
    std::unique_ptr<QGuiApplication> m_app;
    tivane::FilePictureWriter m_pictureWriter;
};

// GoogleTest takes ownership of the environment.
[[maybe_unused]] testing::Environment* const g_gui =
    testing::AddGlobalTestEnvironment(new GuiEnvironment);

} // namespace
