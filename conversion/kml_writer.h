#pragma once

#include <array>
#include <string>
#include <string_view>

#include "conversion/files/text_output_file.h"
#include "conversion/line_builder.h"
#include "conversion/speed_class.h"
#include "conversion/track_point.h"

namespace routalo {

// Writes a KML 2.1 document line by line: the head with one style per speed
// class, one placemark per segment, the closing line. Each line is put
// together in memory and handed to the file whole. Texts from the user or the
// log are written as XML character data. Uses the speed colour scheme, which
// InitSpeedScheme must have filled. With a top speed the classes spread
// evenly up to it; without, every speed above 25 km/h shares class 24.
class KmlWriter {
  public:
    explicit KmlWriter(TextOutputFile& document, const TopSpeed* topSpeed = nullptr)
        : document_(document), topSpeed_(topSpeed) {}

    // The 29 head lines: XML declaration and <kml>, the document name, 26
    // style lines, the opening of the folder.
    void WriteKmlHeader(std::string_view trackName);

    // One placemark from `previous` to `current`, coloured by the speed of
    // `current` and, with time information, stamped with its date and time.
    // Throws SpeedError when `current` has no usable speed.
    void WriteSegment(const TrackPoint& current, const TrackPoint& previous, bool withTimeInfo);

    // <colorMode>random</colorMode></Folder></Document></kml>
    void WriteKmlFooter();

  private:
    void WriteDocumentOpening();
    void WriteDocumentName(std::string_view trackName);
    void WriteStyle(int speedClass);
    void WriteFolderOpening();

    TextOutputFile& document_;
    const TopSpeed* topSpeed_;
    std::string line_;                    // the head's lines, one after the other
    LineBuilder segment_;                 // the segment lines, one after the other
    std::array<std::string, 6> escaped_;  // a segment's texts as XML text, when needed
};

}  // namespace routalo
