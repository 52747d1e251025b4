#pragma once

#include <QStringList>

class velkarn;

namespace vk {

// The books of a book-check answer, in answer order; entry i of each list
// describes the same book. Locations and passwords are decoded; a password that
// decodes to "none" is stored as the empty text.
struct BookList
{
    QStringList names;
    QStringList locations;
    QStringList passwords;
};

// Reads "*START*", records of name ^^ location ^^ password ^^ gap ".+.", then
// "*END*", through v's primitives. Never fails and always ends, whatever the text.
BookList parseBookAnswer(velkarn &v, const QString &text);

} // namespace vk
