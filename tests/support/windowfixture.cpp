#include "tests/support/windowfixture.h"

#include <QComboBox>
#include <QSettings>
#include <QTest>
#include <QToolButton>
#include <QUndoStack>

#include "editor/boardfile.h"
#include "editor/brelvanprop.h"
#include "properties/propertyeditor.h"
#include "properties/propertytext.h"

WindowFixture::WindowFixture(QSize size) : window(std::make_unique<TfrmPlugin>()) {
    window->resize(size);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) qWarning("window not exposed");
}

WindowFixture::~WindowFixture() = default;

TOrvexGraphicComponent* WindowFixture::placeAt(int tag, QPoint pos) {
    QTest::mouseClick(window->ToolButton(tag), Qt::LeftButton);
    QTest::mouseClick(board(), Qt::LeftButton, Qt::NoModifier, pos);
    return newest();
}

TOrvexGraphicComponent* WindowFixture::newest() const {
    const QList<TOrvexGraphicComponent*> owned = board()->OwnedComponents();
    return owned.isEmpty() ? nullptr : owned.last();
}

QString WindowFixture::property(const QString& component, const char* prop) const {
    return PropertyText::PropertyToText(find(component), QString::fromLatin1(prop), board());
}

QString WindowFixture::sortedText() const {
    const QString all = BoardFile::WriteBoard(board(), window->GridSize()).Text;
    QStringList blocks = all.split(QStringLiteral("end\r\n"), Qt::SkipEmptyParts);
    blocks.sort();
    return blocks.join(QStringLiteral("end\r\n"));
}

QUndoStack* WindowFixture::undo() const {
    return window->UndoStack();
}

TPropertyEditor* WindowFixture::grid() const {
    return window->PropertiesWindow()->PropEdit();
}

void WindowFixture::choose(const QString& prop, const QString& entry) {
    TPropertyEditorsItem* row = grid()->Row(prop);
    QVERIFY2(row, qPrintable(prop));
    auto* list = qobject_cast<QComboBox*>(row->Editor);
    QVERIFY(list);
    const int index = list->findText(entry);
    QVERIFY2(index >= 0, qPrintable(entry));
    list->setCurrentIndex(index);
}

ScratchSettings::ScratchSettings() {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
}
