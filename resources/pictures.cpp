#include "resources/pictures.h"

#include "platform/errors.h"

#include <QDir>
#include <QHash>
#include <QPaintDevice>
#include <QPainter>
#include <QSet>
#include <QSvgRenderer>

#include <cmath>

#include <memory>
#include <unordered_map>

// The resource object file of a static library is only linked in when something refers to it.
static void initPictureResources() {
    Q_INIT_RESOURCE(pictures);
}

namespace {

const QString resourceDir = QStringLiteral(":/pictures/");

struct Resolved {
    QString base;    // upper-case name of the drawn picture
    int quarters{0}; // clockwise quarter turns, 0..3
};

class Registry {
public:
    static Registry& instance() {
        static Registry registry;
        return registry;
    }

    const QStringList& names() const { return m_names; }

    bool resolve(const QString& name, Resolved& out) const {
        const QString upper = name.toUpper();
        if (m_files.contains(upper)) {
            out = {upper, 0};
            return true;
        }
        if (upper.size() < 2) return false;
        const QChar digit = upper.back();
        if (digit < QLatin1Char('1') || digit > QLatin1Char('3')) return false;
        const QString base = upper.chopped(1);
        if (!m_files.contains(base) || m_drawnVariants.contains(base)) return false;
        out = {base, digit.unicode() - '0'};
        return true;
    }

    Resolved resolveOrThrow(const QString& name) const {
        Resolved resolved;
        if (!resolve(name, resolved))
            throw PictureError(QStringLiteral("No picture named \"%1\"").arg(name));
        return resolved;
    }

    // Null when the drawing cannot be read.
    QSvgRenderer* readableRenderer(const QString& base) {
        auto it = m_renderers.find(base);
        if (it == m_renderers.end())
            it = m_renderers
                     .emplace(base, std::make_unique<QSvgRenderer>(resourceDir + base + ".svg"))
                     .first;
        return it->second->isValid() ? it->second.get() : nullptr;
    }

    QSvgRenderer& renderer(const QString& base) {
        if (QSvgRenderer* found = readableRenderer(base)) return *found;
        throw PictureError(QStringLiteral("Picture \"%1\" cannot be read").arg(base));
    }

    std::optional<Pictures::Picture> find(const QString& name) {
        Resolved resolved;
        if (!resolve(name, resolved)) return std::nullopt;
        QSvgRenderer* found = readableRenderer(resolved.base);
        if (!found) return std::nullopt;
        return Pictures::Picture(resolved.base, resolved.quarters, found);
    }

    Pictures::Picture require(const QString& name) {
        const Resolved resolved = resolveOrThrow(name);
        return Pictures::Picture(resolved.base, resolved.quarters, &renderer(resolved.base));
    }

private:
    Registry() {
        initPictureResources();
        const QStringList files =
            QDir(resourceDir).entryList({QStringLiteral("*.svg")}, QDir::Files, QDir::Name);
        for (const QString& file : files) {
            const QString name = file.chopped(4).toUpper();
            m_files.insert(name);
            m_names.append(name);
        }
        m_names.sort();
        // A drawing such as PIN1 is the variant of PIN; it is never a base of its own.
        for (const QString& name : std::as_const(m_names)) {
            const QChar last = name.back();
            if (last >= QLatin1Char('1') && last <= QLatin1Char('3') &&
                m_files.contains(name.chopped(1)))
                m_drawnVariants.insert(name);
        }
    }

