#pragma once
// The dialog seam of the application's documents: its dialogs are the main window's (tests
// swap in scripted ones), its message pass is Qt's event loop, throttled while programs run,
// and a view's window is a child frame in the main window.

#include <QElapsedTimer>
#include <QObject>
#include <memory>

#include "dialogs.h"
#include "ui.h"

namespace tivane {

class CMainFrame;

class AppUi final : public QObject, public DialogForwarder<Ui> {
public:
    explicit AppUi(CMainFrame& main);
    ~AppUi() override;

    void SetDialogs(std::unique_ptr<Dialogs> dialogs);
    Dialogs& dialogs() { return *m_dialogs; }
    // True while a message pass is on the stack: what code below it uses must stay.
    bool InPass() const { return m_pumpDepth > 0; }

    void PumpMessages() override;
    void SetRunningLook(bool running) override;
    std::unique_ptr<WindowSurface> MakeWindow(CViewBase& view) override;

protected:
    DialogSeam& Target() override { return *m_dialogs; }

private:
    CMainFrame& m_main;
    std::unique_ptr<Dialogs> m_dialogs;
    QElapsedTimer m_pumpClock;
    qint64 m_pumpWaitMs = 0;
    int m_pumpDepth = 0;
    // Time the event loop spent blocked waiting for input (a modal dialog waiting on a
    // person), which the pass throttle does not count.
    QElapsedTimer m_blockClock;
    qint64 m_blockedNs = 0;
};

} // namespace tivane
