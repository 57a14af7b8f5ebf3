#include "conversion/writers/run_spool.h"

#include <cstring>
#include <system_error>

#include "conversion/errors.h"

namespace routalo {
namespace {

// Each line is kept after its length, four bytes in this machine's order:
// the file lives as long as the run, on the machine that wrote it.
using LineLength = std::uint32_t;

}  // namespace

std::string& RunSpool::StartLine(int speedClass) {
    open_ = &classes_.at(static_cast<std::size_t>(speedClass));
    open_->any = true;
    open_->pending.append(sizeof(LineLength), '\0');  // the length, once it is known
    lineStart_ = open_->pending.size();
    return open_->pending;
}

std::size_t RunSpool::LineSize() const {
    return open_->pending.size() - lineStart_;
}

void RunSpool::EndLine() {
    const std::size_t size = LineSize();
    if (size > UINT32_MAX) {
        throw ConversionError("a document line is too long to keep");
    }
    const auto length = static_cast<LineLength>(size);
    std::memcpy(open_->pending.data() + lineStart_ - sizeof length, &length, sizeof length);
    ClassLines& lines = *open_;
    open_ = nullptr;
    if (lines.pending.size() >= kBlockSize) {
        WriteOut(lines);
    }
}

bool RunSpool::Holds(int speedClass) const {
    return classes_.at(static_cast<std::size_t>(speedClass)).any;
}

void RunSpool::WriteOut(ClassLines& lines) {
    if (!file_.IsOpen()) {
        file_ = SystemFile::OpenTemporary();
    }
    std::error_code error;
    const std::size_t written = file_.WriteAll(lines.pending.data(), lines.pending.size(), error);
    if (error) {
        throw FileError(error, "cannot write the temporary file");
    }
    lines.blocks.push_back({fileSize_, written});
    fileSize_ += written;
    lines.pending.clear();
}

void RunSpool::Replay(int speedClass, DocumentLines& document) {
    ClassLines& lines = classes_.at(static_cast<std::size_t>(speedClass));
    for (const Block& block : lines.blocks) {
        readBack_.resize(block.size);
        file_.Seek(block.offset);
        for (std::size_t got = 0; got < block.size;) {
            const std::size_t read = file_.Read(readBack_.data() + got, block.size - got);
            if (read == 0) {
                throw FileError(std::make_error_code(std::errc::io_error),
                                "the temporary file ended early");
            }
            got += read;
        }
        ReplayBlock(readBack_, document);
    }
    ReplayBlock(lines.pending, document);
    lines = ClassLines();
}

void RunSpool::ReplayBlock(std::string_view block, DocumentLines& document) {
    while (!block.empty()) {
        LineLength length = 0;
        std::memcpy(&length, block.data(), sizeof length);
        block.remove_prefix(sizeof length);
        document.WriteLine(block.substr(0, length));
        block.remove_prefix(length);
    }
}

}  // namespace routalo
