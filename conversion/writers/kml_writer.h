#pragma once

#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "conversion/class_rule.h"
#include "conversion/files/text_output_file.h"
#include "conversion/line_builder.h"
#include "conversion/track_point.h"

namespace routalo {

// Writes a KML 2.1 document line by line: the head with one style per speed
// class, one placemark per segment, the closing line. Each line is put
// together in memory and handed to the file whole. Texts from the user or the
// log are written as XML character data. Uses the speed colour scheme, which
// InitSpeedScheme must have filled, and `rule` for each segment's class.
class KmlWriter {
  public:
    explicit KmlWriter(TextOutputFile& document, ClassRule rule = {})
        : document_(document), rule_(std::move(rule)) {}

    // The 29 head lines: XML declaration and <kml>, the document name, 26
    // style lines, the opening of the folder.
    void WriteKmlHeader(std::string_view trackName);

    // One placemark from `previous` to `current`, coloured by the speed of
    // `current` and, with time information, stamped with its date and time.
    // Throws SpeedError when `current` has no usable speed.
    void WriteSegment(const TrackPoint& current, const TrackPoint& previous, bool withTimeInfo);

    // <colorMode>random</colorMode></Folder></Document></kml>; with
    // `figures`, an HTML table, the document's description before
    // </Document>: the figures are known only once the log has been read.
    void WriteKmlFooter(std::string_view figures = {});

  private:
    void WriteDocumentOpening();
    void WriteDocumentName(std::string_view trackName);
    void WriteStyle(int speedClass);
    void WriteFolderOpening();

    TextOutputFile& document_;
    ClassRule rule_;
    std::string line_;                    // the head's lines, one after the other
    LineBuilder segment_;                 // the segment lines, one after the other
    std::array<std::string, 6> escaped_;  // a segment's texts as XML text, when needed
};

}  // namespace routalo
