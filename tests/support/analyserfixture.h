#pragma once

// The window with its analyser dock shown, as the analyser's tests drive it: boards and firmware
// from the source tree, the runner stepped by the test (never on its own timer).
#include <QSize>
#include <QString>
#include <QStringList>
#include <QToolButton>
#include <utility>

#include "editor/analyser.h"
#include "editor/analyserview.h"
#include "editor/brelvanfrm.h"
#include "editor/firmwarerunner.h"
#include "editor/firmwareui.h"
#include "tests/support/windowfixture.h"

struct AnalyserFixture : WindowFixture {
    explicit AnalyserFixture(QString sourceDir)
        : WindowFixture(QSize(1000, 700)), m_sourceDir(std::move(sourceDir)) {
        runner()->SetFreeRunning(false);
        panel()->parentWidget()->show();
        panel()->resize(900, 300);
    }
    TFirmwareRunner* runner() const { return window->Firmware()->Runner(); }
    TAnalyserPanel* panel() const { return window->findChild<TAnalyserPanel*>(); }
    TAnalyser* analyser() const { return panel()->Analyser(); }
    TAnalyserView* view() const { return panel()->ViewWidget(); }
    void setRun(bool on) {
        if (window->Running() != on) window->RunButton()->click();
    }
    // A board and its firmware (paths below the source tree), loaded and running, with the given
    // rows.
    bool start(const QString& board, const QString& firmware, const QStringList& paths) {
        if (!window->LoadFromFile(m_sourceDir + board)) return false;
        if (!window->Firmware()->LoadFirmware(m_sourceDir + firmware)) return false;
        for (const QString& path : paths)
            if (!panel()->AddPath(path)) return false;
        setRun(true);
        return true;
    }

    const QString m_sourceDir;
};
