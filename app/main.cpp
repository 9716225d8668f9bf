// tivane: the desktop application.

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "dialogs.h"
#include "errors.h"
#include "mainframe.h"
#include "pictureexport.h"
#include "qtenv.h"
#include "tivanedoc.h"
#include "tivaneview.h"
#include "version.h"

namespace {

tivane::CMainFrame* g_mainFrame = nullptr;

// Floating-point traps stay masked (IEEE defaults), so arithmetic gives infinities and NaNs;
// should a trap arrive anyway, the run of the active document ends with error 24.
extern "C" void OnMathSignal(int) {
    if (!g_mainFrame) return;
    if (tivane::CTivaneDoc* doc = g_mainFrame->ActiveDocument()) doc->errorCode = tivane::ERR_MATH;
}

constexpr const char* kUsage =
    "Usage: tivane [DOCUMENT]\n"
    "       tivane --version | --help\n"
    "\n"
    "Opens DOCUMENT (a .tvd file) with its windows, or asks for a document to open or\n"
    "create. The whole command line is one path, blanks and all. See tivane(1).\n";

} // namespace

int main(int argc, char** argv) {
    // The command line is a document path; these two alone are answered without a window.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("tivane %s\n", TIVANE_VERSION);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    tivane::PrepareQtEnvironment();
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName("Tivane");
    QCoreApplication::setApplicationName("Tivane");
    // The language prints numbers with a '.' whatever the user's locale says.
    std::setlocale(LC_NUMERIC, "C");
    tivane::FilePictureWriter pictureWriter;
    tivane::InstallPictureWriter(&pictureWriter);
    // Dialogs: light grey with black text.
    app.setStyleSheet(
        "QDialog, QMessageBox { background-color: rgb(192, 192, 192); color: black; }");

    // The command line is one path: a path with blanks may come as several arguments.
    QStringList args = app.arguments();
    args.removeFirst();
    const std::string commandLine = args.join(' ').toStdString();

    tivane::CMainFrame frame(tivane::ApplicationSearch(commandLine));
    g_mainFrame = &frame;
    struct sigaction action {};
    action.sa_handler = OnMathSignal;
    sigemptyset(&action.sa_mask);
    if (sigaction(SIGFPE, &action, nullptr) != 0)
        frame.dialogs().MessageBox("Could not set math signal.", tivane::MessageIcon::Stop, 0);

    // Maximized whatever the session asked for; without a window manager to do it, the
    // frame takes the screen's available area itself.
    if (QScreen* screen = frame.screen()) frame.setGeometry(screen->availableGeometry());
    frame.showMaximized();
    // Benchmarks (bench/app/): TIVANE_BENCH=paint quits after the first painted window,
    // TIVANE_BENCH=execute executes the document once, prints the time it took and quits.
    const QString bench = qEnvironmentVariable("TIVANE_BENCH");
    QTimer::singleShot(0, &frame, [&frame, commandLine, bench] {
        if (commandLine.empty())
            frame.OpenOrCreateDocument();
        else
            frame.OpenDocumentFile(commandLine);
        if (bench == "paint") {
            frame.repaint();
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        } else if (bench == "execute" && frame.ActiveDocument()) {
            // The windows are painted first, as they are when a person presses Ctrl+E.
            QApplication::processEvents();
            QElapsedTimer clock;
            clock.start();
            frame.ActiveDocument()->Execute();
            std::fprintf(stderr, "execute_seconds %.4f\n", clock.nsecsElapsed() / 1e9);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
    });
    const int status = app.exec();
    g_mainFrame = nullptr;
    return status;
}
