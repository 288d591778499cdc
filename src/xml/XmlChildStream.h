#pragma once

#include <libxml/tree.h>
#include <libxml/xmlreader.h>

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace tavlo {

// Reads a document as a stream of the root's child elements, so that a large reply never stands
// whole in memory: each child comes whole (its subtree parsed, as XmlHelper::parse would give
// it), and the child before it is freed when the next one is read. The document keeps its root
// element (with its attributes) and its DTD, so texts and entity references read as in a whole
// parse. Parse options are XmlHelper::parse's, and short texts are kept inside their nodes
// instead of in blocks of their own: the tree a stream gives is read, copied, never changed. A
// stream is read on the thread that made it.
//
// The bytes are read in place (they must outlive the stream), or taken over and let go piece by
// piece as the reader takes them in, so that they are not held whole beside what is made of them.
//
// A fault anywhere in the bytes (cut short, not well formed, no root) shows only once it is
// reached: next() then answers null as at the end, and complete() tells the two apart.
class XmlChildStream {
public:
    explicit XmlChildStream(std::string_view bytes, const char* encoding = nullptr);
    // Takes the bytes over. They are cut into pieces first (for that moment they take twice
    // their size); each piece goes once the reader has taken it in.
    explicit XmlChildStream(std::string&& bytes, const char* encoding = nullptr);
    ~XmlChildStream();
    XmlChildStream(const XmlChildStream&) = delete;
    XmlChildStream& operator=(const XmlChildStream&) = delete;

    // The root's next child element (the first one at the first call); the one returned before is
    // freed. Null at the end of the root's children, or at a fault. Text, comments and processing
    // instructions between the children are passed over.
    xmlNodePtr next();
    // True once the whole document was read and is well formed: after next() answered null.
    bool complete() const { return state_ == State::Complete; }

    // The document, from the first next() on (null before, or when the bytes hold none).
    xmlDocPtr doc() const { return doc_; }

    // A copy of a child that stays when the stream moves past it (until the stream goes), in the
    // same document, for reading it again later. It has no siblings: a walk from it ends there.
    xmlNodePtr keep(xmlNodePtr child);

    // The element after `node`: for the child a stream on this thread answered last, that
    // stream's next(); for any other node, its next sibling element. Code that walks a run of
    // sibling elements with it reads a streamed document and a whole one alike.
    static xmlNodePtr nextElement(xmlNodePtr node);

private:
    enum class State { Reading, Complete, Failed };

    void track();
    // Reads on to the end of the document, then settles the state.
    void finish(int readResult);
    // The reader's input from the owned pieces.
    static int readPieces(void* stream, char* buffer, int size);

    xmlTextReaderPtr reader_ = nullptr;
    xmlDocPtr doc_ = nullptr;
    xmlNodePtr current_ = nullptr;
    bool started_ = false;
    State state_ = State::Reading;
    std::vector<xmlNodePtr> kept_;   // holders of the kept copies, outside the document's tree
    std::deque<std::string> pieces_; // owned bytes not yet taken in
    size_t pieceOffset_ = 0;         // of the first piece, taken in
};

} // namespace tavlo
