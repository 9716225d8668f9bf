// Widgets need a QApplication; GoogleTest's main runs the suite, so the application lives in
// a global environment, with Qt's offscreen platform unless one is set.

#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>
#include <memory>

#include "pictureexport.h"
#include "qtenv.h"

namespace {

class AppEnvironment final : public testing::Environment {
public:
    void SetUp() override {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        tivane::PrepareQtEnvironment();
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
        QCoreApplication::setOrganizationName("TivaneTests");
        std::setlocale(LC_NUMERIC, "C");
        tivane::InstallPictureWriter(&m_pictureWriter);
    }
    void TearDown() override {
        tivane::InstallPictureWriter(nullptr);
        m_app.reset();
    }

private:
    char m_name[20] = "tivane_app_tests";
    char* m_argv[2] = {m_name, nullptr};
    int m_argc = 1;
    std::unique_ptr<QApplication> m_app;
    tivane::FilePictureWriter m_pictureWriter;
};

[[maybe_unused]] testing::Environment* const g_app =
    testing::AddGlobalTestEnvironment(new AppEnvironment);

} // namespace
