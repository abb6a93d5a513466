#pragma once

#include <QByteArray>
#include <QImage>
#include <QRect>

class QPainter;
class QPrinter;
class TfrmPlugin;

// Pictures of the board for reports: its components, the lines between them and the grid they
// stand on, as the window shows them now, without the selection's marks. The picture covers the
// components with a margin around them, not the empty rest of the board.
namespace BoardPicture {

// Board pixels left free around the components.
inline constexpr int Margin = 8;

// The part of the board a picture shows (board coordinates); empty when there is no component.
QRect Area(const TfrmPlugin& window);
// Paints the area's picture with its top left corner at the painter's origin, in board pixels.
void Paint(const TfrmPlugin& window, QPainter& painter, const QRect& area);
// The picture at scale times the board's pixels (1 or 2); a null image for an empty board.
QImage Render(const TfrmPlugin& window, int scale);
// The picture as an SVG document: the grid in a group "board", each component in a group of its
// own (id "component-NAME", class "component", placed by a translation), the lines in a group
// "wires". Empty for an empty board.
QByteArray RenderSvg(const TfrmPlugin& window);
// Prints the picture as large as the page takes it, centred, keeping its proportions. False for
// an empty board or a printer that cannot be painted on.
bool Print(const TfrmPlugin& window, QPrinter& printer);

} // namespace BoardPicture
