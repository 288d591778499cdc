#include "xml/XmlChildStream.h"

#include <libxml/parser.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace tavlo {

namespace {

// XmlHelper::parse's options (no network access, no external entities, no messages), with short
// texts in their nodes: a load reads millions of them.
constexpr int kOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_COMPACT;

// The streams being read on this thread, for nextElement().
thread_local std::vector<XmlChildStream*> streamsOfThisThread;

bool readable(size_t size) { return size > 0 && size <= static_cast<size_t>(INT_MAX); }

// The owned bytes are let go in pieces of this size: small enough that the allocator serves each
// from its heap, where a piece let go makes room for the rows read next. A larger piece is mapped
// and unmapped on its own, and every page of each is faulted in afresh (a tenth of a large load).
constexpr size_t kPieceSize = 64 * 1024;

} // namespace

XmlChildStream::XmlChildStream(std::string_view bytes, const char* encoding) {
    xmlInitParser(); // once per process; libxml2 guards it
    if (readable(bytes.size()))
        reader_ = xmlReaderForMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, encoding, kOptions);
    track();
}

XmlChildStream::XmlChildStream(std::string&& bytes, const char* encoding) {
    xmlInitParser();
    if (readable(bytes.size())) {
        for (size_t at = 0; at < bytes.size(); at += kPieceSize) pieces_.emplace_back(bytes, at, kPieceSize);
        std::string().swap(bytes);
        reader_ = xmlReaderForIO(&readPieces, nullptr, this, nullptr, encoding, kOptions);
    }
    track();
}

void XmlChildStream::track() {
    if (!reader_) state_ = State::Failed;
    streamsOfThisThread.push_back(this);
}

XmlChildStream::~XmlChildStream() {
    std::erase(streamsOfThisThread, this);
    for (xmlNodePtr holder : kept_) xmlFreeNode(holder);
    if (reader_) xmlFreeTextReader(reader_); // and the document with it
}

xmlNodePtr XmlChildStream::next() {
    current_ = nullptr;
    if (state_ != State::Reading) return nullptr;
    int result = 0;
    if (!started_) {
        started_ = true;
        // Up to the root element: a declaration, a DTD, comments may come first.
        do result = xmlTextReaderRead(reader_);
        while (result == 1 && xmlTextReaderNodeType(reader_) != XML_READER_TYPE_ELEMENT);
        if (result != 1) {
            state_ = State::Failed; // no root element
            return nullptr;
        }
        doc_ = xmlTextReaderCurrentNode(reader_)->doc;
        result = xmlTextReaderIsEmptyElement(reader_) ? 1 : xmlTextReaderRead(reader_);
    } else {
        // Past the child answered last; the reader frees it as it leaves it.
        result = xmlTextReaderNext(reader_);
    }
    for (; result == 1 && xmlTextReaderDepth(reader_) == 1; result = xmlTextReaderNext(reader_)) {
        if (xmlTextReaderNodeType(reader_) != XML_READER_TYPE_ELEMENT) continue;
        current_ = xmlTextReaderExpand(reader_);
        if (!current_) state_ = State::Failed;
        return current_;
    }
    finish(result);
    return nullptr;
}

void XmlChildStream::finish(int readResult) {
    // What follows the root must be read too: a document cut or spoiled there is no document.
    while (readResult == 1) readResult = xmlTextReaderRead(reader_);
    state_ = readResult == 0 && xmlTextReaderReadState(reader_) != XML_TEXTREADER_MODE_ERROR ? State::Complete
                                                                                             : State::Failed;
}

int XmlChildStream::readPieces(void* stream, char* buffer, int size) {
    auto& self = *static_cast<XmlChildStream*>(stream);
    size_t given = 0;
    while (given < static_cast<size_t>(size) && !self.pieces_.empty()) {
        const std::string& piece = self.pieces_.front();
        size_t n = std::min(piece.size() - self.pieceOffset_, static_cast<size_t>(size) - given);
        std::memcpy(buffer + given, piece.data() + self.pieceOffset_, n);
        given += n;
        self.pieceOffset_ += n;
        if (self.pieceOffset_ == piece.size()) {
            self.pieces_.pop_front();
            self.pieceOffset_ = 0;
        }
    }
    return static_cast<int>(given);
}

xmlNodePtr XmlChildStream::keep(xmlNodePtr child) {
    xmlNodePtr copy = xmlDocCopyNode(child, doc_, 1);
    if (!copy) throw std::bad_alloc();
    // Outside the document's tree, where the reader never frees anything.
    xmlNodePtr holder = xmlNewDocNode(doc_, nullptr, BAD_CAST "kept", nullptr);
    if (!holder) {
        xmlFreeNode(copy);
        throw std::bad_alloc();
    }
    kept_.push_back(holder);
    return xmlAddChild(holder, copy);
}

xmlNodePtr XmlChildStream::nextElement(xmlNodePtr node) {
    if (!node) return nullptr;
    for (XmlChildStream* stream : streamsOfThisThread)
        if (stream->current_ == node) return stream->next();
    return xmlNextElementSibling(node);
}

} // namespace tavlo
