#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <optional>

#include "conversion/files/background_writer.h"
#include "conversion/files/system_file.h"
#include "conversion/speed_scheme.h"
#include "conversion/writers/document_lines.h"

namespace routalo {

// The lines of the merged layout's runs, kept by speed class until the log
// has been read, then handed out class by class.
//
// Runs of one class come interleaved with those of every other, and a
// class's placemark must hold all of them, so nothing can be written before
// the end of the log. A day's log holds tens of megabytes of runs; holding
// them in memory would make the run's memory grow with the log. Instead each
// class gathers its lines in a block of its own in memory; a full block goes
// to a temporary file, and the blocks are read back class by class at the
// end. Memory stays at one block per class whatever the log's length, and a
// log whose runs fit in those blocks never touches the disk. Full blocks are
// written on a thread of their own, as the document's lines are, so that the
// reading of the log does not wait for them. The file is one
// that the system deletes by itself (SystemFile::OpenTemporary): no failure
// and no signal leaves it behind.
class RunSpool {
  public:
    // Starts a line of class `speedClass`, whose text the caller appends to
    // the string returned, from its end, until EndLine; no other line may be
    // started meanwhile. The line is made in place, in the class's block,
    // instead of being copied there.
    std::string& StartLine(int speedClass);

    // Ends the line started last. Throws FileError when the temporary file
    // cannot be made or written.
    void EndLine();

    // The bytes of the line started last, so far.
    [[nodiscard]] std::size_t LineSize() const;

    // Whether any line was kept for `speedClass`.
    [[nodiscard]] bool Holds(int speedClass) const;

    // Writes the lines of `speedClass` to `document`, in the order they came,
    // and forgets them. Throws FileError when the temporary file cannot be
    // read.
    void Replay(int speedClass, DocumentLines& document);

    // A class's block goes to the file when it holds this many bytes.
    static constexpr std::size_t kBlockSize = std::size_t{64} * 1024;

  private:
    // Where a block that went to the file lies there.
    struct Block {
        std::uint64_t offset = 0;
        std::size_t size = 0;
    };
    struct ClassLines {
        std::string pending;  // lines not yet in the file, each ending in CR LF
        std::vector<Block> blocks;
        bool any = false;
    };

    void WriteOut(ClassLines& lines);
    static void ReplayBlock(std::string_view block, DocumentLines& document);

    std::array<ClassLines, kSpeedClassCount> classes_;
    ClassLines* open_ = nullptr;  // the class of the line started last
    std::size_t lineStart_ = 0;   // where its text starts in the class's block
    SystemFile file_;             // opened with the first full block
    // Writes the full blocks on a thread of its own, while the log is read.
    std::optional<BackgroundWriter> writer_;
    std::uint64_t fileSize_ = 0;
    std::string readBack_;
};

}  // namespace routalo
