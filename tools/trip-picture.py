"""Draws a converted trip as QGIS reads it; run by tools/trip-picture.

    trip-picture.py DOCUMENT PNG TITLE [TOP_SPEED]
    trip-picture.py --kmz ARCHIVE PNG TITLE

TOP_SPEED is the speed in km/h of the document's class 25 (routalo-convert's
--top-speed; 25 when left out). With 25 the legend names each class's own
speed and the slow places are enlarged; with another the legend gives the
speeds each colour stands for and the trip is shown whole.

QGIS opens the KML document through its OGR provider and draws every
placemark with the line style the document gives it: for KML, QGIS picks its
embedded-symbol renderer by itself, and this script checks that it did and
that every placemark came with a style. The picture is a QGIS print layout:
the whole trip on a plain background with a grid of degrees and a scale bar,
beside it the legend of the speed classes (their colours read by OGR from the
same document's styles), and below it, at a larger scale, the places where
the trip went slower than its fastest class, numbered in the order driven.

With --kmz, a KMZ archive of the merged layout is drawn as a map viewer shows
it: QGIS reads doc.kml from the archive through GDAL's /vsizip/, draws every
placemark in its own style (3 pixels wide) on a plain ground that fills the
picture, and the archive's own files/legend.png goes into the lower left
corner at its own size, pixel for pixel, as the document's ScreenOverlay
asks; the title and a credit go in a strip above and below.
Needs QT_QPA_PLATFORM=offscreen; fetches nothing.
"""

import math
import re
import sys
import zipfile

from osgeo import ogr
from qgis.core import (
    Qgis,
    QgsApplication,
    QgsCategorizedSymbolRenderer,
    QgsCoordinateReferenceSystem,
    QgsCoordinateTransform,
    QgsFeatureRequest,
    QgsFillSymbol,
    QgsLayoutExporter,
    QgsLayoutItemLabel,
    QgsLayoutItemLegend,
    QgsLayoutItemMap,
    QgsLayoutItemMapGrid,
    QgsLayoutItemMapOverview,
    QgsLayoutItemScaleBar,
    QgsLayoutMeasurement,
    QgsLayoutPoint,
    QgsLayoutSize,
    QgsLegendRenderer,
    QgsLegendStyle,
    QgsLineSymbol,
    QgsMapRendererCustomPainterJob,
    QgsMapSettings,
    QgsPrintLayout,
    QgsProject,
    QgsRectangle,
    QgsRendererCategory,
    QgsTextFormat,
    QgsUnitTypes,
    QgsVectorLayer,
)
from qgis.PyQt.QtCore import QDateTime, QPointF, QSize, Qt
from qgis.PyQt.QtGui import QColor, QFont, QImage, QPainter

# The page in millimetres and the picture's width in pixels. QGIS draws the
# document's lines of 1 pixel as 0.75 pt (a pixel of a 96 dpi screen) on the
# page, so the page's width decides how thick they come out in the picture.
PAGE_WIDTH = 160.0
PICTURE_WIDTH = 1600
MARGIN = 5.0
GAP = 4.0
LEGEND_WIDTH = 34.0
HEADER = 17.0
DETAILS = 3
DETAIL_HEIGHT = 32.0
FONT = "DejaVu Sans"
INK = QColor("#1f2a33")
FAINT = QColor("#55606a")
GROUND = QColor("#c9cdd1")


def font(size, bold=False):
    result = QFont(FONT)
    result.setPointSizeF(size)
    result.setBold(bold)
    return result


def text_format(size, colour):
    result = QgsTextFormat()
    result.setFont(font(size))
    result.setSize(size)
    result.setSizeUnit(QgsUnitTypes.RenderPoints)
    result.setColor(colour)
    return result


def speed_classes(document):
    """The document's speed classes, as [first, last, colour] runs of one colour.

    Placemarks refer to the style maps c_0, c_1, ...: one per speed class, in
    km/h. OGR reads each through its normal style into the style table.
    """
    data = ogr.Open(document)
    table = data.GetStyleTable() if data else None
    if table is None:
        sys.exit(f"trip-picture: OGR found no styles in {document}")
    colours = {}
    table.ResetStyleStringReading()
    while (style := table.GetNextStyle()) is not None:
        name = re.fullmatch(r"c_(\d+)", table.GetLastStyleName())
        pen = re.search(r"PEN\(c:#([0-9A-Fa-f]{6})", style)
        if name and pen:
            colours[int(name.group(1))] = QColor("#" + pen.group(1))
    if len(colours) < 2 or sorted(colours) != list(range(len(colours))):
        sys.exit(f"trip-picture: the speed styles of {document} are not c_0, c_1, ...")
    runs = []
    for speed in sorted(colours):
        if runs and runs[-1][2] == colours[speed]:
            runs[-1][1] = speed
        else:
            runs.append([speed, speed, colours[speed]])
    return runs


