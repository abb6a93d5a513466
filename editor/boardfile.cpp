#include "editor/boardfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "components/orvexcomponent.h"
#include "editor/componenttable.h"
#include "model/drivers.h"
#include "platform/dialogs.h"
#include "properties/propertytext.h"
#include "simulation/simform.h"

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace PropertyText;

namespace BoardFile {

// An integer in the text form of properties, read before a component takes it.
class TIntegerValue : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Value READ Value WRITE SetValue)

public:
    int Value() const { return m_value; }
    void SetValue(int value) { m_value = value; }

private:
    int m_value = 0;
};

namespace {

QString nativeName(const QString& fileName) {
    return QDir::toNativeSeparators(fileName);
}

// The reason of a failed write in the words of a user rather than of the system.
QString systemReason(int error) {
    switch (error) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return QStringLiteral("the disk is full");
    case EFBIG:
        return QStringLiteral("the file is too large (the disk or a size limit does not take "
                              "files of this size)");
    case EACCES:
    case EPERM:
        return QStringLiteral("permission denied");
    case EROFS:
        return QStringLiteral("the disk is read-only");
    case EIO:
        return QStringLiteral("the disk could not be written (input/output error)");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

// Why the temporary file beside the target could not be made.
QString openFailure(const QString& fileName, int error, const QString& qtReason) {
    const QFileInfo info(fileName);
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir())
        return QStringLiteral("the folder %1 does not exist").arg(nativeName(folder.filePath()));
    if (info.isDir()) return QStringLiteral("a folder of that name is in the way");
    if (info.exists() && !info.isWritable()) return QStringLiteral("permission denied");
    if (error != 0) return systemReason(error);
    return qtReason;
}

QString shortened(const QString& text) {
    constexpr qsizetype shown = 80;
    return text.size() > shown ? text.left(shown) + QStringLiteral("...") : text;
}

QString messageOf(const std::exception& error) {
    if (auto* own = dynamic_cast<const BrelvanError*>(&error)) return own->Message();
    return QString::fromLocal8Bit(error.what());
}

// Messages of the layers below end without a full stop; the reports read as sentences.
QString sentence(const QString& message) {
    return message.endsWith(QLatin1Char('.')) ? message : message + QLatin1Char('.');
}

// A byte-order mark counts as a blank: it shows nothing, and a file may carry several.
bool isBlankOrControl(QChar c) {
    return c.unicode() <= 32 || c.unicode() == 127 || c.unicode() == 0xFEFF;
}

bool isHeader(QStringView line) {
    return line.size() >= 7 && line.left(7).compare(u"object ", Qt::CaseInsensitive) == 0;
}

bool isEnd(QStringView line) {
    return line.compare(u"end", Qt::CaseInsensitive) == 0;
}

// A form file's other block forms: inherited and inline components, and the items of collection
// properties, which end with "end" or "end>".
bool opensBlock(QStringView line) {
    return isHeader(line) || line.startsWith(u"inherited ", Qt::CaseInsensitive) ||
           line.startsWith(u"inline ", Qt::CaseInsensitive) ||
           line.compare(u"item", Qt::CaseInsensitive) == 0;
}

bool closesBlock(QStringView line) {
    return isEnd(line) || line.startsWith(u"end>", Qt::CaseInsensitive);
}

struct THeader {
    QString Name;
    QString ClassName;
};

// "object LED1: TLED": every blank goes, the rest is split at its first colon.
std::optional<THeader> parseHeader(QStringView line) {
    QString rest = line.mid(7).toString();
    rest.remove(QLatin1Char(' '));
    const qsizetype colon = rest.indexOf(QLatin1Char(':'));
    if (colon < 0) return std::nullopt;
    return THeader{rest.left(colon), rest.mid(colon + 1)};
}

bool isInside(const QObject* object, const QObject* owner) {
    for (; object; object = object->parent())
        if (object == owner) return true;
    return false;
}

// Lines that form files of the outside development tool hold for what this program does not
// model: event handlers and the toolkit's published properties of every control.
bool isOutsideToolProperty(QStringView name) {
    if (name.size() > 2 && name.startsWith(u"On", Qt::CaseInsensitive)) return true;
    static const char* const toolkit[] = {"Align",     "Anchors",  "Constraints", "DragCursor",
                                          "DragKind",  "DragMode", "Enabled",     "ParentShowHint",
                                          "PopupMenu", "ShowHint", "Visible",     "Tag"};
    const QStringView first = name.left(name.indexOf(u'.') < 0 ? name.size() : name.indexOf(u'.'));
    for (const char* known : toolkit)
        if (first.compare(QLatin1String(known), Qt::CaseInsensitive) == 0) return true;
    // Newer versions of that tool store the designed geometry a second time.
    return name.startsWith(u"Explicit", Qt::CaseInsensitive);
}

// A name as a message shows it: control characters (a NUL byte in a damaged file) as "?".
QString shownName(const QString& name) {
    QString shown = name;
    for (QChar& c : shown)
        if (c.unicode() < 32 || c.unicode() == 127) c = QLatin1Char('?');
    return shown;
}

bool hasTextForm(const TPropertyInfo& prop) {
    if (prop.Kind() == TPropertyKind::Other) return false;
    return prop.Kind() != TPropertyKind::Class || prop.ClassType() != nullptr;
}

bool isNamed(const TPropertyInfo& prop, const char* name) {
    return prop.Name().compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

TPathRoot pathRootOf(TBoardSurface* board) {
    return TPathRoot{board, [board] { return board->OwnedObjects(); },
                     [board](const QString& name) { return board->FindOwnedName(name); }};
}

// Calls f with each line of text (without its line end). Lines end with CR LF, a lone CR or a
// lone LF.
template <typename F> void forEachLine(QStringView text, F&& f) {
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n') continue;
        f(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) f(text.mid(start));
}

// A line without the blanks, control characters and byte-order marks around it.
QStringView trimmedLine(QStringView line) {
    qsizetype first = 0;
    qsizetype last = line.size();
    while (first < last && isBlankOrControl(line[first]))
        ++first;
    while (last > first && isBlankOrControl(line[last - 1]))
        --last;
    return line.mid(first, last - first);
}

// Appends a trimmed line without its TAB characters.
void appendWithoutTabs(QString& out, QStringView line) {
    if (!line.contains(u'\t')) {
        out.append(line);
        return;
    }
    for (const QChar c : line)
        if (c != u'\t') out.append(c);
}

// The cleaned lines of a file in one buffer: a file of millions of short lines costs two
// integers a line rather than a string each.
class TLineStore {
public:
    TLineStore(QStringView text, qsizetype lineCount) {
        m_spans.reserve(size_t(lineCount));
        m_text.reserve(text.size());
        forEachLine(text, [this](QStringView line) { Append(line); });
    }
    explicit TLineStore(const QStringList& lines) {
        m_spans.reserve(size_t(lines.size()));
        for (const QString& line : lines)
            Append(line);
    }

    int size() const { return int(m_spans.size()); }
    QStringView operator[](int i) const {
        return QStringView(m_text).mid(m_spans[size_t(i)].Start, m_spans[size_t(i)].Length);
    }
    QString value(int i) const { return i >= 0 && i < size() ? (*this)[i].toString() : QString(); }

private:
    void Append(QStringView raw) {
        const qsizetype start = m_text.size();
        appendWithoutTabs(m_text, trimmedLine(raw));
        m_spans.push_back(TSpan{quint32(start), quint32(m_text.size() - start)});
    }

    // A file holds at most MaxFileSize bytes, so 32 bits reach every character.
    struct TSpan {
        quint32 Start;
        quint32 Length;
    };
    QString m_text;
    std::vector<TSpan> m_spans;
};

// Reading stops: the problem travels up to ReadBoard, which takes the board back.
struct TStop {
    TFileProblem Problem;
};

class TReader {
public:
    TReader(TBoardSurface* board, int topOffset)
        : m_board(board), m_root(pathRootOf(board)), m_topOffset(topOffset) {}

    void Read(const TLineStore& lines, const TPrepareComponent& prepare) {
        m_lines = &lines;
        CreateComponents();
        ReadBlocks(prepare);
        for (const TCreated& created : m_created)
            if (!created.Read)
                Stop(created.HeaderLine,
                     QStringLiteral("This block stands inside the block of another component; "
                                    "components cannot hold components."));
        RestoreFirstPartners();
    }

    // Destroys what the read created, the last created first.
    void TakeBack() {
        for (auto it = m_created.rbegin(); it != m_created.rend(); ++it)
            delete it->Component.data();
        m_created.clear();
    }

    int Count() const { return int(m_created.size()); }
    // The line being read (0-based), for failures of the layers below that no line caught.
    int CurrentLine() const { return m_current; }
    QString LineText(int line) const { return m_lines ? m_lines->value(line) : QString(); }
    const QList<TFileProblem>& Warnings() const { return m_warnings; }
    int OmittedWarnings() const { return m_omittedWarnings; }
    const QList<TLeftOutReference>& LeftOut() const { return m_leftOut; }

private:
    struct TCreated {
        QPointer<TOrvexGraphicComponent> Component;
        const ComponentRow* Row;
        int HeaderLine; // 0-based
        bool Read = false;
    };
    // A reference line that was taken: after reading, the property must read its target again.
    struct TReference {
        QPointer<TOrvexGraphicComponent> Component;
        const TPropertyInfo* Property;
        QPointer<QObject> Target;
    };
    struct TLineRule {
        const char* Property;
        const char* Element;
        bool On;
        int Line;
    };

    QStringView Line(int i) const { return (*m_lines)[i]; }

    [[noreturn]] void Stop(int line, const QString& message) const {
        throw TStop{TFileProblem{line + 1, LineText(line), message}};
    }
    // A damaged file may give a warning on each of millions of lines; the report shows the first.
    void Warn(int line, const QString& message) {
        if (m_warnings.size() < MaxWarnings)
            m_warnings.append(TFileProblem{line + 1, LineText(line), message});
        else
            ++m_omittedWarnings;
    }
    void CheckLength(int line) const {
        if (Line(line).size() > MaxLineLength)
            Stop(line, QStringLiteral("The line is longer than %1 characters.").arg(MaxLineLength));
    }

    // First pass: every component of a known class, named. The headers are found first, so that
    // a file of too many components is refused before anything is built.
    void CreateComponents() {
        std::vector<std::pair<int, const ComponentRow*>> headers; // line, row
        for (int i = 0; i < m_lines->size(); ++i) {
            m_current = i;
            CheckBlockStructure(i);
            if (!isHeader(Line(i))) continue;
            CheckLength(i);
            const std::optional<THeader> header = parseHeader(Line(i));
            if (!header) {
                Warn(i, QStringLiteral("The object line has no colon between the name and the "
                                       "class; its block was left out."));
                continue;
            }
            const ComponentRow* row = ComponentTable::Find(header->ClassName);
            if (!row) continue;
            if (!row->Create) {
                Warn(i, QStringLiteral("%1 components cannot be built by this version; %2 was "
                                       "left out.")
                            .arg(row->ClassName, header->Name));
                continue;
            }
            if (header->Name.isEmpty()) {
                Warn(i, QStringLiteral("The component has no name; it was left out."));
                continue;
            }
            if (headers.size() >= size_t(MaxComponents))
                Stop(i, QStringLiteral("A board holds at most %1 components.").arg(MaxComponents));
            headers.emplace_back(i, row);
        }
        m_created.reserve(headers.size());
        for (const auto& [i, row] : headers) {
            m_current = i;
            TOrvexGraphicComponent* component = nullptr;
            try {
                component = row->Create(m_board);
            } catch (const std::exception& error) {
                Stop(i, messageOf(error));
            }
            if (!component) continue;
            m_createdAt.insert(component, m_created.size());
            m_created.push_back(TCreated{component, row, i});
            try {
                component->SetName(parseHeader(Line(i))->Name);
            } catch (const std::exception& error) {
                Stop(i, messageOf(error));
            }
        }
    }

    // Blocks open with a header (or an item of a form's collection property) and close with an
    // end. An end that closes nothing means a line above it should have opened a block and was
    // not understood (a stray character before "object", say): what that block held is lost,
    // which the user hears of.
    void CheckBlockStructure(int i) {
        const QStringView line = Line(i);
        if (opensBlock(line)) {
            m_notUnderstood.push_back(-1);
        } else if (closesBlock(line)) {
            if (m_notUnderstood.size() > 1) {
                // The line not understood may have been the opener this end really closes.
                const int inner = m_notUnderstood.back();
                m_notUnderstood.pop_back();
                if (inner >= 0) m_notUnderstood.back() = inner;
                return;
            }
            if (m_notUnderstood.back() >= 0)
                Warn(m_notUnderstood.back(),
                     QStringLiteral("The line is not understood; the block it should open was "
                                    "left out (the end in line %1 has no block to close).")
                         .arg(i + 1));
            else
                Warn(i, QStringLiteral("The end closes no block; the lines above it were left "
                                       "out."));
            m_notUnderstood.back() = -1;
        } else if (!line.isEmpty() && !line.contains(QLatin1Char('='))) {
            m_notUnderstood.back() = i;
        }
    }

    TCreated* CreatedNamed(const QString& name, const ComponentRow* row) {
        const auto it = m_createdAt.constFind(m_board->FindOwnedName(name));
        if (it == m_createdAt.cend() || m_created[*it].Row != row) return nullptr;
        return &m_created[*it];
    }

    // Second pass: the property lines of each component's block.
    void ReadBlocks(const TPrepareComponent& prepare) {
        const int count = m_lines->size();
        int i = 0;
        while (i < count) {
            TCreated* created = nullptr;
            if (isHeader(Line(i))) {
                if (const std::optional<THeader> header = parseHeader(Line(i)))
                    if (const ComponentRow* row = ComponentTable::Find(header->ClassName))
                        created = CreatedNamed(header->Name, row);
            }
            if (!created || created->Read) {
                ++i; // outer blocks of other classes are read through: their components count
                continue;
            }
            created->Read = true;
            TOrvexGraphicComponent* component = created->Component;
            m_lineRules.clear();
            for (++i; i < count && !isEnd(Line(i)); ++i)
                ReadLine(component, created->Row, i);
            ApplyLineRules(component);
            if (prepare) prepare(component);
            ++i;
        }
    }

    void ReadLine(TOrvexGraphicComponent* component, const ComponentRow* row, int i) {
        m_current = i;
        CheckLength(i);
        const QStringView line = Line(i);
        const bool olderWord = CollectLineRules(row, i);
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0) return;
        const QString name = line.left(equals).trimmed().left(MaxPropertyName).toString();
        const QStringView value = QStringView(line).mid(equals + 1).trimmed();
        if (value.isEmpty()) return;
        const TPropertyInfo* prop = FindProperty(component->metaObject(), name);
        if (!prop) {
            // A misspelt name would lose its wire or value at the next Save without a word.
            if (!olderWord && !isOutsideToolProperty(name))
                Warn(i, QStringLiteral("%1 has no property %2; the line was left out.")
                            .arg(QLatin1String(component->metaObject()->className()),
                                 shownName(name)));
            return;
        }
        // Properties without a text form are not kept in files.
        if (!prop->IsWritable() || !hasTextForm(*prop)) return;
        if (prop->Kind() == TPropertyKind::Class) {
            ReadReference(component, *prop, value, i);
            return;
        }
        const bool isTop = isNamed(*prop, "top");
        const bool isPosition = isTop || isNamed(*prop, "left");
        const bool isSize = isNamed(*prop, "width") || isNamed(*prop, "height");
        // Positions and sizes are checked before the component takes them: the setters would
        // clamp what the file says.
        qint64 number = 0;
        if (isPosition || isSize) {
            TIntegerValue probe;
            try {
                TextToProperty(&probe, QStringLiteral("Value"), value, m_root);
            } catch (const std::exception& error) {
                Stop(i, messageOf(error));
            }
            number = qint64(probe.Value()) + (isTop ? m_topOffset : 0);
            if (isPosition && (number < -MaxCoordinate || number > MaxCoordinate))
                Stop(i, QStringLiteral("A position lies between -%1 and %1.").arg(MaxCoordinate));
            if (isSize && number > MaxExtent)
                Stop(i, QStringLiteral("A size lies between 0 and %1.").arg(MaxExtent));
            if (isSize && number < 0)
                Warn(i, QStringLiteral("A size cannot be negative; 0 was taken."));
        }
        // Other integers go in as written; a setter that takes another value instead (a pin
        // number beyond its port) is reported, as the component keeps what it took.
        const bool checked = prop->Kind() == TPropertyKind::Integer && !isPosition && !isSize;
        if (checked) {
            TIntegerValue probe;
            try {
                TextToProperty(&probe, QStringLiteral("Value"), value, m_root);
            } catch (const std::exception& error) {
                Stop(i, messageOf(error));
            }
            number = probe.Value();
        }
        try {
            if (isTop)
                component->SetTop(int(number));
            else
                TextToProperty(component, *prop, value, m_root);
        } catch (const std::exception& error) {
            Stop(i, messageOf(error));
        }
        if (checked) {
            const int taken = prop->Meta().read(component).toInt();
            if (taken != number)
                Warn(i, QStringLiteral("%1 cannot be %2; the component took %3.")
                            .arg(prop->Name(), QString::number(number), QString::number(taken)));
        }
    }

    // Four words of older files stand for elements of a pin's or a driven port's set (the line
    // is read as an ordinary property line as well; true when it holds one). They take effect at
    // the end of the block, in the order of their lines: a host pin shows its set only once its
    // Space is ops_XDATA, which such files store after these words.
    bool CollectLineRules(const ComponentRow* row, int i) {
        const bool pin = row->ClassName == QLatin1String("TUPin");
        const bool drivenPort = row->ClassName == QLatin1String("TUDrivenPort");
        if (!pin && !drivenPort) return false;
        const QString lower = Line(i).toString().toLower();
        const bool on = lower.contains(QLatin1String("true"));
        bool found = false;
        const auto rule = [&](const char* word, const char* property, const char* element) {
            if (!lower.contains(QLatin1String(word))) return;
            m_lineRules.push_back(TLineRule{property, element, on, i});
            found = true;
        };
        if (pin) {
            rule("onrd", "ActivatedOn", "opa_RD");
            rule("onwr", "ActivatedOn", "opa_WR");
        } else {
            rule("useouten", "PortDriver", "opc_OutputEnable");
            rule("usestrobe", "PortDriver", "opc_Strobe");
        }
        return found;
    }

    void ApplyLineRules(TOrvexGraphicComponent* component) {
        for (const TLineRule& rule : m_lineRules)
            SetElement(component, rule.Property, rule.Element, rule.On, rule.Line);
        m_lineRules.clear();
    }

    void SetElement(TOrvexGraphicComponent* component, const char* property, const char* element,
                    bool on, int i) {
        const TPropertyInfo* prop =
            FindProperty(component->metaObject(), QString::fromLatin1(property));
        if (!prop || prop->Kind() != TPropertyKind::Set) return;
        try {
            QString present = PropertyToText(component, *prop, m_board);
            present = present.mid(1, present.size() - 2); // the text between the brackets
            QSet<QString> members;
            for (QStringView member : QStringView(present).tokenize(u','))
                if (!member.trimmed().isEmpty()) members.insert(member.trimmed().toString());
            QStringList next;
            for (const QString& identifier : prop->Identifiers()) {
                const bool isElement = identifier == QLatin1String(element);
                if (isElement ? on : members.contains(identifier)) next.append(identifier);
            }
            TextToProperty(component, *prop,
                           QLatin1Char('[') + next.join(QStringLiteral(", ")) + QLatin1Char(']'),
                           m_root);
        } catch (const std::exception& error) {
            Stop(i, messageOf(error));
        }
    }

    // A reference names a partner; see ApplyReference.
    void ReadReference(TOrvexGraphicComponent* component, const TPropertyInfo& prop,
                       QStringView value, int i) {
        try {
            ApplyReference(component, prop, value, m_root);
        } catch (const ConversionError& error) {
            Warn(i, sentence(error.Message()) + QStringLiteral(" The reference was left out."));
            m_leftOut.append(TLeftOutReference{component, prop.Name(), value.toString()});
            return;
        } catch (const std::exception& error) {
            Stop(i, messageOf(error));
        }
        if (QObject* target = ComponentByPath(m_root, value))
            m_references.push_back(TReference{component, &prop, target});
    }

    static QObject* ReadObject(const TReference& reference) {
        return reference.Property->Meta().read(reference.Component.data()).value<QObject*>();
    }

    // A contact's property reads the first partner of its list. Rewiring appends, so after all
    // lines a contact may list the partner its line named behind others: it is moved to the
    // front of that one list (the partner's own list keeps its order). From the last line to the
    // first, so that of several lines of one property the first one's partner ends up first.
    void RestoreFirstPartners() {
        for (auto it = m_references.crbegin(); it != m_references.crend(); ++it) {
            const TReference& reference = *it;
            if (!reference.Component || !reference.Target) continue;
            QObject* present = ReadObject(reference);
            auto* target = qobject_cast<TOrvexPinDriver*>(reference.Target.data());
            if (present == reference.Target || !target) continue;
            for (TOrvexPinDriver* contact : reference.Component->findChildren<TOrvexPinDriver*>()) {
                TComponentList* list = contact->ComponentList();
                if (!list || list->IsEmpty() || list->Items(0).Pin != present) continue;
                const int at = list->IndexOf(target);
                if (at <= 0) continue;
                for (int k = at; k > 0; --k)
                    std::swap(list->Items(k), list->Items(k - 1));
                if (ReadObject(reference) == reference.Target) break;
                for (int k = 0; k < at; ++k) // not this contact's property: as it was
                    std::swap(list->Items(k), list->Items(k + 1));
            }
        }
    }

    TBoardSurface* m_board;
    TPathRoot m_root;
    int m_topOffset;
    int m_current = -1;
    const TLineStore* m_lines = nullptr;
    std::vector<TCreated> m_created;
    QHash<const QObject*, size_t> m_createdAt; // component -> its entry in m_created
    std::vector<TReference> m_references;
    std::vector<TLineRule> m_lineRules; // of the block being read
    QList<TFileProblem> m_warnings;
    int m_omittedWarnings = 0;
    QList<TLeftOutReference> m_leftOut;
    // One entry for the outer level and one for each block open at the line being checked: the
    // last line in it that no rule reads, or -1.
    std::vector<int> m_notUnderstood = {-1};
};

// New components of each class, renamed to the component being written, so that values that
// follow the name (a caption, a reference to an own contact) compare equal. They are placed on a
// scratch owner that is never shown: a widget without a parent would take a window's size.
class TDefaults {
public:
    TOrvexGraphicComponent* For(const TOrvexGraphicComponent* component) {
        const QString className = QLatin1String(component->metaObject()->className());
        auto it = m_instances.find(className);
        if (it == m_instances.end()) {
            std::unique_ptr<TOrvexGraphicComponent> fresh;
            if (const ComponentRow* row = ComponentTable::Find(className)) {
                try {
                    fresh.reset(ComponentTable::Create(row->Tag, &m_owner));
                } catch (const std::exception&) {
                    fresh.reset(); // no defaults: every property is written
                }
            }
            it = m_instances.emplace(className, std::move(fresh)).first;
        }
        TOrvexGraphicComponent* fresh = it->second.get();
        if (!fresh) return nullptr;
        try {
            fresh->SetName(component->Name());
        } catch (const std::exception&) {
            return nullptr;
        }
        return fresh;
    }

private:
    QWidget m_owner; // goes after the instances
    std::map<QString, std::unique_ptr<TOrvexGraphicComponent>> m_instances;
};

} // namespace

