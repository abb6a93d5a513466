#include "editor/brelvanprop.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHash>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

#include "editor/componenttable.h"
#include "properties/propertyeditor.h"

namespace {

// Per component table row (Tag 1..20), the properties shown beyond the common ones.
const QHash<QString, QStringList>& classLists() {
    static const QHash<QString, QStringList> lists = [] {
        const QList<QStringList> byTag = {
            {QStringLiteral("Color"), QStringLiteral("Anode"), QStringLiteral("Cathode")},
            {QStringLiteral("CommonElectrode"), QStringLiteral("CommonElectrodeType"),
             QStringLiteral("Port")},
            {QStringLiteral("Contact1"), QStringLiteral("Contact2")},
            {QStringLiteral("Contact1"), QStringLiteral("Contact2"),
             QStringLiteral("HasAretation")},
            {QStringLiteral("Contact1"), QStringLiteral("Contact2"),
             QStringLiteral("HasAretation")},
            {QStringLiteral("Contact1"), QStringLiteral("Contact2"),
             QStringLiteral("HasAretation")},
            {QStringLiteral("Anode"), QStringLiteral("Cathode")},
            {QStringLiteral("Input")},
            {QStringLiteral("Address"), QStringLiteral("Space"), QStringLiteral("ActivatedOn"),
             QStringLiteral("PinNumber")},
            {QStringLiteral("Address"), QStringLiteral("Space")},
            {QStringLiteral("InputPort"), QStringLiteral("OutEnable"), QStringLiteral("Inverted"),
             QStringLiteral("PortDriver")},
            {},
            {},
            {},
            {},
            {QStringLiteral("Anode1"), QStringLiteral("Anode2"), QStringLiteral("Cathode")},
            {QStringLiteral("InPin0"), QStringLiteral("InPin1"), QStringLiteral("InPin2"),
             QStringLiteral("GateNon1"), QStringLiteral("GateNon2"), QStringLiteral("Gate")},
            {QStringLiteral("Input1"), QStringLiteral("Input2")},
            {QStringLiteral("NoOfLines"), QStringLiteral("LineDivided"), QStringLiteral("LCD_BUS"),
             QStringLiteral("CharsPerLine"), QStringLiteral("DotSize"), QStringLiteral("Enable"),
             QStringLiteral("Underlight"), QStringLiteral("RdWr"), QStringLiteral("RegSel"),
             QStringLiteral("Port")},
            {QStringLiteral("CS1"), QStringLiteral("CS2"), QStringLiteral("ResolutionX"),
             QStringLiteral("ResolutionY"), QStringLiteral("DotSize"), QStringLiteral("Port"),
             QStringLiteral("RdWr"), QStringLiteral("RegSel"), QStringLiteral("Underlight")},
        };
        QHash<QString, QStringList> result;
        for (const ComponentRow& row : ComponentTable::Rows())
            if (row.Tag >= 1 && row.Tag <= byTag.size())
                result.insert(row.ClassName, byTag[row.Tag - 1]);
        return result;
    }();
    return lists;
}

// The host's ports by name: what a host pin's or port's Address usually is. Any other number is
// typed.
QList<TPropertyEditor::TSuggestion> suggestValues(const QMetaObject* cls, const QString& propName) {
    const int tag = ComponentTable::TagOf(QLatin1String(cls->className()));
    if (propName != QLatin1String("Address") || (tag != ToolTag::UPin && tag != ToolTag::UPort))
        return {};
    QList<TPropertyEditor::TSuggestion> result;
    for (int port = 0; port < 4; ++port) {
        const QString value = QLatin1Char('$') + QString::number(0x80 + 0x10 * port, 16).toUpper();
        result.append({QStringLiteral("P%1 (%2)").arg(port).arg(value), value});
    }
    return result;
}

} // namespace

