#pragma once

#include <QByteArray>
#include <QString>

// The text of a portal answer: its bytes read as UTF-8. Bytes that are not valid
// UTF-8 give the empty text, which every reader treats as a missing answer.
QString answerText(const QByteArray &bytes);

// The decimal integer at the start of text: leading white space skipped, an
// optional sign, then digits; 0 when the text does not begin with a number.
// Values beyond the 32-bit range saturate.
qint32 leadingIntValue(const QString &text);
