#pragma once

#include <QByteArray>
#include <QString>

namespace vk {

// The text of a portal answer: its bytes read as UTF-8. Bytes that are not valid
// UTF-8 give the empty text, which every reader treats as a missing answer.
QString answerText(const QByteArray &bytes);

// Reads a leading decimal integer the way C's atoi does (spaces, a sign, digits)
// so a server check answering "1\n" or " 1" still counts; anything else is 0.
// Values beyond the 32-bit range saturate rather than wrap.
qint32 leadingIntValue(const QString &text);

} // namespace vk
