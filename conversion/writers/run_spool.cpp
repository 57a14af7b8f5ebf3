#include "conversion/writers/run_spool.h"

#include <system_error>

#include "conversion/errors.h"

namespace routalo {

std::string& RunSpool::StartLine(int speedClass) {
    open_ = &classes_.at(static_cast<std::size_t>(speedClass));
    open_->any = true;
    lineStart_ = open_->pending.size();
    return open_->pending;
}

std::size_t RunSpool::LineSize() const {
    return open_->pending.size() - lineStart_;
}

void RunSpool::EndLine() {
    ClassLines& lines = *open_;
    open_ = nullptr;
    lines.pending.append(kLineEnd);
    if (lines.pending.size() >= kBlockSize) {
        WriteOut(lines);
    }
}

bool RunSpool::Holds(int speedClass) const {
    return classes_.at(static_cast<std::size_t>(speedClass)).any;
}

void RunSpool::WriteOut(ClassLines& lines) {
    if (!writer_) {
        file_ = SystemFile::OpenTemporary();
        writer_.emplace(file_, kBlockSize);
    }
    const std::size_t size = lines.pending.size();
    writer_->Write(lines.pending);  // hands back an emptied block of an earlier write
    lines.blocks.push_back({fileSize_, size});
    fileSize_ += size;
}

void RunSpool::Replay(int speedClass, DocumentLines& document) {
    ClassLines& lines = classes_.at(static_cast<std::size_t>(speedClass));
    if (writer_) {
        writer_->Finish();
    }
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

// The block's lines as the document takes them: one hand-over of the whole
// block, its last line end left to WriteLine. The same bytes reach the
// document as line by line, at a fraction of the calls.
void RunSpool::ReplayBlock(std::string_view block, DocumentLines& document) {
    if (!block.empty()) {
        block.remove_suffix(kLineEnd.size());
        document.WriteLine(block);
    }
}

}  // namespace routalo