void ApplyReference(TOrvexGraphicComponent* component, const TPropertyInfo& prop, QStringView value,
                    const TPathRoot& root) {
    using TWire = std::pair<QPointer<TOrvexPinDriver>, QPointer<TOrvexPinDriver>>;
    std::vector<TWire> before;
    for (TOrvexPinDriver* contact : component->findChildren<TOrvexPinDriver*>()) {
        const TComponentList* list = contact->ComponentList();
        if (!list) continue;
        for (const TComponentItem& item : *list)
            if (item.Pin && !isInside(item.Pin, component)) before.emplace_back(contact, item.Pin);
    }
    TextToProperty(component, prop, value, root);
    for (const TWire& wire : before) {
        TOrvexPinDriver* contact = wire.first.data();
        TOrvexPinDriver* partner = wire.second.data();
        const TComponentList* list = contact ? contact->ComponentList() : nullptr;
        if (list && partner && list->IndexOf(partner) < 0) contact->Connect(partner);
    }
}

QString TFileProblem::Describe() const {
    return QStringLiteral("Line %1: %2\n%3")
        .arg(QString::number(Line), shortened(Text), sentence(Message));
}

TFileBytes ReadFile(const QString& fileName) {
    const QString shown = nativeName(fileName);
    const auto fail = [](const QString& reason) { return TFileBytes{QByteArray(), reason}; };
    const QFileInfo info(fileName);
    if (!info.exists()) return fail(QStringLiteral("The file %1 does not exist.").arg(shown));
    // Directories, devices and pipes would hang or read without end.
    if (!info.isFile()) return fail(QStringLiteral("%1 is not a board file.").arg(shown));
    if (info.size() > MaxFileSize)
        return fail(QStringLiteral("%1 is larger than %2 MB; it is no board file.")
                        .arg(shown, QString::number(MaxFileSize >> 20)));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(
            QStringLiteral("The file %1 cannot be opened: %2").arg(shown, file.errorString()));
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(
            QStringLiteral("The file %1 cannot be read: %2").arg(shown, file.errorString()));
    if (data.size() > MaxFileSize)
        return fail(QStringLiteral("%1 is larger than %2 MB; it is no board file.")
                        .arg(shown, QString::number(MaxFileSize >> 20)));
    return TFileBytes{data, QString()};
}

