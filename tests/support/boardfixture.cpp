#include "tests/support/boardfixture.h"

#include <QTest>

#include "platform/hostmessages.h"

BoardFixture::BoardFixture() : form(std::make_unique<FixtureForm>()) {
    form->resize(800, 600);
    form->show();
}

BoardFixture::~BoardFixture() {
    form.reset();
}

void BoardFixture::Run() {
    form->TSimForm::BuildSchematic();
}

void BoardFixture::Stop() {
    form->TSimForm::ClearSchematic();
    form->SetSuspended(true);
}

void BoardFixture::Press(QWidget* component, QPoint at) {
    if (at.x() < 0) at = component->rect().center();
    QTest::mousePress(component, Qt::LeftButton, Qt::NoModifier, at);
}

void BoardFixture::Release(QWidget* component, QPoint at) {
    if (at.x() < 0) at = component->rect().center();
    QTest::mouseRelease(component, Qt::LeftButton, Qt::NoModifier, at);
}

int BoardFixture::HostAccess(int kind, int address, int data, int drivenData) {
    return int(form->TSimForm::HandleMessage(HostMsg::HostAccess,
                                             PackHostAccessW(quint8(kind), quint32(address)),
                                             PackHostAccessL(quint16(data), quint16(drivenData))));
}
