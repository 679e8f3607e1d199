#pragma once

#include <QString>

namespace cvi {

inline const QString CRLF = QStringLiteral("\r\n");

// Command texts. An identifier is always the two-character text, never a number.
QString addressPrefixFor(const QString& id);                                // "*" + id + "00"
QString readCommand(const QString& addressPrefix, const QString& mnemonic); // prefix + mnemonic
QString writeCommand(const QString& addressPrefix, const QString& mnemonic, const QString& value);
QString broadcastRead(const QString& mnemonic);                        // "*9900" + mnemonic
QString broadcastWrite(const QString& mnemonic, const QString& value); // "*9900EW*9900" + ...
// The line a page of the main window or an option dialog writes: "*" + command text + CR LF.
QString pageLine(const QString& commandText);

// Characters 9 to L-2 of a parameter reply (the value after "*00nnXX="); empty for a reply of
// fewer than 11 characters. Never fails.
QString ParameterValue(const QString& reply);

// Whether a reply line can answer a command sent with `addressPrefix`: it begins with its star
// (a line without one is the tail of another), goes to the computer ("*00"), comes from the
// addressed instrument (any, for "*99") and, for a parameter, names `mnemonic` ("*0001PR=...");
// a reply too short to name one is an answer that holds no value. With no mnemonic the line must
// be a data reply, not some parameter's reply.
bool answers(const QString& line, const QString& addressPrefix, const QString& mnemonic = {});

// The number in a data reply, as text in the user's number format. The reply is replaced by the
// cut text (after the first "_", else characters 6 to L-2). An empty reply gives an empty result;
// a text without a number gives "0".
QString ReplyNumber(QString& reply);

// Leading-number parse: leading blanks skipped, "." is the decimal point, stops at the first
// character that cannot continue the number; 0 when there is none.
double leadingNumber(const QString& text);
// Whether the whole text (blanks around allowed) reads as a number.
bool isNumeric(const QString& text);
// A number as the program shows it: shortest form, no trailing zeros, no group separators.
QString numberText(double value);
// "Fixed": at least one digit before and exactly two after the decimal separator.
QString fixedText(double value);

} // namespace cvi
