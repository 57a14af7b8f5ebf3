#include "conversion/files/zip_archive.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "conversion/errors.h"
#include "tests/support/scratch_folder.h"

namespace routalo {
namespace {

using testing::ReadBytes;
using testing::ScratchFolder;

TEST(DosTimeOf, DatesWithinTheFormatsYearsAndFallsBackOutside) {
    struct Case {
        std::optional<std::int64_t> seconds;
        DosTime expected;
    };
    constexpr auto kDate = [](unsigned year, unsigned month, unsigned day) {
        return static_cast<std::uint16_t>(((year - 1980) << 9U) | (month << 5U) | day);
    };
    constexpr auto kTime = [](unsigned hour, unsigned minute, unsigned second) {
        return static_cast<std::uint16_t>((hour << 11U) | (minute << 5U) | (second / 2));
    };
    const DosTime none{kTime(0, 0, 0), kDate(1980, 1, 1)};
    const Case cases[] = {
        {std::nullopt, none},
        {1181898309, {kTime(9, 5, 8), kDate(2007, 6, 15)}},      // 2007-06-15T09:05:09Z
        {315532800, {kTime(0, 0, 0), kDate(1980, 1, 1)}},        // the first moment
        {315532799, none},                                       // a second before it
        {4354819199, {kTime(23, 59, 58), kDate(2107, 12, 31)}},  // the last
        {4354819200, none},                                      // 2108
        {-62135596800, none},                                    // 0001-01-01
        {951782400, {kTime(0, 0, 0), kDate(2000, 2, 29)}},       // a leap day
    };
    for (const Case& c : cases) {
        const DosTime time = DosTimeOf(c.seconds);
        EXPECT_EQ(time.date, c.expected.date) << c.seconds.value_or(-1);
        EXPECT_EQ(time.time, c.expected.time) << c.seconds.value_or(-1);
    }
}

// Writes an archive of `lines` streamed into doc.kml and `image` stored
// beside it.
void WriteArchive(const std::string& path, const std::vector<std::string>& lines,
                  const std::string& image) {
    ZipArchive archive(path);
    archive.StartEntry("doc.kml", DosTimeOf(1181898309));
    ZipEntryLines document(archive);
    for (const std::string& line : lines) {
        document.WriteLine(line);
    }
    archive.AddStoredEntry("files/legend.png", image, DosTimeOf(1181898309));
    archive.Finish();
}

// Checks that unzip and Python's zipfile read `archive`, with doc.kml first,
// holding what `document` and `image` hold, dated 2007-06-15 09:05:08.
std::string ReadersSay(const std::string& archive, const std::string& document,
                       const std::string& image) {
    const std::string script =
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "assert z.testzip() is None\n"
        "names = [i.filename for i in z.infolist()]\n"
        "assert names == ['doc.kml', 'files/legend.png'], names\n"
        "assert z.read('doc.kml') == open(sys.argv[2], 'rb').read()\n"
        "assert z.read('files/legend.png') == open(sys.argv[3], 'rb').read()\n"
        "assert all(i.date_time == (2007, 6, 15, 9, 5, 8) for i in z.infolist())\n";
    const std::string command = "unzip -tq '" + archive + "' >/dev/null && python3 -c \"" + script +
                                "\" '" + archive + "' '" + document + "' '" + image + "'";
    return std::system(command.c_str()) == 0 ? "read" : "refused";
}

TEST(ZipArchive, IsReadByUnzipAndPythonWithTheDocumentFirst) {
#ifdef _WIN32
    GTEST_SKIP() << "unzip and Python are Linux's; the Windows archives are compared with them";
#endif
    std::vector<std::string> many;
    many.reserve(200000);
    for (int i = 0; i < 200000; ++i) {  // some megabytes: many pieces through the deflater
        many.push_back("<coordinates>5." + std::to_string(i * 7919 % 100003) + ",52." +
                       std::to_string(i) + ",0</coordinates>");
    }
    struct Case {
        const char* what;
        std::vector<std::string> lines;
        std::string image;
    };
    const Case cases[] = {
        {"an empty document", {}, "\x89PNG"},
        {"a few lines", {"<?xml version=\"1.0\"?>", "", "<kml>"}, ""},
        {"many lines", many, std::string(100000, '\xAB')},
    };
    for (const Case& c : cases) {
        const ScratchFolder folder;
        std::string document;
        for (const std::string& line : c.lines) {
            document += line + "\r\n";
        }
        WriteArchive(folder.File("ride.kmz"), c.lines, c.image);
        EXPECT_EQ(ReadersSay(folder.File("ride.kmz"), folder.Write("doc.kml", document),
                             folder.Write("legend.png", c.image)),
                  "read")
            << c.what;
        // The same entries give the same bytes.
        WriteArchive(folder.File("again.kmz"), c.lines, c.image);
        EXPECT_EQ(ReadBytes(folder.File("ride.kmz")), ReadBytes(folder.File("again.kmz")))
            << c.what;
    }
}

TEST(ZipArchive, RefusesEntriesOutOfOrderAndLeavesNoArchive) {
    const ScratchFolder folder;
    struct Case {
        const char* what;
        std::function<void(ZipArchive&)> misuse;
        const char* message;
    };
    const Case cases[] = {
        {"bytes before an entry", [](ZipArchive& a) { a.Write("x"); },
         "no entry is open in the archive"},
        {"bytes after a stored entry",
         [](ZipArchive& a) {
             a.StartEntry("doc.kml", {});
             a.AddStoredEntry("image.png", "x", {});
             a.Write("x");
         },
         "no entry is open in the archive"},
        {"a second streamed entry",
         [](ZipArchive& a) {
             a.AddStoredEntry("image.png", "x", {});
             a.StartEntry("doc.kml", {});
         },
         "only an archive's first entry streams"},
        {"an entry after a failure",
         [](ZipArchive& a) {
             try {
                 a.Write("x");
             } catch (const FileRefused&) {  // NOLINT(bugprone-empty-catch): the failure wanted
             }
             a.AddStoredEntry("image.png", "x", {});
         },
         "write to a closed file"},
    };
    for (const Case& c : cases) {
        ZipArchive archive(folder.File("ride.kmz"));
        try {
            c.misuse(archive);
            ADD_FAILURE() << c.what << " was taken";
        } catch (const FileRefused& error) {
            EXPECT_STREQ(error.what(), c.message) << c.what;
        }
        // Neither left behind nor finished half-made.
        EXPECT_FALSE(std::filesystem::exists(folder.File("ride.kmz"))) << c.what;
        EXPECT_THROW(archive.Finish(), FileRefused) << c.what;
        EXPECT_FALSE(std::filesystem::exists(folder.File("ride.kmz"))) << c.what;
    }
}

TEST(ZipArchive, LeavesNoArchiveUnlessFinishedAndAnOldOneWhenRefused) {
    struct Case {
        const char* what;
        std::function<void(const std::string& path)> run;
        std::optional<std::string> left;  // the file at the path afterwards
    };
    const auto stopped = [](const std::string& path) {
        ZipArchive archive(path);
        archive.StartEntry("doc.kml", {});
        archive.Write(std::string(300000, 'x'));  // more than one piece has gone out
    };
    const auto refused = [](const std::string& path) {
        try {
            ZipArchive archive(path, [](const FileIdentity&) { return "the log itself"; });
            ADD_FAILURE() << "not refused";
        } catch (const FileRefused& error) {
            EXPECT_STREQ(error.what(), "the log itself");
        }
    };
    const auto replaced = [](const std::string& path) {
        ZipArchive archive(path);
        archive.StartEntry("doc.kml", {});
        // Another program puts a file of its own at the path meanwhile.
        std::filesystem::rename(path, path + ".moved");
        std::ofstream(path, std::ios::binary) << "another file";
        archive.Discard();
    };
    const Case cases[] = {
        {"an archive that goes unfinished", stopped, std::nullopt},
        {"an archive refused", refused, "old archive"},
        {"an archive whose path names another file by then", replaced, "another file"},
    };
    for (const Case& c : cases) {
        const ScratchFolder folder;
        const std::string path = folder.Write("ride.kmz", "old archive");
        c.run(path);
        if (c.left) {
            EXPECT_EQ(ReadBytes(path), *c.left) << c.what;
        } else {
            EXPECT_FALSE(std::filesystem::exists(path)) << c.what;
        }
    }
}

}  // namespace
}  // namespace routalo
