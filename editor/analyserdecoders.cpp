#include "editor/analyserdecoders.h"

#include <algorithm>
#include <optional>

#include "editor/analyser.h"

namespace {

QString hex2(int value) {
    return QStringLiteral("0x") + QString::number(value, 16).rightJustified(2, u'0').toUpper();
}

bool functionSet(int code) {
    return (code & 0xE0) == 0x20;
}

} // namespace

QString LcdCommandText(int code) {
    code &= 0xFF;
    if (code & 0x80) return QStringLiteral("Set DDRAM %1").arg(hex2(code & 0x7F));
    if (code & 0x40) return QStringLiteral("Set CGRAM %1").arg(hex2(code & 0x3F));
    if (code & 0x20)
        return QStringLiteral("Function set %1 %2 %3")
            .arg(code & 0x10 ? QStringLiteral("8-bit") : QStringLiteral("4-bit"),
                 code & 0x08 ? QStringLiteral("2 lines") : QStringLiteral("1 line"),
                 code & 0x04 ? QStringLiteral("5x10") : QStringLiteral("5x8"));
    if (code & 0x10)
        return QStringLiteral("Shift %1 %2")
            .arg(code & 0x08 ? QStringLiteral("display") : QStringLiteral("cursor"),
                 code & 0x04 ? QStringLiteral("right") : QStringLiteral("left"));
    if (code & 0x08)
        return QStringLiteral("Display %1 C=%2 B=%3")
            .arg(code & 0x04 ? QStringLiteral("on") : QStringLiteral("off"))
            .arg((code >> 1) & 1)
            .arg(code & 1);
    if (code & 0x04)
        return QStringLiteral("Entry mode I/D=%1 S=%2").arg((code >> 1) & 1).arg(code & 1);
    if (code & 0x02) return QStringLiteral("Home");
    if (code & 0x01) return QStringLiteral("Clear");
    return QStringLiteral("No operation");
}

QString LcdDataText(int value) {
    value &= 0xFF;
    if (value >= 0x20 && value < 0x7F) return QStringLiteral("'%1'").arg(QChar(value));
    return hex2(value);
}

std::vector<TLcdTransfer> DecodeLcdBus(const TTraceIndex& index, const TLcdBusLines& lines,
                                       quint64 fromPs, quint64 toPs) {
    std::vector<TLcdTransfer> transfers;
    const size_t width = lines.Data.size();
    if (lines.E < 0 || lines.Rs < 0 || (width != 1 && width != 8 && !(width == 4 && lines.FourBit)))
        return transfers;
    // A level as the decoder uses it: 0, 1 (bus: 0..255), or -1 for anything undefined.
    const auto level = [&](int trace, quint64 at) -> int {
        const qint32 value = index.ValueAt(trace, at);
        return value < 0 ? -1 : int(value);
    };
    // The data lines as a byte (8-bit) or the high nibble's value 0..15 (4-bit); -1 undefined.
    const auto data = [&](quint64 at) -> int {
        if (width == 1) {
            const int bus = level(lines.Data[0], at);
            if (bus < 0) return -1;
            return lines.FourBit ? (bus >> 4) & 0x0F : bus & 0xFF;
        }
        int value = 0;
        for (size_t bit = 0; bit < width; ++bit) {
            const int line = level(lines.Data[bit], at);
            if (line < 0) return -1;
            value |= (line & 1) << bit;
        }
        return value;
    };
    const auto describe = [](TLcdTransfer& transfer) {
        if (transfer.Value < 0)
            transfer.Text = transfer.Read ? QStringLiteral("Read ?") : QStringLiteral("?");
        else if (transfer.Read)
            transfer.Text =
                QStringLiteral("Read %1 %2")
                    .arg(transfer.Data ? QStringLiteral("data") : QStringLiteral("busy/address"),
                         hex2(transfer.Value));
        else
            transfer.Text =
                transfer.Data ? LcdDataText(transfer.Value) : LcdCommandText(transfer.Value);
    };

    const std::vector<TTraceIndex::TPoint>& edges = index.Points(lines.E);
    // Only a 4-bit bus needs its history: which nibble comes next depends on every transfer
    // since power-on.
    size_t i = lines.FourBit ? 1 : std::max<size_t>(1, index.LowerBound(lines.E, fromPs));
    bool eightBit = true;                // the module's data length (power-on: 8 bits)
    std::optional<TLcdTransfer> pending; // the high nibble of a 4-bit pair
    for (; i < edges.size() && edges[i].Time <= toPs; ++i) {
        if (edges[i].Value != 0 || edges[i - 1].Value != 1) continue; // only falls latch
        // ... after a rise: E high from the start of the recording is no transfer. A gap
        // records the present level again, so the rise may lie a few points back.
        size_t rise = i - 1;
        while (rise > 0 && edges[rise - 1].Value == 1)
            --rise;
        if (rise == 0 || edges[rise - 1].Value != 0) continue;
        const quint64 latch = edges[i].Time;
        // What stood on the lines just before the fall (set up while E was high).
        const quint64 at = latch > 0 ? latch - 1 : 0;
        const int rs = level(lines.Rs, at);
        const int rw = lines.Rw >= 0 ? level(lines.Rw, at) : 0;
        const int bus = data(at);
        TLcdTransfer transfer;
        transfer.Start = edges[rise].Time;
        transfer.Latch = latch;
        transfer.Data = rs == 1;
        transfer.Read = rw == 1;
        const bool defined = rs >= 0 && rw >= 0 && bus >= 0;
        if (!lines.FourBit) {
            transfer.Value = defined ? bus : -1;
        } else if (eightBit) {
            // Only D4..D7 are wired: the low nibble reads as zero.
            transfer.Value = defined ? bus << 4 : -1;
        } else if (!pending) {
            transfer.Value = defined ? bus << 4 : -1;
            pending = transfer;
            continue;
        } else {
            const int high = pending->Value;
            transfer.Start = pending->Start;
            transfer.Data = pending->Data;
            transfer.Read = pending->Read;
            transfer.Value = high >= 0 && defined ? high | bus : -1;
            pending.reset();
        }
        if (lines.FourBit && !transfer.Data && !transfer.Read && transfer.Value >= 0 &&
            functionSet(transfer.Value))
            eightBit = (transfer.Value & 0x10) != 0;
        if (latch < fromPs) continue;
        describe(transfer);
        transfers.push_back(std::move(transfer));
    }
    return transfers;
}