def km_h(speed_class, top_speed):
    """Where a class starts, in km/h: half a class below its own speed."""
    return f"{max(0.0, (speed_class - 0.5) * top_speed / 25):.0f}"


def speed_legend_layer(runs, top_speed):
    """A layer drawn on no map, whose categories are the rows of the legend."""
    layer = QgsVectorLayer("LineString?crs=EPSG:4326&field=run:integer", "Speed", "memory")
    categories = []
    for index, (first, last, colour) in enumerate(runs):
        if top_speed != 25:
            if index == len(runs) - 1:
                label = f"from {km_h(first, top_speed)} km/h"
            else:
                label = f"{km_h(first, top_speed)}\u2013{km_h(last + 1, top_speed)} km/h"
        elif index == len(runs) - 1:
            label = f"{first} km/h and faster"
        elif first == last:
            label = f"{first} km/h"
        else:
            label = f"{first}\u2013{last} km/h"
        symbol = QgsLineSymbol.createSimple(
            {"line_color": colour.name(), "line_width": "2.2", "line_width_unit": "MM"}
        )
        categories.append(QgsRendererCategory(index, symbol, label))
    layer.setRenderer(QgsCategorizedSymbolRenderer("run", categories))
    return layer


def read_trip(document):
    """The document as a QGIS layer and its placemarks in document order,
    after checking that QGIS draws each in the style the document gives it."""
    trip = QgsVectorLayer(document, "Trip", "ogr")
    if not trip.isValid() or trip.featureCount() == 0:
        sys.exit(f"trip-picture: QGIS could not read {document}")
    if trip.renderer().type() != "embeddedSymbol":
        sys.exit(f"trip-picture: QGIS does not draw {document} in its own styles")
    request = QgsFeatureRequest().setFlags(QgsFeatureRequest.EmbeddedSymbols)
    placemarks = sorted(trip.getFeatures(request), key=lambda f: f.id())
    styled = sum(1 for f in placemarks if f.embeddedSymbol() is not None)
    if styled != len(placemarks):
        sys.exit(f"trip-picture: QGIS found a style for {styled} of {len(placemarks)} placemarks")
    return trip, placemarks


def slow_places(placemarks, fast_colour, to_map):
    """Up to DETAILS stretches of consecutive placemarks drawn in another colour
    than the fastest class's, the longest ones (standing still is not shown),
    in the order driven; each as (extent in map coordinates, first placemark,
    last placemark)."""
    stretches = []
    current = None
    for placemark in placemarks:
        if placemark.embeddedSymbol().color() == fast_colour:
            current = None
            continue
        box = to_map.transformBoundingBox(placemark.geometry().boundingBox())
        if current is None:
            current = [QgsRectangle(box), placemark, placemark]
            stretches.append(current)
        else:
            current[0].combineExtentWith(box)
            current[2] = placemark
    def length(stretch):
        return math.hypot(stretch[0].width(), stretch[0].height())

    longest = sorted((s for s in stretches if length(s) >= 5), key=length, reverse=True)[:DETAILS]
    return sorted(longest, key=lambda s: s[1].id())


def nice_step(value):
    """The largest of 1, 2 or 5 times a power of ten that is at most VALUE."""
    power = 10 ** math.floor(math.log10(value))
    return max(s * power for s in (1, 2, 5) if s * power <= value)


