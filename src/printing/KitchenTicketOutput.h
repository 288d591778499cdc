#pragma once

#include "printing/EscPosCommands.h"

#include <string_view>

namespace tavlo {

class PrinterStream;

// Where a kitchen ticket is written, command by command: as ESC/POS bytes for the kitchen
// printer's own connection, or through the terminal's receipt printer when the kitchen printer
// cannot be reached. The operations are the ESC/POS commands a ticket uses.
class KitchenTicketOutput {
public:
    virtual ~KitchenTicketOutput() = default;

    // ESC @: the printer's defaults.
    virtual void reset() = 0;
    // ESC ! mode: 0 normal, 16 double height, 32 double width, 48 both.
    virtual void printMode(int mode) = 0;
    // ESC a: 0 left, 1 centre.
    virtual void justification(int justification) = 0;
    // ESC M: 0 font A.
    virtual void font(int font) = 0;
    // ESC E.
    virtual void emphasized(bool on) = 0;
    // ESC r code: an even code the first colour, an odd one the second ('1', 0x31, is odd).
    virtual void color(int code) = 0;
    // The text, then LF; an empty text is a blank line.
    virtual void line(std::string_view text) = 0;
    // ESC d lines: print and feed.
    virtual void feed(int lines) = 0;
    // ESC d lines, then feed to the cutter and cut.
    virtual void feedAndCut(int lines) = 0;
    // The drawer pulse on pin 0, where kitchens wire their buzzer.
    virtual void buzzer() = 0;
};

// The ticket as ESC/POS bytes, sent whole on the kitchen printer's connection.
class EscPosTicketOutput : public KitchenTicketOutput {
public:
    void reset() override { commands_.escape('@'); }
    void printMode(int mode) override { commands_.escape('!', mode); }
    void justification(int justification) override { commands_.escape('a', justification); }
    void font(int font) override { commands_.escape('M', font); }
    void emphasized(bool on) override { commands_.escape('E', on ? 1 : 0); }
    void color(int code) override { commands_.escape('r', code); }
    void line(std::string_view text) override { commands_.line(text); }
    void feed(int lines) override { commands_.escape('d', lines); }
    void feedAndCut(int lines) override { feed(lines), commands_.feed(); }
    void buzzer() override { commands_.drawerPulse(0); }

    const EscPosCommands& commands() const { return commands_; }

private:
    EscPosCommands commands_;
};

// The ticket through the terminal's receipt printer, which must be open. Its drawer port holds
// the cash drawer, not a buzzer: the buzzer is left out.
class StreamTicketOutput : public KitchenTicketOutput {
public:
    explicit StreamTicketOutput(PrinterStream& stream) : stream_(stream) {}

    void reset() override;
    void printMode(int mode) override;
    void justification(int justification) override;
    void font(int font) override;
    void emphasized(bool on) override;
    void color(int code) override;
    void line(std::string_view text) override;
    void feed(int lines) override;
    void feedAndCut(int lines) override;
    void buzzer() override {}

private:
    PrinterStream& stream_;
};

} // namespace tavlo
