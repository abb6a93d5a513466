#include "components/gates.h"

#include <QPainter>
#include <cmath>

namespace {
void addOutputConnection(TOrvexPinDriver* output, TOrvexPinDriver* driver) {
    if (output && driver != output) output->SetContact(driver);
}

// The gates draw their name inside the body, left of centre.
void drawGateName(TOrvexGraphicComponent* gate, QPainter& painter) {
    QFont font = gate->font();
    font.setBold(true);
    painter.setFont(font);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(Qt::black);
    const int pointSize = font.pointSize() > 0 ? font.pointSize() : painter.fontMetrics().ascent();
    const int x = int(std::lround(2.0 * gate->width() / 7.0)) + 2;
    const int y = gate->height() / 2 - pointSize;
    painter.drawText(QRect(x, y, gate->width() - x, painter.fontMetrics().height() + 2),
                     Qt::AlignLeft | Qt::AlignTop, gate->GetCaption());
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

void TInvertor::DrawName(QPainter& painter) {
    drawGateName(this, painter);
}

TGate::TGate(QWidget* owner) : TOrvexGraphicComponent(owner) {
    SetSymmetricPicture(false);
    SetFixedPicture(false);
    SetHasComponentPicture(false);
    SetShowName(true);
}

void TGate::DrawName(QPainter& painter) {
    drawGateName(this, painter);
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
