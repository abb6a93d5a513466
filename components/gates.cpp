#include "components/gates.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <tuple>

namespace {
void addOutputConnection(TOrvexPinDriver* output, TOrvexPinDriver* driver) {
    if (output && driver != output) output->SetContact(driver);
}

// Inside the body of a gate drawn facing right on its nominal 116-pixel length: the span along
// the length that the body's inside covers at a distance `d` from the middle line (nominal
// pixels), or an empty span where the body does not reach. Keep in step with the outlines in
// resources/draw_pictures.py.
struct BodySpan {
    double from = 0, to = -1;
};
constexpr double GateLength = 116;

BodySpan nandInside(double d) {
    if (d >= 23.5) return {};
    return {31.5, 64 + std::sqrt(25.0 * 25.0 - d * d) - 1.5};
}

BodySpan inverterInside(double d) {
    if (d >= 26) return {};
    return {31.5, 30 + 66 * (1 - d / 28) - 2.5};
}

// The name inside the body. Facing right or left it stands where the gates have always drawn it
// (x = 2/7 of the width + 2, y = half the height less the font size) and is made smaller until it
// fits the body's inside without reaching the output bubble; a body facing left starts further
// right, so the name moves right to its inside. Facing up or down the body is narrower than a
// name, so the name turns to read upwards along the body's length.
TNamePlace gateNamePlace(const TOrvexGraphicComponent* gate, const QFont& baseFont,
                         BodySpan (*inside)(double), double halfWidth) {
    TNamePlace place;
    const QString caption = gate->GetCaption();
    if (caption.isEmpty()) return place;
    const int w = gate->width(), h = gate->height();
    const TOrientation orientation = gate->Orientation();
    const bool vertical =
        orientation == opo_VerticalPositive || orientation == opo_VerticalNegative;
    const bool mirrored =
        orientation == opo_HorizontalNegative || orientation == opo_VerticalNegative;
    const double along = (vertical ? h : w) / GateLength;       // pixels per nominal length pixel
    const double across = (vertical ? w : h) / (2 * halfWidth); // pixels per nominal width pixel
    QFont font = baseFont;
    int pixels = QFontInfo(font).pixelSize();
    for (;; --pixels) {
        font.setPixelSize(pixels);
        const QFontMetrics metrics(font);
        const int advance = metrics.horizontalAdvance(caption);
        const int height = metrics.height();
        // Below 6 pixels the name only has to stay on the component (it is never cut off).
        const auto last = [&](int room) { return pixels <= 3 || (pixels <= 6 && advance <= room); };
        if (!vertical) {
            const int pointSize = int(std::lround(pixels * 0.75));
            const int top = h / 2 - pointSize;
            // The box's row farthest from the middle line bounds the span.
            const double d =
                std::max(std::abs(top - h / 2.0), std::abs(top + height - h / 2.0)) / across;
            const BodySpan span = inside(d);
            double from = span.from * along, to = span.to * along;
            if (mirrored) std::tie(from, to) = std::pair(w - to, w - from);
            const int x = std::max(int(std::lround(2.0 * w / 7.0)) + 2, int(std::ceil(from)));
            if (x + advance <= to || last(w - x)) {
                place.Rect = QRect(x, top, advance, height);
                break;
            }
        } else {
            const BodySpan span = inside(height / 2.0 / across);
            double from = span.from * along, to = span.to * along;
            if (mirrored) std::tie(from, to) = std::pair(h - to, h - from);
            if (advance <= to - from || last(h)) {
                const int x = int(std::lround(w / 2.0 - height / 2.0));
                const int y = int(std::lround((from + to) / 2 - advance / 2.0));
                place.Rect = QRect(x, y, height, advance);
                place.Upward = true;
                break;
            }
        }
    }
    place.Font = font;
    return place;
}

// What the simulation spreads from at start: the contact wired to the output (the output itself
// while unwired), then that contact's first connection.
TOrvexPinDriver* startupFrom(TOrvexPinDriver* wiredToOutput) {
    return wiredToOutput ? wiredToOutput->GetContact() : nullptr;
}
} // namespace

TInvertor::TInvertor(QWidget* owner) : TOrvexGraphicComponent(owner) {
    SetControl(new TInvertCtl(this));
    SetSymmetricPicture(false);
    SetFixedPicture(false);
    SetHasComponentPicture(false);
    LoadPictures(QStringLiteral("INVERTOR"), QStringLiteral("INVERTOR_SCH"), true);
    SetOrientation(opo_HorizontalPositive);
    TakePictureSize();
    SetShowName(true);
}

void TInvertor::SetOutput(TOrvexPinDriver* d) {
    addOutputConnection(InvertControl()->Contact2(), d);
}

TOrvexPinDriver* TInvertor::StartupGateOutput() const {
    return startupFrom(GetOutput());
}

TNamePlace TInvertor::NamePlace() const {
    QFont font = this->font();
    font.setBold(true);
    return gateNamePlace(this, font, &inverterInside, 31);
}

TGate::TGate(QWidget* owner) : TOrvexGraphicComponent(owner) {
    SetSymmetricPicture(false);
    SetFixedPicture(false);
    SetHasComponentPicture(false);
    SetShowName(true);
}

TNamePlace TGate::NamePlace() const {
    QFont font = this->font();
    font.setBold(true);
    return gateNamePlace(this, font, &nandInside, 30);
}

TGateAND::TGateAND(QWidget* owner) : TGate(owner) {
    SetControl(new TGateANDCtl(this));
    LoadPictures(QStringLiteral("HRADLO"), QStringLiteral("HRADLO_SCH"), true);
    SetOrientation(opo_HorizontalPositive);
    TakePictureSize();
    SetShowName(true);
}

void TGateAND::SetOutput(TOrvexPinDriver* d) {
    addOutputConnection(GateControl()->Contact3(), d);
}

TOrvexPinDriver* TGateAND::StartupGateOutput() const {
    return startupFrom(GetOutput());
}
