#include "printing/EscPosPrinter.h"

#include "core/util/Utils.h"
#include "platform/net/Sockets.h"
#include "printing/EscPos.h"

#include <algorithm>
#include <unistd.h>

namespace tavlo {

namespace {

// The print-mode byte (ESC !): double height and double width.
constexpr int kDoubleHeight = 16, kDoubleWidth = 32;

Error openError(const char* text) { return Utils::getError(text, Utils::kStoreServerErrorDomain, -1); }

int asByte(int n) { return std::clamp(n, 0, 255); }

} // namespace

EscPosPrinter::EscPosPrinter(std::optional<std::string> url, int timeout) : url_(std::move(url)), timeout_(timeout) {
    // Nothing is open yet, so these reach no printer: the values start unknown.
    setFont(-1);
    setCharacterSet(-1);
    setCodeTable(-1);
    setJustification(-1);
    setUnderline(true);
    setEmphasized(true);
    setLeftMargin(0);
}

EscPosPrinter::~EscPosPrinter() {
    if (socket_ >= 0) ::close(socket_);
}

bool EscPosPrinter::open(Error* error) {
    if (socket_ >= 0) {
        ::close(socket_);
        socket_ = -1;
    }
    writeFailed_ = false;
    EscPos::ConnectFailure failure;
    socket_ = EscPos::connect(url_, timeout_, &failure);
    if (socket_ < 0) {
        Error::set(error,
                   openError(failure == EscPos::ConnectFailure::NoAddress
                                 ? "URL for receipt printer has not been specified, verify configuration"
                             : failure == EscPos::ConnectFailure::Unresolved
                                 ? "Receipt printer cannot be resolved to a valid IP address, verify configuration"
                                 : "Cannot connect to printer, verify printer is on and has paper"));
        return false;
    }
    return true;
}

void EscPosPrinter::close() {
    if (socket_ < 0) return;
    if (!writeFailed_ && !Sockets::finishSending(socket_, EscPos::kSendTimeoutSeconds)) writeFailed_ = true;
    ::close(socket_);
    socket_ = -1;
}

bool EscPosPrinter::send(const EscPosCommands& commands) {
    if (EscPos::send(commands, socket_) >= 0) return true;
    if (socket_ >= 0) writeFailed_ = true;
    return false;
}

void EscPosPrinter::sendWhenChanged(char n, int value, int& remembered) {
    if (value == remembered) return;
    remembered = value >= 0 && send(EscPosCommands().escape(n, value)) ? value : -1;
}

void EscPosPrinter::setCharacterSet(int characterSet) { sendWhenChanged('R', characterSet, characterSet_); }
void EscPosPrinter::setCodeTable(int codeTable) { sendWhenChanged('t', codeTable, codeTable_); }
void EscPosPrinter::setFont(int font) { sendWhenChanged('M', font, font_); }
void EscPosPrinter::setJustification(int justification) { sendWhenChanged('a', justification, justification_); }

void EscPosPrinter::setCharWidth(int width) { send(EscPosCommands().escape('!', width == 1 ? 0 : kDoubleWidth)); }
void EscPosPrinter::setCharHeight(int height) { send(EscPosCommands().escape('!', height == 1 ? 0 : kDoubleHeight)); }
void EscPosPrinter::setFontAttribute(int attribute) { send(EscPosCommands().escape('!', asByte(attribute))); }
void EscPosPrinter::setColor(int color) { send(EscPosCommands().escape('r', color != 0 ? 1 : 0)); }

void EscPosPrinter::setLeftMargin(int margin) {
    if (margin <= 0) {
        margin_.clear();
    } else if (leftMargin() != margin) {
        margin_.assign(static_cast<size_t>(margin), ' ');
    }
}

void EscPosPrinter::setEmphasized(bool emphasized) {
    emphasized_ = emphasized;
    send(EscPosCommands().escape('E', emphasized ? 1 : 0));
}

void EscPosPrinter::setUnderline(bool underline) {
    underline_ = underline;
    send(EscPosCommands().escape('-', underline ? 1 : 0));
}

void EscPosPrinter::setReversePrint(bool reversePrint) {
    reversePrint_ = reversePrint;
    send(EscPosCommands().escape('T', reversePrint ? 2 : 0));
}

void EscPosPrinter::reset() {
    send(EscPosCommands().escape('@').escape('!', 0));
    characterSet_ = codeTable_ = font_ = justification_ = -1;
    emphasized_ = underline_ = reversePrint_ = false;
}

void EscPosPrinter::writeLine() { send(EscPosCommands().line()); }

void EscPosPrinter::writeLine(const std::string& text) { send(EscPosCommands().text(margin_).line(text)); }

void EscPosPrinter::writeImage(const PixelImage& image) { send(EscPosCommands().image(image)); }

bool EscPosPrinter::openDrawer(int drawer) {
    EscPosCommands pulse;
    return pulse.drawerPulse(drawer) && send(pulse);
}

void EscPosPrinter::feed(int lines, bool cut) {
    EscPosCommands commands;
    commands.escape('d', asByte(lines));
    if (cut) commands.cut();
    send(commands);
}

} // namespace tavlo