    QSet<QString> m_files;
    QSet<QString> m_drawnVariants;
    QStringList m_names;
    std::unordered_map<QString, std::unique_ptr<QSvgRenderer>> m_renderers;
};

QSize turned(QSize size, int quarters) {
    return quarters % 2 ? size.transposed() : size;
}

void paintDrawing(QPainter& painter, const QRectF& target, const Pictures::Picture& picture) {
    painter.save();
    // Strokes along a picture's edge may reach past its view box; keep them inside the target.
    painter.setClipRect(target, painter.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Move the origin to the target corner where the picture's top-left corner lands, then turn;
    // the picture is drawn into the unturned rectangle.
    const qreal w = target.width();
    const qreal h = target.height();
    switch (picture.Quarters()) {
    case 1:
        painter.translate(target.right(), target.top());
        break;
    case 2:
        painter.translate(target.right(), target.bottom());
        break;
    case 3:
        painter.translate(target.left(), target.bottom());
        break;
    default:
        painter.translate(target.topLeft());
        break;
    }
    painter.rotate(90.0 * picture.Quarters());
    picture.Renderer().render(&painter,
                              picture.Quarters() % 2 ? QRectF(0, 0, h, w) : QRectF(0, 0, w, h));
    painter.restore();
}

bool whole(qreal value) {
    return value == std::floor(value);
}

// Drawn pictures by name and pixel size. Parsing the SVG paths again on every repaint cost a
// board of a thousand lit LEDs a tenth of a second; a cached picture is a single image copy.
class DrawnCache {
public:
    static DrawnCache& instance() {
        static DrawnCache cache;
        return cache;
    }

    // The picture drawn at size (in device-independent pixels) for a device of the given pixel
    // ratio; the size in device pixels must be whole.
    const QImage& image(const Pictures::Picture& picture, QSize size, qreal ratio) {
        const Key key{picture.Base(), picture.Quarters(), size, ratio};
        auto it = m_images.constFind(key);
        if (it != m_images.constEnd()) return *it;
        QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            paintDrawing(painter, QRectF(QPointF(0, 0), QSizeF(size)), picture);
        }
        // Sizes typed for components are few; should a session run through many, start over
        // rather than grow without bound.
        if (m_bytes + image.sizeInBytes() > MaxBytes) {
            m_images.clear();
            m_bytes = 0;
        }
        m_bytes += image.sizeInBytes();
        return *m_images.insert(key, image);
    }

private:
    struct Key {
        QString base;
        int quarters;
        QSize size;
        qreal ratio;
        bool operator==(const Key& other) const {
            return size == other.size && ratio == other.ratio && quarters == other.quarters &&
                   base == other.base;
        }
    };
    friend size_t qHash(const Key& key, size_t seed) {
        return qHashMulti(seed, key.base, key.quarters, key.size.width(), key.size.height(),
                          key.ratio);
    }

    static constexpr qsizetype MaxBytes = 64 * 1024 * 1024;
    QHash<Key, QImage> m_images;
    qsizetype m_bytes = 0;
};

} // namespace

namespace Pictures {

namespace {
// Larger pictures are drawn each time: they are few on a board and would crowd out the rest.
constexpr qreal MaxCachedArea = 512.0 * 512.0;
} // namespace

bool Exists(const QString& name) {
    Resolved resolved;
    return Registry::instance().resolve(name, resolved);
}

int Quarters(const QString& name) {
    Resolved resolved;
    return Registry::instance().resolve(name, resolved) ? resolved.quarters : 0;
}

QSize NominalSize(const QString& name) {
    Registry& registry = Registry::instance();
    const Resolved resolved = registry.resolveOrThrow(name);
    return turned(registry.renderer(resolved.base).defaultSize(), resolved.quarters);
}

std::optional<Picture> FindPicture(const QString& name) {
    return Registry::instance().find(name);
}

void Paint(QPainter& painter, const QRectF& target, const QString& name) {
    Paint(painter, target, Registry::instance().require(name));
}

void Paint(QPainter& painter, const QRectF& target, const Picture& picture) {
    // Where the picture lands on whole device pixels it is the same image every time: copy it
    // from the cache. Turned, scaled or half-pixel targets are drawn from the SVG.
    const QPaintDevice* device = painter.device();
    const qreal ratio = device ? device->devicePixelRatio() : 1.0;
    const QTransform& transform = painter.worldTransform();
    const bool cacheable = transform.type() <= QTransform::TxTranslate && whole(transform.dx()) &&
                           whole(transform.dy()) && whole(target.x()) && whole(target.y()) &&
                           whole(target.width()) && whole(target.height()) &&
                           whole(target.width() * ratio) && whole(target.height() * ratio) &&
                           target.width() > 0 && target.height() > 0 &&
                           target.width() * target.height() <= MaxCachedArea;
    if (cacheable) {
        const QImage& image = DrawnCache::instance().image(picture, target.size().toSize(), ratio);
        painter.drawImage(target.topLeft(), image);
        return;
    }
    paintDrawing(painter, target, picture);
}

QImage Render(const QString& name, const QSize& size) {
    Registry::instance().resolveOrThrow(name);
    if (size.isEmpty()) return {};
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    Paint(painter, QRectF(QPointF(0, 0), QSizeF(size)), name);
    painter.end();
    return image;
}

QStringList Names() {
    return Registry::instance().names();
}

} // namespace Pictures
