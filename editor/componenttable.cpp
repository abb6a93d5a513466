#include "editor/componenttable.h"

#include <QHash>

#include "components/drivenports.h"
#include "components/gates.h"
#include "components/leds.h"
#include "components/pins.h"
#include "components/ports.h"
#include "components/switches.h"
#include "lcd/lcd.h"

namespace {

template <typename T> TOrvexGraphicComponent* make(QWidget* owner) {
    return new T(owner);
}

QList<ComponentRow> buildRows() {
    return {
        {ToolTag::LED, QStringLiteral("TLED"), &make<TLED>, 32, 32},
        {ToolTag::DispSeg, QStringLiteral("TDispSeg"), &make<TDispSeg>, 74, 99},
        {ToolTag::Bulb, QStringLiteral("TBulb"), &make<TBulb>, 32, 32},
        {ToolTag::Switch, QStringLiteral("TSwitch"), &make<TSwitch>, 32, 32},
        {ToolTag::RoundBtn, QStringLiteral("TRoundBtn"), &make<TRoundBtn>, 32, 32},
        {ToolTag::SquareBtn, QStringLiteral("TSquareBtn"), &make<TSquareBtn>, 32, 32},
        {ToolTag::Diode, QStringLiteral("TDiode"), &make<TDiode>, 32, 32},
        {ToolTag::Invertor, QStringLiteral("TInvertor"), &make<TInvertor>, 116, 60},
        {ToolTag::UPin, QStringLiteral("TUPin"), &make<TUPin>, 69, 23},
        {ToolTag::UPort, QStringLiteral("TUPort"), &make<TUPort>, 80, 84},
        {ToolTag::UDrivenPort, QStringLiteral("TUDrivenPort"), &make<TUDrivenPort>, 75, 108},
        {ToolTag::BUS, QStringLiteral("TBUS"), &make<TBUS>, 30, 94},
        {ToolTag::Vcc, QStringLiteral("TVcc"), &make<TVcc>, 32, 32},
        {ToolTag::GND, QStringLiteral("TGND"), &make<TGND>, 32, 32},
        {ToolTag::Line, QStringLiteral("TLine"), &make<TLine>, 16, 4},
        {ToolTag::TwoColorLED, QStringLiteral("TTwoColorLED"), &make<TTwoColorLED>, 32, 32},
        {ToolTag::USelector, QStringLiteral("TUSelector"), &make<TUSelector>, 75, 88},
        {ToolTag::GateAND, QStringLiteral("TGateAND"), &make<TGateAND>, 116, 60},
        {ToolTag::LCDAlpha, QStringLiteral("TLCDAlpha"), &make<TLCDAlpha>, 230, 74},
        {ToolTag::LCDGraph, QStringLiteral("TLCDGraph"), &make<TLCDGraph>, 294, 166},
    };
}

} // namespace

const QList<ComponentRow>& ComponentTable::Rows() {
    static const QList<ComponentRow> rows = buildRows();
    return rows;
}

const ComponentRow* ComponentTable::Row(int tag) {
    if (tag < 1 || tag > RowCount) return nullptr;
    return &Rows()[tag - 1];
}

int ComponentTable::TagOf(const QString& className) {
    static const QHash<QString, int> byName = [] {
        QHash<QString, int> hash;
        for (const ComponentRow& row : Rows())
            hash.insert(row.ClassName.toLower(), row.Tag);
        return hash;
    }();
    return byName.value(className.toLower(), 0);
}

const ComponentRow* ComponentTable::Find(const QString& className) {
    return Row(TagOf(className));
}

QString ComponentTable::ShortName(const QString& className) {
    if (className.startsWith(QLatin1Char('T'), Qt::CaseInsensitive)) return className.mid(1);
    return className;
}

TOrvexGraphicComponent* ComponentTable::Create(int tag, QWidget* owner) {
    const ComponentRow* row = Row(tag);
    if (!row || !row->Create) return nullptr;
    return row->Create(owner);
}