namespace {

// A write beyond the size limit of the process (ulimit -f) raises SIGXFSZ, which ends the
// program with the unsaved board; ignored, the write fails with EFBIG and is reported.
void ignoreFileSizeSignal() {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(SIGXFSZ, &action, nullptr);
}

// Writes data over the file in place: its other names (hard links) see the new board. Only
// called once the same bytes were written beside it, so the disk has room for them.
QString writeInPlace(const QString& fileName, const QByteArray& data) {
    const QByteArray path = QFile::encodeName(fileName);
    const int fd = ::open(path.constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return systemReason(errno);
    const char* next = data.constData();
    qint64 left = data.size();
    QString failure;
    while (left > 0 && failure.isEmpty()) {
        const ssize_t written = ::write(fd, next, size_t(std::min<qint64>(left, 1 << 20)));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0)
            failure = systemReason(written < 0 ? errno : ENOSPC);
        else {
            next += written;
            left -= written;
        }
    }
    if (failure.isEmpty() && ::ftruncate(fd, off_t(data.size())) != 0)
        failure = systemReason(errno);
    if (failure.isEmpty() && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
        failure = systemReason(errno);
    ::close(fd);
    return failure;
}

} // namespace

QString WriteFile(const QString& fileName, const QByteArray& data) {
    ignoreFileSizeSignal();
    const QString shown = nativeName(fileName);
    const auto fail = [&shown](const QString& reason) {
        return QStringLiteral("The board was not saved to %1: %2. The file is as it was before.")
            .arg(shown, reason);
    };
    // What the name stands for decides how it is replaced.
    const QFileInfo link(fileName);
    if (link.isSymLink() && !QFileInfo::exists(link.symLinkTarget()))
        return fail(QStringLiteral("it is a link to %1, which does not exist")
                        .arg(nativeName(link.symLinkTarget())));
    struct stat target {};
    const bool exists = ::stat(QFile::encodeName(fileName).constData(), &target) == 0;
    if (exists && !S_ISREG(target.st_mode) && !S_ISDIR(target.st_mode))
        return fail(QStringLiteral("it is not a regular file (a pipe, a device or a socket)"));
    const bool hardLinked = exists && S_ISREG(target.st_mode) && target.st_nlink > 1;
    // The new text goes to a temporary file beside the target, which takes the target's place
    // only once every byte of it is on the disk. Writing goes straight through the descriptor:
    // a buffered last block is flushed where a failure could go unnoticed, and the system's
    // reason is only known right after the call that failed.
    QSaveFile file(fileName);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const int error = errno;
        return fail(openFailure(fileName, error, file.errorString()));
    }
    const int fd = file.handle();
    const char* next = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, next, size_t(std::min<qint64>(left, 1 << 20)));
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            const int error = written < 0 ? errno : ENOSPC;
            file.cancelWriting();
            return fail(systemReason(error));
        }
        next += written;
        left -= written;
    }
    // Some file systems report a full disk only when the data goes out.
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
        const int error = errno;
        file.cancelWriting();
        return fail(systemReason(error));
    }
    if (hardLinked) {
        // The complete copy beside the file shows the bytes fit; it goes, and the file itself
        // takes them, so that every name of it keeps showing the same board.
        file.cancelWriting();
        if (const QString failure = writeInPlace(link.canonicalFilePath(), data);
            !failure.isEmpty())
            return QStringLiteral("The board was not saved to %1: %2. The file may be "
                                  "incomplete; save the board again under another name.")
                .arg(shown, failure);
        return QString();
    }
    if (!file.commit()) return fail(file.errorString());
    return QString();
}