def utm_crs(point):
    """The UTM zone of a point, so that the map is true to scale around it."""
    zone = min(60, int((point.x() + 180) // 6) + 1)
    return QgsCoordinateReferenceSystem(f"EPSG:{(32600 if point.y() >= 0 else 32700) + zone}")


def time_of(placemark):
    value = placemark["timestamp"]
    return value.toUTC() if isinstance(value, QDateTime) and value.isValid() else None


def add_label(layout, text, size, colour, x, y, width, bold=False, align=Qt.AlignLeft):
    label = QgsLayoutItemLabel(layout)
    layout.addLayoutItem(label)
    label.setText(text)
    label.setFont(font(size, bold))
    label.setFontColor(colour)
    label.setHAlign(align)
    label.setMargin(0)
    label.attemptMove(QgsLayoutPoint(x, y))
    label.attemptResize(QgsLayoutSize(width, size * 0.5))
    return label


def add_map(layout, trip, crs, x, y, width, height, view):
    map_item = QgsLayoutItemMap(layout)
    layout.addLayoutItem(map_item)
    map_item.setCrs(crs)
    map_item.setLayers([trip])
    map_item.setBackgroundColor(GROUND)
    map_item.setFrameEnabled(True)
    map_item.setFrameStrokeColor(FAINT)
    map_item.attemptMove(QgsLayoutPoint(x, y))
    map_item.attemptResize(QgsLayoutSize(width, height))
    # VIEW widened or heightened to the item's shape, around its centre: an
    # extent of another shape would resize the item.
    centre = view.center()
    half_width = max(view.width(), view.height() * width / height) / 2
    half_height = half_width * height / width
    map_item.setExtent(
        QgsRectangle(
            centre.x() - half_width, centre.y() - half_height, centre.x() + half_width, centre.y() + half_height
        )
    )
    return map_item


def add_grid(map_item, project):
    """Lines of longitude and latitude, some four across the map, named outside it."""
    wgs84 = QgsCoordinateReferenceSystem("EPSG:4326")
    degrees = QgsCoordinateTransform(map_item.crs(), wgs84, project).transformBoundingBox(map_item.extent())
    grid = QgsLayoutItemMapGrid("degrees", map_item)
    map_item.grids().addGrid(grid)
    grid.setCrs(wgs84)
    step = nice_step(degrees.width() / 4)
    grid.setIntervalX(step)
    grid.setIntervalY(step)
    grid.setGridLineColor(QColor(255, 255, 255, 170))
    grid.setGridLineWidth(0.2)
    grid.setAnnotationEnabled(True)
    grid.setAnnotationFormat(QgsLayoutItemMapGrid.DegreeMinuteSecond)
    grid.setAnnotationPrecision(0)
    grid.setAnnotationTextFormat(text_format(5.5, FAINT))
    grid.setAnnotationFrameDistance(0.8)
    for side in (QgsLayoutItemMapGrid.Left, QgsLayoutItemMapGrid.Top):
        grid.setAnnotationDisplay(QgsLayoutItemMapGrid.HideAll, side)
    for side in (QgsLayoutItemMapGrid.Bottom, QgsLayoutItemMapGrid.Right):
        grid.setAnnotationPosition(QgsLayoutItemMapGrid.OutsideMapFrame, side)
    grid.setAnnotationDirection(QgsLayoutItemMapGrid.Vertical, QgsLayoutItemMapGrid.Right)


def add_scale_bar(layout, map_item, x, y, width):
    bar = QgsLayoutItemScaleBar(layout)
    layout.addLayoutItem(bar)
    bar.setLinkedMap(map_item)
    bar.setStyle("Single Box")
    bar.setUnits(QgsUnitTypes.DistanceMeters)
    bar.setUnitLabel("m")
    bar.setNumberOfSegments(2)
    bar.setNumberOfSegmentsLeft(0)
    # Two segments of a round number of metres, together at most WIDTH mm.
    bar.setUnitsPerSegment(nice_step(map_item.scale() * width / 1000 / 2))
    bar.setHeight(1.4)
    bar.setLabelBarSpace(1.0)
    bar.setBoxContentSpace(0.5)
    bar.setTextFormat(text_format(6, INK))
    bar.update()
    bar.attemptMove(QgsLayoutPoint(x, y))
    return bar


def add_legend(layout, speeds, x, y):
    legend = QgsLayoutItemLegend(layout)
    layout.addLayoutItem(legend)
    legend.setTitle("Speed")
    legend.setAutoUpdateModel(False)
    root = legend.model().rootGroup()
    root.clear()
    node = root.addLayer(speeds)
    QgsLegendRenderer.setNodeLegendStyle(node, QgsLegendStyle.Hidden)
    legend.setStyleFont(QgsLegendStyle.Title, font(9, True))
    legend.setStyleFont(QgsLegendStyle.SymbolLabel, font(7.5))
    legend.setStyleMargin(QgsLegendStyle.Title, QgsLegendStyle.Bottom, 2.0)
    legend.setStyleMargin(QgsLegendStyle.Symbol, QgsLegendStyle.Top, 2.0)
    legend.setFontColor(INK)
    legend.setSymbolWidth(9)
    legend.setSymbolHeight(3.2)
    legend.setBoxSpace(0)
    legend.setBackgroundEnabled(False)
    legend.attemptMove(QgsLayoutPoint(x, y))
    legend.adjustBoxSize()
    return legend


def frame_symbol():
    return QgsFillSymbol.createSimple(
        {"style": "no", "outline_color": INK.name(), "outline_width": "0.35", "outline_width_unit": "MM"}
    )


def add_details(layout, trip, crs, main_map, places, top, heading):
    """The slow places side by side below the main map under HEADING, all at
    one scale, each outlined and numbered on the main map; returns the bottom."""
    add_label(layout, heading, 7.5, INK, MARGIN, top, PAGE_WIDTH - 2 * MARGIN, bold=True)
    top += 5.0
    count = len(places)
    width = (PAGE_WIDTH - 2 * MARGIN - (count - 1) * GAP) / count
    views = []
    for extent, _, _ in places:
        centre = extent.center()
        half = max(extent.width(), extent.height(), 60.0) * 0.6
        views.append(QgsRectangle(centre.x() - half, centre.y() - half, centre.x() + half, centre.y() + half))
    maps = []
    for index, view in enumerate(views):
        x = MARGIN + index * (width + GAP)
        maps.append(add_map(layout, trip, crs, x, top + 4.5, width, DETAIL_HEIGHT, view))
    scale = max(m.scale() for m in maps)
    for number, (detail, (_, first, last)) in enumerate(zip(maps, places), start=1):
        detail.setScale(scale)
        detail.setFrameStrokeWidth(QgsLayoutMeasurement(0.35))
        start, end = time_of(first), time_of(last)
        when = f"{start.toString('HH:mm:ss')}\u2013{end.toString('HH:mm:ss')}" if start and end else ""
        add_label(layout, f"{number}   {when}", 7, INK, detail.pos().x(), top, width, bold=False)
        overview = QgsLayoutItemMapOverview(str(number), main_map)
        main_map.overviews().addOverview(overview)
        overview.setLinkedMap(detail)
        overview.setFrameSymbol(frame_symbol())
        # The number beside the outline on the main map, above its top left.
        corner = main_map.mapToItemCoords(QPointF(detail.extent().xMinimum(), detail.extent().yMaximum()))
        add_label(layout, str(number), 7, INK, main_map.pos().x() + corner.x(),
                  main_map.pos().y() + corner.y() - 3.4, 4, bold=True)
    bar_top = top + 4.5 + DETAIL_HEIGHT + 2.0
    add_scale_bar(layout, maps[0], MARGIN, bar_top, 25.0)
    return bar_top + 7.0


def draw(document, picture, title, top_speed="25"):
    top_speed = float(top_speed)
    project = QgsProject.instance()
    trip, placemarks = read_trip(document)
    classes = speed_classes(document)
    speeds = speed_legend_layer(classes, top_speed)
    project.addMapLayers([trip, speeds])

    crs = utm_crs(trip.extent().center())
    to_map = QgsCoordinateTransform(trip.crs(), crs, project)
    extent = to_map.transformBoundingBox(trip.extent())
    layout = QgsPrintLayout(project)
    layout.initializeDefaults()

    times = [t for t in map(time_of, placemarks) if t]
    when = ""
    if times:
        when = f"{min(times).toString('d MMMM yyyy, HH:mm:ss')}\u2013{max(times).toString('HH:mm:ss')} UTC, "
    add_label(layout, title, 13, INK, MARGIN, 4.0, PAGE_WIDTH - 2 * MARGIN, bold=True)
    add_label(layout, f"{when}{len(placemarks)} segment{'s' if len(placemarks) != 1 else ''}", 7.5, FAINT, MARGIN, 10.5, PAGE_WIDTH - 2 * MARGIN)

    # The whole trip takes the page's width beside the legend and the height
    # it needs at that width, but not less than the legend's.
    map_width = PAGE_WIDTH - 2 * MARGIN - GAP - LEGEND_WIDTH
    legend = add_legend(layout, speeds, PAGE_WIDTH - MARGIN - LEGEND_WIDTH + 2, HEADER)
    # A trip that hardly moves is shown as 100 m across.
    view = extent.buffered(max(0.04 * max(extent.width(), extent.height()), 50 - extent.width() / 2, 0))
    map_height = min(max(map_width * view.height() / view.width() * 1.02, legend.rect().height()), map_width)
    main_map = add_map(layout, trip, crs, MARGIN, HEADER, map_width, map_height, view)
    add_grid(main_map, project)
    bar = add_scale_bar(layout, main_map, MARGIN, HEADER + map_height + 4.0, 40.0)
    bottom = HEADER + map_height + 11.0

    places = slow_places(placemarks, classes[-1][2], to_map) if top_speed == 25 else []
    if places:
        heading = f"Enlarged: where the trip went slower than {classes[-1][0]} km/h (times in UTC)"
        bottom = add_details(layout, trip, crs, main_map, places, bottom + 1.0, heading)
    version = Qgis.QGIS_VERSION.split("-")[0]
    credit = f"Drawn by QGIS {version} from the KML document, every segment in the style it refers to"
    add_label(layout, credit, 6, FAINT, MARGIN, bottom, PAGE_WIDTH - 2 * MARGIN, align=Qt.AlignRight)

    page_height = bottom + 3.0 + MARGIN
    layout.pageCollection().page(0).setPageSize(QgsLayoutSize(PAGE_WIDTH, page_height))
    size = QSize(PICTURE_WIDTH, round(PICTURE_WIDTH * page_height / PAGE_WIDTH))
    image = QgsLayoutExporter(layout).renderPageToImage(0, size)
    if image.isNull() or not image.save(picture, "PNG"):
        sys.exit(f"trip-picture: could not write {picture}")
    print(
        f"trip-picture: {len(placemarks)} segments in {crs.authid()}, the trip at 1:{main_map.scale():.0f} "
        f"(scale bar {bar.numberOfSegments()} x {bar.unitsPerSegment():g} m), {len(places)} slow places"
    )


# A viewer's screen for --kmz, in pixels: the map, and the strips above and
# below it for the title and the credit.
SCREEN_WIDTH = 1200
SCREEN_HEIGHT = 760
STRIP = 44


def draw_kmz(archive, picture, title):
    with zipfile.ZipFile(archive) as kmz:
        names = kmz.namelist()
        if names[:1] != ["doc.kml"] or "files/legend.png" not in names:
            sys.exit(f"trip-picture: {archive} holds {names}, not doc.kml first and files/legend.png")
        legend = QImage.fromData(kmz.read("files/legend.png"), "PNG")
    if legend.isNull():
        sys.exit(f"trip-picture: the legend image of {archive} does not decode")
    project = QgsProject.instance()
    trip, placemarks = read_trip(f"/vsizip/{archive}/doc.kml")
    project.addMapLayers([trip])

    crs = utm_crs(trip.extent().center())
    extent = QgsCoordinateTransform(trip.crs(), crs, project).transformBoundingBox(trip.extent())
    settings = QgsMapSettings()
    settings.setLayers([trip])
    settings.setDestinationCrs(crs)
    settings.setOutputSize(QSize(SCREEN_WIDTH, SCREEN_HEIGHT))
    settings.setOutputDpi(96)
    settings.setBackgroundColor(GROUND)
    # Room around the trip for the legend in the lower left corner.
    settings.setExtent(extent.buffered(0.06 * max(extent.width(), extent.height())))

    image = QImage(SCREEN_WIDTH, SCREEN_HEIGHT + 2 * STRIP, QImage.Format_RGB32)
    image.fill(QColor("white"))
    painter = QPainter(image)
    painter.translate(0, STRIP)
    job = QgsMapRendererCustomPainterJob(settings, painter)
    job.renderSynchronously()
    # The overlay: the image's lower left corner on the screen's, unscaled.
    painter.drawImage(0, SCREEN_HEIGHT - legend.height(), legend)
    painter.translate(0, -STRIP)
    painter.setPen(INK)
    painter.setFont(font(15, True))
    painter.drawText(12, 0, SCREEN_WIDTH - 24, STRIP, Qt.AlignVCenter | Qt.AlignLeft, title)
    version = Qgis.QGIS_VERSION.split("-")[0]
    credit = (
        f"Drawn by QGIS {version} from doc.kml of the KMZ archive, {len(placemarks)} placemarks in "
        f"their own styles; the legend is the archive's files/legend.png ({legend.width()} x "
        f"{legend.height()} pixels) at its own size"
    )
    painter.setPen(FAINT)
    painter.setFont(font(8))
    painter.drawText(12, STRIP + SCREEN_HEIGHT, SCREEN_WIDTH - 24, STRIP,
                     Qt.AlignVCenter | Qt.AlignRight, credit)
    painter.end()
    if not image.save(picture, "PNG"):
        sys.exit(f"trip-picture: could not write {picture}")
    print(f"trip-picture: {len(placemarks)} placemarks in {crs.authid()}, legend {legend.width()} x {legend.height()}")


def main():
    kmz = sys.argv[1:2] == ["--kmz"]
    if (kmz and len(sys.argv) != 5) or (not kmz and len(sys.argv) not in (4, 5)):
        sys.exit("usage: trip-picture.py DOCUMENT PNG TITLE [TOP_SPEED] | --kmz ARCHIVE PNG TITLE")
    app = QgsApplication([], True)
    app.initQgis()
    try:
        if kmz:
            draw_kmz(*sys.argv[2:])
        else:
            draw(*sys.argv[1:])
    finally:
        QgsProject.instance().clear()
        app.exitQgis()


if __name__ == "__main__":
    main()
