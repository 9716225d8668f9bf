#include "appui.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <algorithm>

#include "childframe.h"
#include "mainframe.h"
#include "tivanedoc.h"

namespace tivane {

namespace {

// The message pass lets events through at most this often: Stop and repaints stay prompt,
// and a program that passes messages often does not pay for the event loop each time.
constexpr qint64 kPumpIntervalMs = 10;
// However long the last pass took, the next one comes within this: a slow repaint must not
// leave Stop and the screen unanswered for seconds.
constexpr qint64 kMaxPumpWaitMs = 100;

} // namespace

AppUi::AppUi(CMainFrame& main) : m_main(main) {
    auto dialogs = std::make_unique<QtDialogs>(&main);
    dialogs->showHelp = [&main](uint32_t topic) {
        main.ShowHelpTopic(static_cast<int32_t>(topic));
    };
    m_dialogs = std::move(dialogs);
    m_pumpClock.start();
    // Modal dialogs block in their own event loop; that time is a person's, not the pass's.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                [this] { m_blockClock.start(); });
        connect(dispatcher, &QAbstractEventDispatcher::awake, this, [this] {
            if (m_blockClock.isValid()) m_blockedNs += m_blockClock.nsecsElapsed();
            m_blockClock.invalidate();
        });
    }
}

AppUi::~AppUi() = default;

void AppUi::SetDialogs(std::unique_ptr<Dialogs> dialogs) {
    m_dialogs = std::move(dialogs);
}

void AppUi::PumpMessages() {
    // The throttle spares runs; outside one (the pass after a run, restoring a layout) every
    // pass goes through, so the windows show the end of a run at once.
    if (CTivaneDoc::RunningCount() > 0 && m_pumpClock.elapsed() < m_pumpWaitMs) return;
    m_pumpClock.restart();
    m_main.ShowRunProgress();
    const qint64 blockedBefore = m_blockedNs;
    ++m_pumpDepth;
    QApplication::processEvents(QEventLoop::AllEvents);
    --m_pumpDepth;
    // A pass that took long (a big repaint) makes the next one wait longer, so passing
    // messages takes about a quarter of a run's time at most; time a dialog waited on a
    // person is not the pass's, and the wait stays short enough for Stop to answer.
    const qint64 took = m_pumpClock.restart() - (m_blockedNs - blockedBefore) / 1000000;
    m_pumpWaitMs = std::clamp(3 * took, kPumpIntervalMs, kMaxPumpWaitMs);
}

void AppUi::SetRunningLook(bool running) {
    m_main.ShowRunningLook(running);
}

std::unique_ptr<WindowSurface> AppUi::MakeWindow(CViewBase& view) {
    auto* frame = new CTivaneFrame(m_main, view);
    m_main.AddWindow(*frame);
    return std::make_unique<FrameSurface>(frame);
}

} // namespace tivane