QString DecodeText(const QByteArray& bytes) {
    // Byte-order marks in front: editors add one, sometimes to a file that has one already.
    QByteArrayView text(bytes);
    while (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString decoded = utf8.decode(text);
    if (!utf8.hasError()) return decoded;
    return QString::fromLatin1(text);
}

QStringList SplitLines(QStringView text) {
    QStringList lines;
    forEachLine(text, [&lines](QStringView line) { lines.append(line.toString()); });
    return lines;
}

QString CleanLine(QStringView line) {
    QString cleaned;
    appendWithoutTabs(cleaned, trimmedLine(line));
    return cleaned;
}

namespace {

TReadResult readLines(TBoardSurface* board, const TLineStore& lines, int topOffset,
                      const TPrepareComponent& prepare) {
    TReadResult result;
    if (!board) return result;
    TReader reader(board, topOffset);
    try {
        reader.Read(lines, prepare);
    } catch (const TStop& stop) {
        reader.TakeBack();
        result.Error = stop.Problem;
        return result;
    } catch (const std::exception& error) {
        // Out of memory and the like: the board is taken back all the same.
        reader.TakeBack();
        const int line = std::max(reader.CurrentLine(), 0);
        result.Error = TFileProblem{line + 1, reader.LineText(line), messageOf(error)};
        return result;
    }
    result.Count = reader.Count();
    result.Warnings = reader.Warnings();
    result.OmittedWarnings = reader.OmittedWarnings();
    result.LeftOutReferences = reader.LeftOut();
    return result;
}

} // namespace

namespace {

// Counted before anything is built, so that such a file is refused at once.
TReadResult tooManyLines() {
    TReadResult result;
    result.Error = TFileProblem{
        MaxLines + 1, QString(),
        QStringLiteral("The file has more than %1 lines, more than a board of %2 components "
                       "takes; it is no board file.")
            .arg(MaxLines)
            .arg(MaxComponents)};
    return result;
}

} // namespace

TReadResult ReadBoard(TBoardSurface* board, const QStringList& lines, int topOffset,
                      const TPrepareComponent& prepare) {
    if (!board) return TReadResult();
    if (lines.size() > MaxLines) return tooManyLines();
    return readLines(board, TLineStore(lines), topOffset, prepare);
}

TReadResult ReadBoard(TBoardSurface* board, QStringView text, int topOffset,
                      const TPrepareComponent& prepare) {
    if (!board) return TReadResult();
    qsizetype lines = 0;
    forEachLine(text, [&lines](QStringView) { ++lines; });
    if (lines > MaxLines) return tooManyLines();
    return readLines(board, TLineStore(text, lines), topOffset, prepare);
}

namespace {

// One component's block as the writer builds it.
struct TBlock {
    const TOrvexGraphicComponent* Component;
    QStringList Plain;
    QStringList References;
    QStringList Extra; // further partners of a contact, after its own line
    QStringList Geometry;
};

QList<TBlock> writeBlocks(const TBoardSurface* board,
                          const QList<TOrvexGraphicComponent*>& components, int topOffset) {
    QList<TBlock> blocks;
    TDefaults defaults;
    for (const TOrvexGraphicComponent* component : components) {
        const TOrvexGraphicComponent* fresh = defaults.For(component);
        TBlock block{component, {}, {}, {}, {}};
        // Plain values first, then references, then the geometry, so that setters that size the
        // component (an orientation, a picture) cannot undo the stored size.
        for (const TPropertyInfo& prop : PublishedProperties(component->metaObject())) {
            if (!prop.IsWritable() || !hasTextForm(prop) || isNamed(prop, "name")) continue;
            QString text;
            try {
                text = PropertyToText(component, prop, board);
            } catch (const ConversionError&) {
                continue;
            }
            const bool isGeometry = isNamed(prop, "left") || isNamed(prop, "top") ||
                                    isNamed(prop, "width") || isNamed(prop, "height");
            // The geometry is always written: a new component's size is only settled once it is
            // first shown, so no default can stand for it.
            if (fresh && !isGeometry) {
                try {
                    if (PropertyToText(fresh, prop, nullptr) == text) continue;
                } catch (const ConversionError&) {
                    // no default to compare with: written
                }
            }
            if (isNamed(prop, "top")) text = QString::number(qint64(component->Top()) - topOffset);
            const QString line = QStringLiteral("  ") + prop.Name() + QStringLiteral(" = ") + text;
            if (isGeometry)
                block.Geometry.append(line);
            else if (prop.Kind() == TPropertyKind::Class)
                block.References.append(line);
            else
                block.Plain.append(line);
        }
        blocks.append(block);
    }
    return blocks;
}

QString joinBlocks(const QList<TBlock>& blocks) {
    const QString lineEnd = QStringLiteral("\r\n");
    QString out;
    for (const TBlock& block : blocks) {
        out += QStringLiteral("object ") + block.Component->Name() + QStringLiteral(": ") +
               QLatin1String(block.Component->metaObject()->className()) + lineEnd;
        for (const QStringList* group :
             {&block.Plain, &block.References, &block.Extra, &block.Geometry})
            for (const QString& line : *group)
                out += line + lineEnd;
        out += QStringLiteral("end") + lineEnd;
    }
    return out;
}

// A wire by the path names of its two contacts, the smaller first.
using TWireKey = std::pair<QString, QString>;

bool isHiddenContact(const QObject* contact) {
    return contact->objectName().isEmpty() ||
           contact->objectName() == QLatin1String("DriverContact");
}

std::set<TWireKey> wiresOf(const TBoardSurface* board) {
    std::set<TWireKey> wires;
    for (const TOrvexGraphicComponent* component : board->OwnedComponents())
        for (const TOrvexPinDriver* contact : component->findChildren<TOrvexPinDriver*>()) {
            const TComponentList* list = contact->ComponentList();
            if (!list || isHiddenContact(contact)) continue;
            for (const TComponentItem& item : *list) {
                if (!item.Pin || isHiddenContact(item.Pin)) continue;
                const QString a = PathName(contact, board);
                const QString b = PathName(item.Pin, board);
                wires.insert(a < b ? TWireKey(a, b) : TWireKey(b, a));
            }
        }
    return wires;
}

struct TWireDifference {
    std::set<TWireKey> Missing; // on the board, not in what the text opens to
    std::set<TWireKey> Extra;   // the other way round
    std::optional<TFileProblem> Unreadable;
    size_t Size() const { return Missing.size() + Extra.size(); }
};

// Opens the text on a board of its own, out of sight and without a word, and compares its wires.
TWireDifference compareWires(const std::set<TWireKey>& wires, const QString& text, int topOffset) {
    ScopedDialogRecorder quiet;
    TBoardSurface scratch(nullptr);
    TWireDifference difference;
    const TReadResult read = ReadBoard(&scratch, SplitLines(text), topOffset);
    difference.Unreadable = read.Error;
    const std::set<TWireKey> opened = read.Error ? std::set<TWireKey>() : wiresOf(&scratch);
    std::set_difference(wires.begin(), wires.end(), opened.begin(), opened.end(),
                        std::inserter(difference.Missing, difference.Missing.end()));
    std::set_difference(opened.begin(), opened.end(), wires.begin(), wires.end(),
                        std::inserter(difference.Extra, difference.Extra.end()));
    return difference;
}

// A contact with several partners shows only the first in its property. The others are written
// as further lines of the same property, which the reader adds as wires; true when the contact
// has such a property. The reader puts back the wires to other components that such a line's
// setter replaces, not those inside the component: a contact whose first partner is a contact of
// its own component takes a further line only when `ownFirst` allows it.
bool addPartnerLine(QList<TBlock>& blocks, const TBoardSurface* board, TOrvexPinDriver* contact,
                    TOrvexPinDriver* partner, bool ownFirst) {
    for (TBlock& block : blocks) {
        if (!isInside(contact, block.Component)) continue;
        for (const TPropertyInfo& prop : PublishedProperties(block.Component->metaObject())) {
            if (!prop.IsWritable() || prop.Kind() != TPropertyKind::Class || !prop.ClassType() ||
                !prop.ClassType()->inherits(&TOrvexPinDriver::staticMetaObject))
                continue;
            const QObject* value = prop.Meta().read(block.Component).value<QObject*>();
            if (contact->ConnectionCount() == 0 || value != contact->GetContact()) continue;
            if (!ownFirst && isInside(value, block.Component)) return false;
            block.Extra.append(QStringLiteral("  ") + prop.Name() + QStringLiteral(" = ") +
                               PathName(partner, board));
            return true;
        }
        return false;
    }
    return false;
}

// For each of the wires the text does not bring back, a further partner line on the side whose
// line keeps every other wire first.
void addPartnerLines(QList<TBlock>& blocks, const TBoardSurface* board,
                     const std::set<TWireKey>& missing) {
    TPathRoot root = pathRootOf(const_cast<TBoardSurface*>(board));
    for (const TWireKey& wire : missing) {
        auto* a = qobject_cast<TOrvexPinDriver*>(ComponentByPath(root, wire.first));
        auto* b = qobject_cast<TOrvexPinDriver*>(ComponentByPath(root, wire.second));
        if (!a || !b) continue;
        if (!addPartnerLine(blocks, board, a, b, false) &&
            !addPartnerLine(blocks, board, b, a, false) &&
            !addPartnerLine(blocks, board, a, b, true))
            addPartnerLine(blocks, board, b, a, true);
    }
}

// The blocks with partner lines for what they miss, when that brings back more; their text and
// what still differs.
struct TCompleted {
    QList<TBlock> Blocks;
    QString Text;
    TWireDifference Difference;
};
TCompleted withPartnerLines(const QList<TBlock>& blocks, const TBoardSurface* board,
                            const std::set<TWireKey>& wires, int topOffset) {
    TCompleted done{blocks, joinBlocks(blocks), {}};
    done.Difference = compareWires(wires, done.Text, topOffset);
    if (done.Difference.Unreadable || done.Difference.Missing.empty()) return done;
    QList<TBlock> extended = blocks;
    addPartnerLines(extended, board, done.Difference.Missing);
    QString text = joinBlocks(extended);
    TWireDifference remaining = compareWires(wires, text, topOffset);
    if (!remaining.Unreadable && remaining.Size() < done.Difference.Size())
        done = TCompleted{std::move(extended), std::move(text), std::move(remaining)};
    return done;
}

// The component whose block holds the contact.
const TBlock* blockOf(const QList<TBlock>& blocks, const QObject* contact) {
    for (const TBlock& block : blocks)
        if (isInside(contact, block.Component)) return &block;
    return nullptr;
}

// Opens text out of sight and, for each of the wires it does not bring back, adds a further
// partner line. A setter that wires several contacts at once (a two-colour LED's cathodes) may
// make more wires than the board has, once the user has rewired one of them from the other end:
// such a reference line is left out where the wires it named are then named from their other
// ends. text becomes the text that brings back the most; what still differs is returned.
TWireDifference completeWires(QList<TBlock>& blocks, const TBoardSurface* board,
                              const std::set<TWireKey>& wires, QString& text, int topOffset) {
    TWireDifference difference = compareWires(wires, text, topOffset);
    if (difference.Unreadable || difference.Size() == 0) return difference;
    TCompleted best = withPartnerLines(blocks, board, wires, topOffset);
    if (best.Difference.Unreadable) return difference;
    TPathRoot root = pathRootOf(const_cast<TBoardSurface*>(board));
    // Each line left out must bring the difference down; a board has few such lines, so the
    // search ends soon.
    bool improved = true;
    while (improved && !best.Difference.Extra.empty()) {
        improved = false;
        const std::set<TWireKey> extra = best.Difference.Extra;
        for (const TWireKey& wire : extra) {
            for (const QString& end : {wire.first, wire.second}) {
                const QObject* contact = ComponentByPath(root, end);
                const TBlock* holder = contact ? blockOf(blocks, contact) : nullptr;
                if (!holder) continue;
                const qsizetype at = holder - blocks.constData();
                const qsizetype lines = holder->References.size();
                for (qsizetype line = 0; line < lines && !improved; ++line) {
                    QList<TBlock> fewer = blocks;
                    fewer[at].References.removeAt(line);
                    TCompleted trial = withPartnerLines(fewer, board, wires, topOffset);
                    if (trial.Difference.Unreadable ||
                        trial.Difference.Size() >= best.Difference.Size())
                        continue;
                    blocks = std::move(fewer);
                    best = std::move(trial);
                    improved = true;
                }
                if (improved) break;
            }
            if (improved) break;
        }
    }
    if (best.Difference.Size() >= difference.Size()) return difference;
    blocks = std::move(best.Blocks);
    text = std::move(best.Text);
    return best.Difference;
}

QStringList describe(const std::set<TWireKey>& wires) {
    QStringList lines;
    for (const TWireKey& wire : wires)
        lines.append(wire.first + QStringLiteral(" - ") + wire.second);
    return lines;
}

} // namespace

TWriteResult WriteBoard(const TBoardSurface* board, int topOffset) {
    TWriteResult result;
    if (!board) return result;
    QList<TBlock> blocks = writeBlocks(board, board->OwnedComponents(), topOffset);
    result.Text = joinBlocks(blocks);
    // A component without a name has a block that no reader takes: the file would lose it.
    int line = 1;
    for (const TBlock& block : blocks) {
        if (block.Component->Name().isEmpty()) {
            const QString className = QLatin1String(block.Component->metaObject()->className());
            result.Unreadable = TFileProblem{
                line, QStringLiteral("object : ") + className,
                QStringLiteral("A %1 component has no name, so the file could not bring it "
                               "back; name it first.")
                    .arg(className)};
            return result;
        }
        line += 2 + int(block.Plain.size() + block.References.size() + block.Extra.size() +
                        block.Geometry.size());
    }
    const std::set<TWireKey> wires = wiresOf(board);
    TWireDifference difference = completeWires(blocks, board, wires, result.Text, topOffset);
    if (difference.Unreadable) {
        result.Unreadable = difference.Unreadable;
        return result;
    }
    result.Lost = describe(difference.Missing);
    result.Added = describe(difference.Extra);
    return result;
}

QString WriteComponents(const TBoardSurface* board,
                        const QList<TOrvexGraphicComponent*>& components, int topOffset) {
    if (!board) return QString();
    QList<TOrvexGraphicComponent*> named;
    for (TOrvexGraphicComponent* component : components)
        if (!component->Name().isEmpty()) named.append(component); // no header could name it
    return joinBlocks(writeBlocks(board, named, topOffset));
}

QString WriteSelection(const TBoardSurface* board, const QList<TOrvexGraphicComponent*>& components,
                       int topOffset) {
    if (!board) return QString();
    QList<TOrvexGraphicComponent*> named;
    for (TOrvexGraphicComponent* component : components)
        if (!component->Name().isEmpty()) named.append(component);
    QList<TBlock> blocks = writeBlocks(board, named, topOffset);
    const QSet<const QObject*> inside(named.cbegin(), named.cend());
    const auto ownerOf = [board](const QObject* object) {
        for (; object && object->parent() != board; object = object->parent()) {
        }
        return object;
    };
    std::set<TWireKey> among;
    std::vector<std::pair<TOrvexPinDriver*, TOrvexPinDriver*>> outside;
    for (const TOrvexGraphicComponent* component : named)
        for (TOrvexPinDriver* contact : component->findChildren<TOrvexPinDriver*>()) {
            const TComponentList* list = contact->ComponentList();
            if (!list || isHiddenContact(contact)) continue;
            for (const TComponentItem& item : *list) {
                if (!item.Pin || isHiddenContact(item.Pin)) continue;
                if (!inside.contains(ownerOf(item.Pin))) {
                    outside.emplace_back(contact, item.Pin);
                    continue;
                }
                const QString a = PathName(contact, board);
                const QString b = PathName(item.Pin, board);
                among.insert(a < b ? TWireKey(a, b) : TWireKey(b, a));
            }
        }
    // A wire to a component outside them that is not its contact's first partner goes as a
    // further line; opened elsewhere, it is kept where that partner is found.
    for (const auto& [contact, partner] : outside)
        if (contact->GetContact() != partner) addPartnerLine(blocks, board, contact, partner, true);
    QString text = joinBlocks(blocks);
    if (!among.empty()) completeWires(blocks, board, among, text, topOffset);
    return text;
}

} // namespace BoardFile

#include "boardfile.moc"
