#pragma once

#include <QPoint>
#include <QString>
#include <memory>

#include "components/orvexcomponent.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "simulation/simform.h"

// A board for board-level tests, built in code: a shown board form that (like the main window)
// starts and stops the simulation only when asked, with the dialog recorder and the manual clock
// installed for the fixture's lifetime.
class FixtureForm : public TSimForm {
    Q_OBJECT

public:
    using TSimForm::TSimForm;
    void BuildSchematic() override {}
    void BoardHidden() override {}
};

class BoardFixture {
public:
    BoardFixture();
    ~BoardFixture();
    BoardFixture(const BoardFixture&) = delete;
    BoardFixture& operator=(const BoardFixture&) = delete;

    // Places a component of class T on the board, named `name`, at (x, y).
    template <typename T> T* Place(const QString& name, int x = 0, int y = 0) {
        auto* component = new T(form->Board());
        component->SetName(name);
        component->move(x, y);
        component->show();
        return component;
    }

    // Switch Run on (build the schematic and spread) and off (free it, suspend the board).
    void Run();
    void Stop();

    // Left mouse button on a component, as the user presses it (centre unless a point is given).
    static void Press(QWidget* component, QPoint at = QPoint(-1, -1));
    static void Release(QWidget* component, QPoint at = QPoint(-1, -1));
    static void Click(QWidget* component) {
        Press(component);
        Release(component);
    }

    // A host access through the board form's own handler (message 2026): its reply.
    int HostAccess(int kind, int address, int data, int drivenData);
    int HostAccess(int kind, int address, int data) {
        return HostAccess(kind, address, data, data);
    }

    ScopedDialogRecorder dialogs;
    ScopedManualClock clock;
    std::unique_ptr<FixtureForm> form;
};
