#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "properties/propertytext.h"

class QScrollArea;
class TPropertyEditor;

// The floating properties window: one property grid showing the selected component, limited to
// the properties a user should edit (a few common to all components and a list per class).
// A tool window of the main window (above it, never above its dialogs) that scrolls vertically
// when the rows need more room.
class TfrmProp : public QWidget {
    Q_OBJECT

public:
    static constexpr int DesignedLeft = 927;
    static constexpr int DesignedTop = 186;
    static constexpr int DesignedClientWidth = 280;
    static constexpr int DesignedClientHeight = 477;

    // board is where class-typed rows find their components (the main window's board).
    explicit TfrmProp(QWidget* parent = nullptr);

    TPropertyEditor* PropEdit() const { return m_propEdit; }
    QScrollArea* ScrollArea() const { return m_scroll; }
    // Class-typed rows offer the components under this root.
    void SetSearchRoot(const PropertyText::TPathRoot& root);
    // Set by PropEditValueChanged: the owner marks its board modified.
    std::function<void()> OnModified;

    // The property names shown for a class beyond the common ones: its component table row's
    // list; empty for a class that has no row (a descendant does not take its base's row).
    static QStringList ClassProperties(const QMetaObject* cls);
    static const QStringList& CommonProperties();

    // ---- events
    void FormCreate();
    // Fits the grid to the window (it never gets shorter than its rows) and sets the scroll range.
    void FormResize();
    // The wheel at pos (window coordinates): over an editor it belongs to the editor; elsewhere it
    // scrolls the window by notches × wheel lines × 5 pixels. True when the window took it.
    bool FormMouseWheel(int angleDelta, const QPoint& pos);
    void PropEditAcceptProp(QObject* sender, const QMetaObject* cls, const QString& propName,
                            bool& accept);
    void PropEditValueChanged(QObject* sender, const QString& propName);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QScrollArea* m_scroll = nullptr;
    QWidget* m_page = nullptr;
    TPropertyEditor* m_propEdit = nullptr;
    int m_wheelRest = 0;
};
