#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "editor/brelvanfrm.h"
#include "platform/clock.h"
#include "platform/dialogs.h"

class QUndoStack;
class TPropertyEditor;

// The main window as tests drive it: message boxes recorded (none is opened), the clock in the
// test's hand, the window shown at a size. Test files add what only they need by deriving.
struct WindowFixture {
    explicit WindowFixture(QSize size = QSize(800, 600));
    virtual ~WindowFixture();

    TBoardSurface* board() const { return window->Board(); }
    // Arms the tool of tag and clicks the board at pos, as the user places a component; the
    // component placed last, or nullptr.
    TOrvexGraphicComponent* placeAt(int tag, QPoint pos);
    TOrvexGraphicComponent* newest() const;
    template <typename T = TOrvexGraphicComponent> T* find(const QString& name) const {
        return qobject_cast<T*>(board()->FindOwnedName(name));
    }
    // A published property of a placed component in its text form.
    QString property(const QString& component, const char* prop) const;
    // The board as its file holds it, blocks in name order: the same for the same components,
    // properties and wires whatever their ownership order (undo brings a component back last).
    QString sortedText() const;
    QUndoStack* undo() const;
    TPropertyEditor* grid() const;
    // Selects an entry of a list row of the properties window, as the user does.
    void choose(const QString& prop, const QString& entry);

    ScopedDialogRecorder dialogs;
    ScopedManualClock clock;
    std::unique_ptr<TfrmPlugin> window;
};

// Points the user's settings (recent files, remembered views) at a scratch folder for as long as
// it lives.
class ScratchSettings {
public:
    ScratchSettings();

private:
    QTemporaryDir m_dir;
};
