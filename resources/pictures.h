#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

class QPainter;

// The picture registry: every picture the program shows, compiled in as SVG and found by name.
//
// Names are looked up without regard to letter case ("RED_Dark" finds RED_DARK). A picture's
// nominal size is its listed pixel size; pictures are vector drawings and are stretched over
// whatever rectangle they are painted into, so the nominal size fixes only their proportions
// (and is what auto-sized components take).
//
// Orientation variants. A name ending in "1", "2" or "3" for which no picture of that exact name
// exists is the picture of the name without that digit, turned clockwise:
//   "1"  turned 90° clockwise   (width and height swap; the left edge comes to the top)
//   "2"  turned 180°            (left and right, top and bottom exchange)
//   "3"  turned 270° clockwise  (width and height swap; the left edge goes to the bottom)
// so that the digit counts quarter turns, as the orientations do. A picture drawn under a
// variant name (PIN1, BUS1, BUS_SCH1: the same part facing the other way, with its text still
// upright) takes precedence over the turned one, and is not itself turned further ("PIN11" does
// not exist). A digit that is part of a base name ("SEGMENT7_SCH") is never taken for a variant.
//
// Two ways to look a picture up. Where a missing picture is an error to report (a name the user
// typed, a picture a component is built with), the functions taking a name throw PictureError
// (platform/errors.h) for an unknown one. Paint paths must not fail: they find the picture first
// (FindPicture, empty for an unknown name) and paint what they found, which never throws. The
// registry reads each SVG once, on first use, and lives on the GUI thread. Rendering text needs a
// QGuiApplication.
class QSvgRenderer;

namespace Pictures {

// A picture the registry knows: the drawing and how it is turned. Cheap to copy; valid as long as
// the program runs.
class Picture {
public:
    Picture(const QString& base, int quarters, QSvgRenderer* renderer)
        : m_base(base), m_quarters(quarters), m_renderer(renderer) {}

    const QString& Base() const { return m_base; } // upper-case name of the drawing
    int Quarters() const { return m_quarters; }    // clockwise quarter turns, 0..3
    QSvgRenderer& Renderer() const { return *m_renderer; }

private:
    QString m_base;
    int m_quarters;
    QSvgRenderer* m_renderer;
};

// The picture of that name; empty when the name resolves to none (or its drawing cannot be
// read). Never throws.
std::optional<Picture> FindPicture(const QString& name);

// True when the name resolves to a picture, either drawn or as a turned variant.
bool Exists(const QString& name);

// The clockwise quarter turns the name's picture is shown with: 0 for a drawn picture and for
// a name that resolves to none.
int Quarters(const QString& name);
// The nominal pixel size; variants "1" and "3" of a base picture report width and height swapped.
QSize NominalSize(const QString& name);

// The picture stretched over an image of the given size (ARGB32 premultiplied), transparent where
// the picture is. An empty size yields a null image once the name has been checked.
QImage Render(const QString& name, const QSize& size);

// Draws the picture stretched over target with the painter's current transform, antialiased.
void Paint(QPainter& painter, const QRectF& target, const QString& name);
// The same for a picture already found; never throws.
void Paint(QPainter& painter, const QRectF& target, const Picture& picture);

// Every picture that exists as a drawing (not the turned variants), in upper case, sorted.
QStringList Names();

} // namespace Pictures
