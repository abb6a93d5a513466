// Renders every picture into one labelled PNG so the whole set can be reviewed at a glance:
// each picture and its turned variants at the nominal size and at the size a newly placed
// component has, the lit overlays laid over their base pictures, and the tool-button pictures at
// 24 × 24 with an enlarged copy of those pixels.
//
//     make contact-sheet
// which runs
//     QT_QPA_PLATFORM=offscreen ./build/tools/brelvan-contact-sheet contact-sheet.png

#include "platform/errors.h"
#include "resources/pictures.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

namespace {

constexpr int sheetWidth = 1800;
constexpr int margin = 16;
constexpr int gap = 14;
const QColor boardColour(0xf0, 0xf0, 0xf0); // what a component fills its area with first

// One image shown in a cell, with the caption under it.
struct Shot {
    QImage image;
    QString caption;
};

struct Cell {
    QString title;
    std::vector<Shot> shots;
};

struct Section {
    QString title;
    std::vector<Cell> cells;
};

// The size a newly placed component gives the picture, for pictures of placeable components.
QSize placedSize(const QString& base) {
    static const QList<QPair<QStringList, QSize>> table = {
        {{"DIODE",
          "LED_SCH",
          "TWO_COLOR_LED_SCH",
          "SWITCH_OFF",
          "SWITCH_ON",
          "ROUND_BUTTON_UP",
          "ROUND_BUTTON_DOWN",
          "BULB_DARK",
          "BULB_BRIGHT",
          "BULB_SCH",
          "CRASH",
          "GND",
          "VCC",
          "RED_DARK",
          "RED_BRIGHT",
          "GREEN_DARK",
          "GREEN_BRIGHT",
          "YELLOW_DARK",
          "YELLOW_BRIGHT",
          "BLUE_DARK",
          "BLUE_BRIGHT",
          "ORANGE_BRIGHT",
          "WHITE_LED_SOCKET"},
         QSize(32, 32)},
        {{"MATRIX", "SEG_A", "SEG_B", "SEG_C", "SEG_D", "SEG_E", "SEG_F", "SEG_G", "SEG_H",
          "SEGMENT7_SCH"},
         QSize(74, 99)},
        {{"HRADLO", "HRADLO_SCH", "INVERTOR", "INVERTOR_SCH"}, QSize(116, 60)},
        {{"PIN", "PIN1"}, QSize(69, 23)},
        {{"PORT"}, QSize(80, 84)},
        {{"DRIVEN_PORT", "DRIVEN_PORT_INV", "DRIVEN_PORT_C", "DRIVEN_PORT_C_INV", "DRIVEN_PORT_OE",
          "DRIVEN_PORT_OE_INV", "DRIVEN_PORT_DIR", "DRIVEN_PORT_DIR_INV"},
         QSize(75, 108)},
        {{"BUS", "BUS1", "BUS_SCH", "BUS_SCH1"}, QSize(30, 94)},
        {{"LINE"}, QSize(16, 4)},
        {{"SELECTOR", "SELECTOR_INV", "SELECTOR_SCH", "SELECTOR_INV_SCH"}, QSize(75, 88)},
    };
    for (const auto& [names, size] : table)
        if (names.contains(base)) return size;
    return {};
}

// Turned variants that the components ask for; the rest exist too but nothing shows them.
QStringList turnedVariants(const QString& base) {
    static const QStringList fourWay = {"DIODE",        "LED_SCH",          "TWO_COLOR_LED_SCH",
                                        "HRADLO",       "HRADLO_SCH",       "INVERTOR",
                                        "INVERTOR_SCH", "WHITE_LED_SOCKET", "RED_BRIGHT",
                                        "GREEN_BRIGHT", "ORANGE_BRIGHT",    "VCC",
                                        "GND"};
    static const QStringList twoWay = {"SWITCH_OFF",  "SWITCH_ON", "BULB_DARK",
                                       "BULB_BRIGHT", "BULB_SCH",  "LINE"};
    if (fourWay.contains(base)) return {base + "1", base + "2", base + "3"};
    if (twoWay.contains(base)) return {base + "1"};
    return {};
}

bool isToolPicture(const QString& name) {
    return name == "RUN" || name == "MAINICON" ||
           (name.startsWith('T') && !name.contains('_') &&
            Pictures::NominalSize(name) == QSize(24, 24));
}

QString sizeText(QSize s) {
    return QStringLiteral("%1×%2").arg(s.width()).arg(s.height());
}

// The picture over the colour a component paints first, as on the board.
QImage onBoard(const QStringList& layers, QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(boardColour);
    QPainter painter(&image);
    for (const QString& layer : layers)
        Pictures::Paint(painter, QRectF(QPointF(0, 0), QSizeF(size)), layer);
    return image;
}

QImage enlarged(const QImage& image, int factor) {
    return image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

// A drawn picture with the turned variants the components ask for, each at its nominal size and
// at the size a newly placed component has (a turned variant's placed size has its sides swapped).
// The quarter-turned variants of a long picture (a line) get cells of their own, so the long
// picture and its turned copy do not enclose an empty block.
std::vector<Cell> pictureCells(const QString& base) {
    const QSize placedBase = placedSize(base);
    const QSize nominalBase = Pictures::NominalSize(base);
    const bool elongated = std::max(nominalBase.width(), nominalBase.height()) >
                           8 * std::min(nominalBase.width(), nominalBase.height());
    std::vector<Cell> cells{{base, {}}};
    QStringList names = turnedVariants(base);
    names.prepend(base);
    for (const QString& name : names) {
        const bool quarterTurned = name != base && (name.back() == '1' || name.back() == '3');
        if (quarterTurned && elongated) cells.push_back({name, {}});
        Cell& cell = cells.back();
        const QSize nominal = Pictures::NominalSize(name);
        const QString prefix = name == cell.title ? QString() : name + " ";
        cell.shots.push_back({onBoard({name}, nominal), prefix + sizeText(nominal)});
        QSize placed = placedBase;
        if (quarterTurned) placed.transpose();
        if (placed.isValid() && placed != nominal)
            cell.shots.push_back({onBoard({name}, placed), "placed " + sizeText(placed)});
    }
    return cells;
}

Cell overlayCell(const QString& base, const QStringList& overlays, QSize placed) {
    Cell cell{base + " + " + overlays.join(" + "), {}};
    if (overlays.size() > 2)
        cell.title = base + " + " + QString::number(overlays.size()) + " overlays";
    const QSize nominal = Pictures::NominalSize(base);
    QStringList layers = overlays;
    layers.prepend(base);
    cell.shots.push_back({onBoard(layers, nominal), "nominal"});
    if (placed.isValid()) cell.shots.push_back({onBoard(layers, placed), "placed"});
    cell.shots.push_back({enlarged(onBoard(layers, nominal), 2), "nominal, pixels ×2"});
    return cell;
}

std::vector<Section> buildSections() {
    std::vector<Section> sections;
    Section components{"Component pictures and schematic symbols, with the turned variants", {}};
    Section tools{"Tool buttons (24 × 24 and the same pixels ×3), Run button, program icon", {}};
    for (const QString& name : Pictures::Names()) {
        if (isToolPicture(name)) {
            Cell cell{name, {}};
            const QSize nominal = Pictures::NominalSize(name);
            const QImage image = onBoard({name}, nominal);
            cell.shots.push_back({image, sizeText(nominal)});
            if (nominal.width() <= 24) {
                cell.shots.push_back({enlarged(image, 3), "×3"});
            } else {
                cell.shots.push_back({onBoard({name}, QSize(32, 32)), "32×32"});
                cell.shots.push_back({onBoard({name}, QSize(16, 16)), "16×16"});
            }
            tools.cells.push_back(cell);
            continue;
        }
        for (Cell& cell : pictureCells(name))
            components.cells.push_back(std::move(cell));
    }

    Section overlays{"Lit and pressed pictures laid over their base pictures", {}};
    const QSize led(32, 32);
    for (const char* colour : {"RED", "GREEN", "YELLOW", "BLUE"})
        overlays.cells.push_back(
            overlayCell(QString(colour) + "_DARK", {QString(colour) + "_BRIGHT"}, led));
    for (const char* lit : {"RED_BRIGHT", "GREEN_BRIGHT", "ORANGE_BRIGHT"})
        overlays.cells.push_back(overlayCell("WHITE_LED_SOCKET", {lit}, led));
    overlays.cells.push_back(overlayCell("WHITE_LED_SOCKET1", {"ORANGE_BRIGHT1"}, led));
    overlays.cells.push_back(overlayCell("SWITCH_OFF", {"SWITCH_ON"}, led));
    overlays.cells.push_back(overlayCell("SWITCH_OFF1", {"SWITCH_ON1"}, led));
    overlays.cells.push_back(overlayCell("ROUND_BUTTON_UP", {"ROUND_BUTTON_DOWN"}, led));
    overlays.cells.push_back(overlayCell("BULB_DARK", {"BULB_BRIGHT"}, led));
    overlays.cells.push_back(overlayCell("BULB_DARK1", {"BULB_BRIGHT1"}, led));
    const QStringList segments = {"SEG_A", "SEG_B", "SEG_C", "SEG_D",
                                  "SEG_E", "SEG_F", "SEG_G", "SEG_H"};
    for (const QString& segment : segments)
        overlays.cells.push_back(overlayCell("MATRIX", {segment}, QSize()));
    overlays.cells.push_back(overlayCell("MATRIX", segments, QSize()));

    sections.push_back(std::move(components));
    sections.push_back(std::move(overlays));
    sections.push_back(std::move(tools));
    return sections;
}

struct Fonts {
    QFont caption, title, section;
    Fonts() {
        caption.setPixelSize(11);
        title = caption;
        title.setBold(true);
        section = caption;
        section.setPixelSize(16);
        section.setBold(true);
    }
};

int shotWidth(const Shot& shot, const QFontMetrics& caption) {
    return std::max(shot.image.width(), caption.horizontalAdvance(shot.caption));
}

QSize cellSize(const Cell& cell, const Fonts& fonts) {
    const QFontMetrics caption(fonts.caption);
    const QFontMetrics title(fonts.title);
    int width = 0;
    int picturesHeight = 0;
    for (const Shot& shot : cell.shots) {
        width += shotWidth(shot, caption) + 8;
        picturesHeight = std::max(picturesHeight, shot.image.height());
    }
    width = std::max(width - 8, title.horizontalAdvance(cell.title));
    return {width, title.height() + 4 + picturesHeight + 4 + caption.height()};
}

void drawCell(QPainter& painter, const Cell& cell, QPoint at, const Fonts& fonts) {
    const QFontMetrics caption(fonts.caption);
    const QFontMetrics title(fonts.title);
    painter.setFont(fonts.title);
    painter.setPen(Qt::black);
    painter.drawText(at.x(), at.y() + title.ascent(), cell.title);
    int picturesHeight = 0;
    for (const Shot& shot : cell.shots)
        picturesHeight = std::max(picturesHeight, shot.image.height());
    const int top = at.y() + title.height() + 4;
    int x = at.x();
    painter.setFont(fonts.caption);
    for (const Shot& shot : cell.shots) {
        painter.setPen(QColor(0x9c, 0xb8, 0xe0));
        painter.drawRect(QRect(QPoint(x - 1, top - 1), shot.image.size() + QSize(1, 1)));
        painter.drawImage(x, top, shot.image);
        painter.setPen(QColor(0x55, 0x55, 0x55));
        painter.drawText(x, top + picturesHeight + 4 + caption.ascent(), shot.caption);
        x += shotWidth(shot, caption) + 8;
    }
}

// Packs the cells of each section under a skyline (each cell goes where it sits highest, leftmost
// on a tie), so one tall picture does not leave a whole row empty. Draws only when a painter is
// given; returns the height used.
int layout(const std::vector<Section>& sections, QPainter* painter) {
    const Fonts fonts;
    const QFontMetrics sectionMetrics(fonts.section);
    int y = margin;
    for (const Section& section : sections) {
        if (painter) {
            painter->setFont(fonts.section);
            painter->setPen(Qt::black);
            painter->drawText(margin, y + sectionMetrics.ascent(), section.title);
        }
        y += sectionMetrics.height() + 8;
        std::vector<int> skyline(sheetWidth, y);
        std::vector<int> candidates{margin};
        int bottom = y;
        for (const Cell& cell : section.cells) {
            const QSize size = cellSize(cell, fonts);
            const int span = std::min(size.width() + gap, sheetWidth - margin);
            int bestX = margin;
            int bestY = std::numeric_limits<int>::max();
            for (const int x : candidates) {
                if (x != margin && x + size.width() > sheetWidth - margin) continue;
                const int end = std::min(x + span, sheetWidth);
                const int top = *std::max_element(skyline.begin() + x, skyline.begin() + end);
                if (top < bestY || (top == bestY && x < bestX)) {
                    bestY = top;
                    bestX = x;
                }
            }
            const int end = std::min(bestX + span, sheetWidth);
            std::fill(skyline.begin() + bestX, skyline.begin() + end, bestY + size.height() + gap);
            candidates.push_back(end);
            bottom = std::max(bottom, bestY + size.height());
            if (painter) drawCell(*painter, cell, QPoint(bestX, bestY), fonts);
        }
        y = bottom + 2 * gap;
    }
    return y + margin;
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: brelvan-contact-sheet OUT.png\n");
        return 2;
    }
    try {
        const std::vector<Section> sections = buildSections();
        QImage sheet(sheetWidth, layout(sections, nullptr), QImage::Format_ARGB32_Premultiplied);
        sheet.fill(Qt::white);
        QPainter painter(&sheet);
        layout(sections, &painter);
        painter.end();
        if (!sheet.save(QString::fromLocal8Bit(argv[1]))) {
            std::fprintf(stderr, "cannot write %s\n", argv[1]);
            return 1;
        }
    } catch (const PictureError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
