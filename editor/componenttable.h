#pragma once

#include <QList>
#include <QString>

class QWidget;
class TOrvexGraphicComponent;

// The tool bar's Tag of each placeable class: its row in the component table, in the table's
// order. Code and tests name a class's tag through it; it converts to the int a Tag is stored as.
namespace ToolTag {
enum Tag : int {
    LED = 1,
    DispSeg,
    Bulb,
    Switch,
    RoundBtn,
    SquareBtn,
    Diode,
    Invertor,
    UPin,
    UPort,
    UDrivenPort,
    BUS,
    Vcc,
    GND,
    Line,
    TwoColorLED,
    USelector,
    GateAND,
    LCDAlpha,
    LCDGraph,
};
} // namespace ToolTag

// One placeable component class: the tool button's Tag selects it. A class whose component is
// not built yet has its row (class name and size, so board files and the tool bar know it) but
// no factory, and nothing can be created from it.
struct ComponentRow {
    using Factory = TOrvexGraphicComponent* (*)(QWidget* owner);

    int Tag;           // 1 to 20
    QString ClassName; // "TLED"
    Factory Create;    // nullptr while the class is not built
    int Width;         // size given to a newly placed component
    int Height;
};

// The twenty placeable classes, indexed by Tag. The editor places from it, the board file reader
// finds classes by name in it and the properties window picks its per-class list by row.
class ComponentTable {
public:
    static constexpr int RowCount = 20;

    // Every row, in Tag order (row i has Tag i + 1).
    static const QList<ComponentRow>& Rows();
    // The row of a Tag, or nullptr for a Tag outside 1..20.
    static const ComponentRow* Row(int tag);
    // The Tag of the class of that name, compared without regard to case; 0 when none.
    static int TagOf(const QString& className);
    // The row of the class of that name (any case), or nullptr.
    static const ComponentRow* Find(const QString& className);
    // The class name without a leading "T" (any case): the tool button's hint and the base of
    // new component names ("LED", "GateAND").
    static QString ShortName(const QString& className);
    // A new component of the row's class owned by owner, or nullptr when the class is not built.
    static TOrvexGraphicComponent* Create(int tag, QWidget* owner);
};
