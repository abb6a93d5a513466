#pragma once

#include <QFlags>
#include <QObject>

// Every enumeration that board files store by identifier, in declaration order (ordinals matter:
// files may store an ordinal instead of the identifier). Sets are flag types whose element i has
// the value 1 << i.
namespace BrelvanEnums {
Q_NAMESPACE

enum TPortSpace { ops_CODE, ops_XDATA, ops_DATA, ops_IDATA, ops_BIT, ops_ALE, ops_PSEN };
Q_ENUM_NS(TPortSpace)

enum TPortDriverKind { opc_Strobe = 0x1, opc_OutputEnable = 0x2 };
Q_DECLARE_FLAGS(TPortDriverType, TPortDriverKind)
Q_FLAG_NS(TPortDriverType)

enum TActivatedKind { opa_RD = 0x1, opa_WR = 0x2 };
Q_DECLARE_FLAGS(TPortActivated, TActivatedKind)
Q_FLAG_NS(TPortActivated)

enum TPinType { PIN_GND, PIN_Vcc, PIN_Floating };
Q_ENUM_NS(TPinType)

enum TOrientation {
    opo_HorizontalPositive,
    opo_VerticalPositive,
    opo_HorizontalNegative,
    opo_VerticalNegative
};
Q_ENUM_NS(TOrientation)

enum TVisibility { vs_Invisible, vs_Schematic, vs_Component, vs_Hybrid };
Q_ENUM_NS(TVisibility)

enum TLEDColors {
    cled_RED,
    cled_GREEN,
    cled_YELLOW,
    cled_BLUE,
    cled_ORANGE,
    cled_WHITE,
    cled_INFRA
};
Q_ENUM_NS(TLEDColors)

enum TCommonElectrodeTypes { com_ANODE, com_CATHODE };
Q_ENUM_NS(TCommonElectrodeTypes)

enum TLCD_BUS { lcd_BUS4bits, lcd_BUS8bits };
Q_ENUM_NS(TLCD_BUS)

enum TLCD_Lines { lcd_SingleLine, lcd_TwoLines, lcd_FourLines };
Q_ENUM_NS(TLCD_Lines)

enum TLCD_Chars { lcd_8Ch, lcd_16Ch, lcd_20Ch };
Q_ENUM_NS(TLCD_Chars)

} // namespace BrelvanEnums

Q_DECLARE_OPERATORS_FOR_FLAGS(BrelvanEnums::TPortDriverType)
Q_DECLARE_OPERATORS_FOR_FLAGS(BrelvanEnums::TPortActivated)

// The identifiers carry their type's prefix, so they are safe to use unqualified everywhere.
using namespace BrelvanEnums;

// Levels in millivolts.
constexpr int LevelHigh = 5000;
constexpr int LevelLow = 0;
constexpr int LevelUndefined = -1;

// Reserved resistances in ohms.
constexpr int OhmsGndPin = 0;
constexpr int OhmsVccPin = 1;
constexpr int OhmsHostPinLow = 50;
constexpr int OhmsHostPinHigh = 1000;
constexpr int OhmsFloating = 10000000;
constexpr int OhmsOpen = 2147483647;