TfrmProp::TfrmProp(QWidget* parent)
    // A tool window of its parent: above the main window only, never above the dialogs and
    // message boxes that come up over it.
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmProp"));
    setWindowTitle(QStringLiteral("Properties"));
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scroll->setWidgetResizable(false);
    m_page = new QWidget;
    m_propEdit = new TPropertyEditor(m_page);
    m_propEdit->setObjectName(QStringLiteral("PropEdit"));
    m_propEdit->OnSuggestValues = suggestValues;
    m_propEdit->setGeometry(5, 0, 270, 474);
    m_scroll->setWidget(m_page);
    m_scroll->viewport()->installEventFilter(this);
    m_propEdit->OnValueChanged = [this](QObject* sender, const QString& propName) {
        PropEditValueChanged(sender, propName);
    };
    m_propEdit->OnAcceptProp = [this](QObject* sender, const QMetaObject* cls,
                                      const QString& propName, bool& accept) {
        PropEditAcceptProp(sender, cls, propName, accept);
    };
    resize(DesignedClientWidth, DesignedClientHeight);
    // Where it was designed, but never partly off the screen it opens on.
    QRect frame(QPoint(DesignedLeft, DesignedTop), size());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        if (!available.contains(frame)) {
            frame.moveRight(qMin(frame.right(), available.right()));
            frame.moveBottom(qMin(frame.bottom(), available.bottom()));
            frame.moveLeft(qMax(frame.left(), available.left()));
            frame.moveTop(qMax(frame.top(), available.top()));
        }
    }
    move(frame.topLeft());
    FormCreate();
}

const QStringList& TfrmProp::CommonProperties() {
    static const QStringList names = {QStringLiteral("Name"), QStringLiteral("Caption"),
                                      QStringLiteral("Hint"), QStringLiteral("Orientation")};
    return names;
}

QStringList TfrmProp::ClassProperties(const QMetaObject* cls) {
    if (!cls) return {};
    // Exact class identity: a class derived from a listed one has no list of its own.
    const ComponentRow* row = ComponentTable::Find(QLatin1String(cls->className()));
    if (!row || row->ClassName != QLatin1String(cls->className())) return {};
    return classLists().value(row->ClassName);
}

void TfrmProp::SetSearchRoot(const PropertyText::TPathRoot& root) {
    m_propEdit->SetSearchRoot(root);
}

void TfrmProp::FormCreate() {
    m_propEdit->setAttribute(Qt::WA_OpaquePaintEvent, false);
    FormResize();
}

void TfrmProp::FormResize() {
    QWidget* client = m_scroll->viewport();
    // The grid raises a height below its rows' to what they need (its minimum height).
    const int height = qMax(client->height() - 5, m_propEdit->minimumHeight());
    const int width = qMax(0, client->width() - 10);
    m_propEdit->setGeometry(5, 0, width, height);
    m_page->resize(client->width(), m_propEdit->height() + 5);
}

bool TfrmProp::FormMouseWheel(int angleDelta, const QPoint& pos) {
    QWidget* under = childAt(pos);
    const bool inGrid = under && under != m_propEdit && m_propEdit->isAncestorOf(under);
    if (inGrid && under->isEnabled() && !m_propEdit->IsCaptionLabel(under)) return false;
    m_wheelRest += angleDelta;
    const int notches = m_wheelRest / 120;
    m_wheelRest -= notches * 120;
    QScrollBar* bar = m_scroll->verticalScrollBar();
    bar->setValue(bar->value() - notches * QApplication::wheelScrollLines() * 5);
    return true;
}

void TfrmProp::PropEditAcceptProp(QObject*, const QMetaObject* cls, const QString& propName,
                                  bool& accept) {
    accept = CommonProperties().contains(propName) || ClassProperties(cls).contains(propName);
}

void TfrmProp::PropEditValueChanged(QObject*, const QString&) {
    if (OnModified) OnModified();
}

void TfrmProp::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_scroll->setGeometry(rect());
    FormResize();
}

bool TfrmProp::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_scroll->viewport()) {
        if (event->type() == QEvent::Resize) {
            FormResize();
        } else if (event->type() == QEvent::Wheel) {
            auto* wheel = static_cast<QWheelEvent*>(event);
            const QPoint pos = m_scroll->viewport()->mapTo(this, wheel->position().toPoint());
            FormMouseWheel(wheel->angleDelta().y(), pos);
            // The window scrolls by its own rule only, never by the scroll area's.
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
