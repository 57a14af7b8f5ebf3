// The document's path: the log's path with its last three characters
// replaced by "kml", on every system the program is built for.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "conversion/conversion_run.h"

namespace routalo {
namespace {

TEST(DocumentPath, ReplacesTheLastThreeCharactersOfTheLogsPath) {
    EXPECT_EQ(KmlPathFor("C:\\logs\\rit.csv"), "C:\\logs\\rit.kml");
    EXPECT_EQ(KmlPathFor("C:\\logs\\rit.log"), "C:\\logs\\rit.kml");
    EXPECT_EQ(KmlPathFor("C:\\logs\\rit.gpsx"), "C:\\logs\\rit.gkml");
    EXPECT_EQ(KmlPathFor("C:\\logs\\rit"), "C:\\logs\\kml");
    EXPECT_EQ(KmlPathFor("/home/jan/rit.c\xC3\xA9v"), "/home/jan/rit.kml");
    // The file name is decoded on its own, whatever its folder's encoding.
    EXPECT_EQ(KmlPathFor("lat\xE9/rit.\xC3\xA7sv"), "lat\xE9/rit.kml");
    EXPECT_EQ(KmlPathFor("caf\xC3\xA9/rit.\xE7sv"), "caf\xC3\xA9/rit.kml");
    // Outside the log's folder: the run refuses these.
    EXPECT_EQ(KmlPathFor("/data/ab"), "/datakml");
    EXPECT_EQ(KmlPathFor("C:\\data\\ab"), "C:\\datakml");
    EXPECT_EQ(KmlPathFor("C:ab"), "Ckml");
    EXPECT_EQ(KmlPathFor("abc"), "kml");
    EXPECT_EQ(KmlPathFor("ab"), std::nullopt);
}

}  // namespace
}  // namespace routalo
